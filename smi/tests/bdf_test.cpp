#include "device/bdf.hpp"

#include <gtest/gtest.h>

using namespace smi;

TEST(Bdf, ParsesBothFormsAndRendersLowerCaseWithDomain) {
    struct Case { std::string_view text, rendered; };
    const Case cases[] = {
        {"0000:5e:00.0", "0000:5e:00.0"},
        {"5e:00.0", "0000:5e:00.0"},
        {"0000:5E:1F.7", "0000:5e:1f.7"},
        {"ABCD:ff:10.3", "abcd:ff:10.3"},
        {"0001:0a:1f.7", "0001:0a:1f.7"},
    };
    for (const auto& c : cases) {
        auto bdf = parse_bdf(c.text);
        ASSERT_TRUE(bdf) << c.text;
        EXPECT_EQ(to_string(*bdf), c.rendered);
    }
    EXPECT_EQ(parse_bdf("0001:0a:1f.7"), (Bdf{1, 0x0a, 0x1f, 7}));
}

TEST(Bdf, RejectsAnythingOutsideTheGrammar) {
    const char* rejected[] = {
        "0000:5e:20.0",  "0000:5e:00.8",  "00000:5e:00.0", "0000:5e:00.0\n", " 0000:5e:00.0", "0000:5e:00",
        "",              "xyz",           "000:5e:00.0",   "0000-5e:00.0",   "0000:5e-00.0",  "0000:5e:00:0",
        "0000:g0:00.0",  "5e:00.0 ",      "+000:5e:00.0",  "0000:5e:0a.9",   "0000:5e:2f.0",  "5e:00.0\n",
    };
    for (const char* text : rejected) {
        auto bdf = parse_bdf(text);
        ASSERT_FALSE(bdf) << text;
        EXPECT_EQ(to_string(bdf.error()), "parse error: invalid BDF: '" + std::string(text) + "'");
    }
}

TEST(Bdf, OrdersByDomainBusDeviceFunction) {
    const Bdf ordered[] = {{0, 1, 0, 0}, {0, 1, 0, 1}, {0, 2, 0, 0}, {0, 0xff, 0x1f, 7}, {1, 0, 0, 0}};
    for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) EXPECT_LT(ordered[i], ordered[i + 1]);
}
