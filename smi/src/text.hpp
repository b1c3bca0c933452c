// Text helpers: UTF-8 decoding and validation, lossy conversion of bytes to
// text, and trimming by the Unicode White_Space property.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace smi {

struct DecodedChar {
    char32_t code_point;  // U+FFFD when the sequence is invalid
    std::size_t length;   // bytes taken: the whole character, or the maximal invalid prefix
    bool valid;
};

/// Decodes the character that starts at `at` (which must be inside `text`).
DecodedChar decode_utf8(std::string_view text, std::size_t at);

bool is_valid_utf8(std::string_view text);

/// The bytes as text, each maximal invalid sequence replaced by U+FFFD.
std::string to_text_lossy(std::string_view bytes);

/// Whether the character has the Unicode White_Space property.
bool is_white_space(char32_t c);

/// Whether the character is a Unicode decimal digit (general category Nd).
bool is_decimal_digit(char32_t c);

/// The length in bytes of the run of decimal digits at the start of `text`.
std::size_t decimal_digit_run(std::string_view text);

/// `text` without leading and trailing White_Space characters.
std::string_view trim_white_space(std::string_view text);

/// The lines of `text`, split at each line feed; a carriage return before a
/// line feed belongs to the line ending, and a final line feed ends the last
/// line rather than starting an empty one.
std::vector<std::string_view> split_lines(std::string_view text);

/// The non-empty runs of `text` between White_Space characters.
std::vector<std::string_view> split_white_space(std::string_view text);

}  // namespace smi
