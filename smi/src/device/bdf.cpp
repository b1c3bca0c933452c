#include "bdf.hpp"

#include <cstdio>
#include <optional>

#include "../number.hpp"

namespace smi {

static bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of digits already known to be hex.
static unsigned hex_value(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) value = value * 16 + digit_value(c);
    return value;
}

// Matches ^(?:([0-9a-fA-F]{4}):)?([0-9a-fA-F]{2}):([0-1][0-9a-fA-F])\.([0-7])$
// where $ is the end of the text (a trailing line feed does not match).
static std::optional<Bdf> match_bdf(std::string_view text) {
    Bdf bdf;
    if (text.size() == 12) {
        const auto domain = text.substr(0, 4);
        for (char c : domain)
            if (!is_hex_digit(c)) return std::nullopt;
        if (text[4] != ':') return std::nullopt;
        bdf.domain = hex_value(domain);
        text.remove_prefix(5);
    }
    if (text.size() != 7) return std::nullopt;
    if (!is_hex_digit(text[0]) || !is_hex_digit(text[1]) || text[2] != ':') return std::nullopt;
    if ((text[3] != '0' && text[3] != '1') || !is_hex_digit(text[4]) || text[5] != '.') return std::nullopt;
    if (text[6] < '0' || text[6] > '7') return std::nullopt;
    bdf.bus = hex_value(text.substr(0, 2));
    bdf.device = hex_value(text.substr(3, 2));
    bdf.function = text[6] - '0';
    return bdf;
}

Result<Bdf> parse_bdf(std::string_view text) {
    if (auto bdf = match_bdf(text)) return *bdf;
    return std::unexpected(SmiError::parse("invalid BDF: '" + std::string(text) + "'"));
}

std::string to_string(const Bdf& bdf) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%02x:%02x.%x", bdf.domain, bdf.bus, bdf.device, bdf.function);
    return text;
}

}  // namespace smi
