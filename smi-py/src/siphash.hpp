// Hashes that are the same in every process: SipHash-1-3 with an all-zero key.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <string_view>
#include <type_traits>

namespace py {

std::uint64_t siphash13(std::string_view bytes);

/// The hash of the fields in order, each integer written little-endian at its
/// own width; -1 is reserved by the interpreter and becomes -2.
template <class... Fields>
Py_hash_t hash_of(Fields... fields) {
    static_assert((std::is_integral_v<Fields> && ...));
    char bytes[(sizeof(Fields) + ... + 0) + 1];
    std::size_t at = 0;
    [[maybe_unused]] auto put = [&](auto field) {
        for (std::size_t i = 0; i < sizeof field; ++i)
            bytes[at++] = static_cast<char>(static_cast<std::uint64_t>(field) >> (8 * i));
    };
    (put(fields), ...);
    const auto hash = static_cast<Py_hash_t>(siphash13(std::string_view(bytes, at)));
    return hash == -1 ? -2 : hash;
}

}  // namespace py
