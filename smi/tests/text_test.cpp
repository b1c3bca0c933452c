#include "text.hpp"

#include <gtest/gtest.h>

using namespace smi;

TEST(Utf8, ValidityFollowsTheWellFormedTable) {
    struct Case { std::string_view bytes; bool valid; };
    const Case cases[] = {
        {"", true},
        {"plain ascii", true},
        {"\xc3\xa9", true},          // é
        {"\xe2\x80\xa8", true},      // U+2028
        {"\xf0\x9f\x98\x80", true},  // U+1F600
        {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF
        {"\x80", false},             // lone continuation
        {"\xc0\xaf", false},         // overlong
        {"\xe0\x80\xaf", false},     // overlong
        {"\xed\xa0\x80", false},     // surrogate
        {"\xf4\x90\x80\x80", false}, // above U+10FFFF
        {"\xf5\x80\x80\x80", false},
        {"\xe2\x80", false},         // truncated
        {"\xff", false},
    };
    for (const auto& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(Utf8, LossyConversionReplacesEachMaximalInvalidPrefix) {
    // As Python's bytes.decode("utf-8", "replace") does.
    EXPECT_EQ(to_text_lossy("ok"), "ok");
    EXPECT_EQ(to_text_lossy("a\xffz"), "a\xef\xbf\xbdz");
    EXPECT_EQ(to_text_lossy("\xe2\x80z"), "\xef\xbf\xbdz");                 // one U+FFFD for a truncated sequence
    EXPECT_EQ(to_text_lossy("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");  // surrogate: three
    EXPECT_EQ(to_text_lossy("\xf0\x9f\x98"), "\xef\xbf\xbd");
}

TEST(WhiteSpace, TrimsEveryWhiteSpaceCharacterButKeepsInnerOnes) {
    struct Case { std::string_view text, trimmed; };
    const Case cases[] = {
        {"  42\n", "42"},
        {"\t\v\f\r 42 \r\n", "42"},
        {"\xc2\x85" "42" "\xc2\xa0", "42"},                  // U+0085, U+00A0
        {"\xe1\x9a\x80\xe2\x80\x8a" "42" "\xe3\x80\x80", "42"},  // U+1680, U+200A, U+3000
        {"\xe2\x80\xa8\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\x9f" "x", "x"},
        {"4 2", "4 2"},
        {"\xe2\x80\x8b" "42", "\xe2\x80\x8b" "42"},          // U+200B is not White_Space
        {" \n ", ""},
        {"", ""},
        {"x\xe2\x80", "x\xe2\x80"},                          // a broken tail is not trimmed
    };
    for (const auto& c : cases) EXPECT_EQ(trim_white_space(c.text), c.trimmed) << testing::PrintToString(c.text);
}

TEST(Split, LinesAndWords) {
    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(split_lines(""), Parts{});
    EXPECT_EQ(split_lines("\n"), Parts{""});
    EXPECT_EQ(split_lines("a\r\n\nb\r"), (Parts{"a", "", "b\r"}));  // only a CR before LF ends a line
    EXPECT_EQ(split_lines("a\n\rb\n"), (Parts{"a", "\rb"}));
    EXPECT_EQ(split_white_space(""), Parts{});
    EXPECT_EQ(split_white_space(" \t\u2003"), Parts{});
    EXPECT_EQ(split_white_space("reason:\u00a00x4  x\xff"), (Parts{"reason:", "0x4", "x\xff"}));
}
