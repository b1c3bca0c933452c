#include "number.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <system_error>

namespace smi {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool equals_ignoring_case(std::string_view text, std::string_view lower_word) {
    if (text.size() != lower_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (ascii_lower(text[i]) != lower_word[i]) return false;
    return true;
}

std::string_view take_digits(std::string_view& text) {
    std::size_t length = 0;
    while (length < text.size() && is_digit(text[length])) ++length;
    const auto digits = text.substr(0, length);
    text.remove_prefix(length);
    return digits;
}

// The parts of an unsigned decimal number: integer digits, fraction digits
// (at least one digit between them) and the exponent with its sign.
struct Decimal {
    std::string_view integer, fraction, exponent;
};

std::optional<Decimal> scan_decimal(std::string_view text) {
    Decimal decimal;
    decimal.integer = take_digits(text);
    if (!text.empty() && text[0] == '.') {
        text.remove_prefix(1);
        decimal.fraction = take_digits(text);
    }
    if (decimal.integer.empty() && decimal.fraction.empty()) return std::nullopt;
    if (!text.empty() && (text[0] == 'e' || text[0] == 'E')) {
        text.remove_prefix(1);
        decimal.exponent = text;
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
        if (take_digits(text).empty()) return std::nullopt;
    }
    if (!text.empty()) return std::nullopt;
    return decimal;
}

// Whether a number that a double cannot hold is too large rather than too
// small. Such a number lies beyond 1e308 or below 1e-323, so the sign of the
// decimal exponent of its leading digit decides.
bool is_too_large(const Decimal& decimal) {
    // Saturated far beyond either limit; the digit counts cannot reach it.
    constexpr long long LIMIT = 1'000'000'000'000'000;
    long long exponent = 0;
    const bool negative = decimal.exponent.starts_with('-');
    for (char c : decimal.exponent)
        if (is_digit(c) && exponent < LIMIT) exponent = exponent * 10 + (c - '0');
    if (negative) exponent = -exponent;

    const auto lead = decimal.integer.find_first_not_of('0');
    if (lead != std::string_view::npos)
        return exponent + static_cast<long long>(decimal.integer.size() - lead - 1) >= 0;
    const auto fraction_lead = decimal.fraction.find_first_not_of('0');
    // All zeros: never out of range, but zero either way.
    if (fraction_lead == std::string_view::npos) return false;
    return exponent - static_cast<long long>(fraction_lead + 1) >= 0;
}

}  // namespace

std::optional<double> parse_float(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    double value;
    if (equals_ignoring_case(text, "inf") || equals_ignoring_case(text, "infinity")) {
        value = HUGE_VAL;
    } else if (equals_ignoring_case(text, "nan")) {
        value = std::nan("");
    } else {
        const auto decimal = scan_decimal(text);
        if (!decimal) return std::nullopt;
        const char* end = text.data() + text.size();
        const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range)
            value = is_too_large(*decimal) ? HUGE_VAL : 0.0;  // as IEEE rounding gives
        else if (result.ec != std::errc() || result.ptr != end)
            return std::nullopt;
    }
    return negative ? -value : value;
}

std::string format_float(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // The longest fixed forms: the smallest subnormal, 0. and 323 zeros
    // before its digit, and the largest double, 309 digits; a sign on either.
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

}  // namespace smi
