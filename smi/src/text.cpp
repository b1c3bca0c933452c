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

}  // namespace smi
