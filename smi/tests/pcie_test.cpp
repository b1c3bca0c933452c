#include "pcie.hpp"

#include <cmath>
#include <variant>

#include <gtest/gtest.h>

using namespace smi;

namespace {

// A parsed value, or the text of the error.
template <class T> std::variant<T, std::string> outcome(const Result<T>& result) {
    if (result) return *result;
    return to_string(result.error());
}

}  // namespace

TEST(ParseFirstToken, TakesTheNumberBeforeTheUnit) {
    using Outcome = std::variant<double, std::string>;
    struct Case { const char* text; Outcome speed; std::variant<std::uint32_t, std::string> width; };
    const std::string missing = "parse error: missing", not_a_number = "parse error: nan";
    const Case cases[] = {
        {"16.0 GT/s PCIe\n", 16.0, not_a_number},
        {"2.5 GT/s", 2.5, not_a_number},
        {"16\n", 16.0, 16u},
        {" \t+8 x", 8.0, 8u},
        {"\u00a04\u20030", 4.0, 4u},  // white space beyond ASCII separates tokens
        {"4294967296", 4294967296.0, not_a_number},
        {"-1", -1.0, not_a_number},
        {"Unknown", not_a_number, not_a_number},
        {"x16 GT/s", not_a_number, not_a_number},
        {"16,0", not_a_number, not_a_number},
        {"", missing, missing},
        {" \t\r\n", missing, missing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(parse_first_token<double>(c.text, "missing", "nan")), c.speed) << c.text;
        EXPECT_EQ(outcome(parse_first_token<std::uint32_t>(c.text, "missing", "nan")), c.width) << c.text;
    }
}

TEST(ParsePcieGenStatus, KnowsExactlyTheFiveRates) {
    using Outcome = std::variant<std::uint8_t, std::string>;
    struct Case { double speed; Outcome gen; };
    const Case cases[] = {
        {2.5, std::uint8_t(1)}, {5.0, std::uint8_t(2)}, {8.0, std::uint8_t(3)},
        {16.0, std::uint8_t(4)}, {32.0, std::uint8_t(5)},
        {64.0, "parse error: Invalid PCIe link speed: 64"},
        {2.7, "parse error: Invalid PCIe link speed: 2.7"},
        {std::nextafter(16.0, 17.0), "parse error: Invalid PCIe link speed: 16.000000000000004"},
        {0.0, "parse error: Invalid PCIe link speed: 0"},
        {std::nan(""), "parse error: Invalid PCIe link speed: NaN"},
        {HUGE_VAL, "parse error: Invalid PCIe link speed: inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(parse_pcie_gen_status(c.speed)), c.gen) << c.speed;
}

TEST(ParseRootComplex, TakesTheFirstComponentNamingDomainAndBus) {
    struct Case { const char* path; PcieRootComplexInfo root; };
    const Case cases[] = {
        {"/sys/devices/pci0000:00/0000:00:01.0/0000:01:00.0", {0, 0}},
        {"/sys/devices/pci0000:3a/0000:3a:00.0/0000:3b:00.0", {0, 0x3a}},
        {"/sys/devices/pci0000:00/pci0001:01", {0, 0}},
        // Each of these is passed over: no colon, an empty or oversized
        // number, a bad digit, bytes that are not text.
        {"/sys//pci/pci_bus/pci:00/pci0000:/pci10000:00/pci0000:100/pci00g0:00/pci\xff:00/pci0001:fF", {1, 0xff}},
        {"pci+2:+3", {2, 3}},
    };
    for (const auto& c : cases) {
        const auto root = parse_root_complex(c.path);
        ASSERT_TRUE(root) << c.path;
        EXPECT_EQ(*root, c.root) << c.path;
    }
    const char* without[] = {"/sys/devices/platform/0000:01:00.0", "", "/", "/sys/devices/PCI0000:00/0000:00:01.0"};
    for (const char* path : without) {
        const auto root = parse_root_complex(path);
        ASSERT_FALSE(root) << path;
        EXPECT_EQ(to_string(root.error()), "parse error: couldn't find root complex");
    }
}

TEST(BridgesAbove, ListsTheAddressesFromTheRootDownWithoutTheFunction) {
    const Bdf function{0, 0x3d, 0, 0};
    const auto bridges =
        bridges_above("/sys/devices/pci0000:3a/0000:3a:00.0/0000:3b:00.0/0000:3c:00.0/0000:3d:00.0", function);
    EXPECT_EQ(bridges, (std::vector<Bdf>{{0, 0x3a, 0, 0}, {0, 0x3b, 0, 0}, {0, 0x3c, 0, 0}}));
    EXPECT_EQ(bridges_above("/sys/devices/pci0000:51/0000:51:00.0", {0, 0x51, 0, 0}), std::vector<Bdf>{});
}
