#include "siphash.hpp"

namespace py {

static std::uint64_t rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct SipState {
    // The key is zero, so the initial state is the bare constants.
    std::uint64_t v0 = 0x736f6d6570736575, v1 = 0x646f72616e646f6d;
    std::uint64_t v2 = 0x6c7967656e657261, v3 = 0x7465646279746573;

    void round() {
        v0 += v1, v1 = rotl(v1, 13), v1 ^= v0, v0 = rotl(v0, 32);
        v2 += v3, v3 = rotl(v3, 16), v3 ^= v2;
        v0 += v3, v3 = rotl(v3, 21), v3 ^= v0;
        v2 += v1, v1 = rotl(v1, 17), v1 ^= v2, v2 = rotl(v2, 32);
    }
    void compress(std::uint64_t m) {  // one compression round
        v3 ^= m, round(), v0 ^= m;
    }
};

std::uint64_t siphash13(std::string_view bytes) {
    SipState s;
    auto byte = [&](std::size_t i) { return std::uint64_t(static_cast<unsigned char>(bytes[i])); };
    const std::size_t whole = bytes.size() / 8 * 8;
    for (std::size_t at = 0; at < whole; at += 8) {
        std::uint64_t m = 0;
        for (std::size_t i = 0; i < 8; ++i) m |= byte(at + i) << (8 * i);
        s.compress(m);
    }
    std::uint64_t last = std::uint64_t(bytes.size()) << 56;
    for (std::size_t i = whole; i < bytes.size(); ++i) last |= byte(i) << (8 * (i - whole));
    s.compress(last);
    s.v2 ^= 0xff;
    for (int i = 0; i < 3; ++i) s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace py
