// Strict number parsing, and the decimal text of floats. An integer is
// exactly the digits of the radix, one optional leading sign, and a value
// that fits the target type. Nothing else is accepted: no blanks, no
// prefixes, no separators.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace smi {

constexpr unsigned digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 36;
}

/// Parses `text` in `radix` (2 to 16): an optional "+" (or "-" for signed
/// types), then at least one digit.
template <class T>
std::optional<T> parse_int(std::string_view text, unsigned radix = 10) {
    static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || (std::is_signed_v<T> && text[0] == '-'))) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<T>::max()) + 1
                                         : std::uint64_t(std::numeric_limits<T>::max());
    std::uint64_t value = 0;
    for (char c : text) {
        const unsigned digit = digit_value(c);
        if (digit >= radix || value > (limit - digit) / radix) return std::nullopt;
        value = value * radix + digit;
    }
    using U = std::make_unsigned_t<T>;
    return negative ? static_cast<T>(U(0) - static_cast<U>(value)) : static_cast<T>(value);
}

/// `text` without every leading "0x", however often it repeats; an upper-case
/// "0X" stays (and fails a hexadecimal parse).
constexpr std::string_view strip_hex_prefix(std::string_view text) {
    while (text.starts_with("0x")) text.remove_prefix(2);
    return text;
}

/// Parses a float in decimal notation: an optional sign, digits with an
/// optional fraction (".5" and "5." included), an optional exponent; or inf,
/// infinity or nan in any letter case, optionally signed. Text beyond the
/// range of a double rounds to infinity or zero, keeping its sign.
std::optional<double> parse_float(std::string_view text);

/// The shortest decimal text that reads back as `value`, never in exponent
/// form and without a fraction when whole: 45, 45.5, 0.0001; NaN, inf, -inf.
std::string format_float(double value);

}  // namespace smi
