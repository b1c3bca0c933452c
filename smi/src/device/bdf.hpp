// A PCI address: domain, bus, device and function.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "../error.hpp"

namespace smi {

struct Bdf {
    std::uint16_t domain = 0;
    std::uint8_t bus = 0;
    std::uint8_t device = 0;
    std::uint8_t function = 0;

    // Lexicographic by domain, bus, device, function.
    auto operator<=>(const Bdf&) const = default;
};

/// Parses "dddd:bb:dd.f" or "bb:dd.f" (hex digits of either case, device 00
/// to 1f, function 0 to 7); nothing may precede or follow the address.
Result<Bdf> parse_bdf(std::string_view text);

/// The text form "dddd:bb:dd.f" in lower-case hex, e.g. 0000:5e:00.0.
std::string to_string(const Bdf& bdf);

}  // namespace smi

template <>
struct std::hash<smi::Bdf> {
    std::size_t operator()(const smi::Bdf& bdf) const noexcept {
        return std::size_t(bdf.domain) << 24 | std::size_t(bdf.bus) << 16 | std::size_t(bdf.device) << 8 | bdf.function;
    }
};
