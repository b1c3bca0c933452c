#include "text.hpp"

namespace smi {

DecodedChar decode_utf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1, true};

    // Well-formed sequences as the Unicode standard tabulates them: the lead
    // byte fixes the length and the range of the first continuation byte,
    // which excludes overlong forms, surrogates and values above U+10FFFF.
    std::size_t continuation;
    char32_t code_point;
    unsigned char low = 0x80, high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        continuation = 1, code_point = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        continuation = 2, code_point = lead & 0x0f;
        if (lead == 0xe0) low = 0xa0;
        if (lead == 0xed) high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        continuation = 3, code_point = lead & 0x07;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;
    } else {
        return {0xfffd, 1, false};
    }
    for (std::size_t i = 1; i <= continuation; ++i) {
        if (at + i >= text.size()) return {0xfffd, i, false};
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if (byte < low || byte > high) return {0xfffd, i, false};
        code_point = (code_point << 6) | (byte & 0x3f);
        low = 0x80, high = 0xbf;
    }
    return {code_point, continuation + 1, true};
}

bool is_valid_utf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto c = decode_utf8(text, at);
        if (!c.valid) return false;
        at += c.length;
    }
    return true;
}

std::string to_text_lossy(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    std::string text;
    text.reserve(bytes.size() + 8);
    for (std::size_t at = 0; at < bytes.size();) {
        const auto c = decode_utf8(bytes, at);
        if (c.valid)
            text.append(bytes.substr(at, c.length));
        else
            text.append("\xef\xbf\xbd");
        at += c.length;
    }
    return text;
}

bool is_white_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0d) || c == 0x20 || c == 0x85 || c == 0xa0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200a) || c == 0x2028 || c == 0x2029 || c == 0x202f || c == 0x205f ||
           c == 0x3000;
}

// The ranges of general category Nd, Unicode 14.0.
static constexpr char32_t DECIMAL_DIGITS[][2] = {
    {0x30, 0x39}, {0x660, 0x669}, {0x6f0, 0x6f9}, {0x7c0, 0x7c9}, {0x966, 0x96f}, {0x9e6, 0x9ef},
    {0xa66, 0xa6f}, {0xae6, 0xaef}, {0xb66, 0xb6f}, {0xbe6, 0xbef}, {0xc66, 0xc6f}, {0xce6, 0xcef},
    {0xd66, 0xd6f}, {0xde6, 0xdef}, {0xe50, 0xe59}, {0xed0, 0xed9}, {0xf20, 0xf29}, {0x1040, 0x1049},
    {0x1090, 0x1099}, {0x17e0, 0x17e9}, {0x1810, 0x1819}, {0x1946, 0x194f}, {0x19d0, 0x19d9}, {0x1a80, 0x1a89},
    {0x1a90, 0x1a99}, {0x1b50, 0x1b59}, {0x1bb0, 0x1bb9}, {0x1c40, 0x1c49}, {0x1c50, 0x1c59}, {0xa620, 0xa629},
    {0xa8d0, 0xa8d9}, {0xa900, 0xa909}, {0xa9d0, 0xa9d9}, {0xa9f0, 0xa9f9}, {0xaa50, 0xaa59}, {0xabf0, 0xabf9},
    {0xff10, 0xff19}, {0x104a0, 0x104a9}, {0x10d30, 0x10d39}, {0x11066, 0x1106f}, {0x110f0, 0x110f9}, {0x11136, 0x1113f},
    {0x111d0, 0x111d9}, {0x112f0, 0x112f9}, {0x11450, 0x11459}, {0x114d0, 0x114d9}, {0x11650, 0x11659}, {0x116c0, 0x116c9},
    {0x11730, 0x11739}, {0x118e0, 0x118e9}, {0x11950, 0x11959}, {0x11c50, 0x11c59}, {0x11d50, 0x11d59}, {0x11da0, 0x11da9},
    {0x16a60, 0x16a69}, {0x16ac0, 0x16ac9}, {0x16b50, 0x16b59}, {0x1d7ce, 0x1d7ff}, {0x1e140, 0x1e149}, {0x1e2f0, 0x1e2f9},
    {0x1e950, 0x1e959}, {0x1fbf0, 0x1fbf9},
};

bool is_decimal_digit(char32_t c) {
    for (const auto& range : DECIMAL_DIGITS)
        if (c >= range[0] && c <= range[1]) return true;
    return false;
}

std::size_t decimal_digit_run(std::string_view text) {
    std::size_t length = 0;
    while (length < text.size()) {
        const auto c = decode_utf8(text, length);
        if (!c.valid || !is_decimal_digit(c.code_point)) break;
        length += c.length;
    }
    return length;
}

std::string_view trim_white_space(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto c = decode_utf8(text, begin);
        if (!c.valid || !is_white_space(c.code_point)) break;
        begin += c.length;
    }
    std::size_t end = text.size();
    while (end > begin) {
        // Step back to the lead byte of the last character.
        std::size_t start = end - 1;
        while (start > begin && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xc0) == 0x80)
            --start;
        const auto c = decode_utf8(text, start);
        if (!c.valid || start + c.length != end || !is_white_space(c.code_point)) break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string_view> split_white_space(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto c = decode_utf8(text, at);
        if (c.valid && is_white_space(c.code_point)) {
            if (at > start) words.push_back(text.substr(start, at - start));
            start = at + c.length;
        }
        at += c.length;
    }
    if (text.size() > start) words.push_back(text.substr(start));
    return words;
}

}  // namespace smi
