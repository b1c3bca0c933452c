#include "discovery.hpp"

#include <gtest/gtest.h>

#include "temp_tree.hpp"

using namespace smi;

TEST(ParseTarvinaPciDevice, KeepsOnlyTheVendorsAcceptedDevices) {
    struct Case { const char* vendor; const char* device; std::optional<std::uint16_t> device_id; };
    const Case cases[] = {
        {"0x1e3a\n", "0x0001\n", 1},
        {"0x1E3A\n", "0x0002\n", 2},
        {"0x1e3a\n", "0x0003\n", std::nullopt},  // unknown device ID
        {"0x8086\n", "0x0001\n", std::nullopt},  // another vendor
        {"0x1e3a\n", nullptr, std::nullopt},     // no "device" file
        {nullptr, "0x0001\n", std::nullopt},     // no "vendor" file
        {"garbage\n", "0x0001\n", std::nullopt},
        {"0x1e3a\n", "\xff\n", std::nullopt},
    };
    const Bdf bdf{0, 0x51, 0, 0};
    for (const auto& c : cases) {
        TempTree tree;
        if (c.vendor) tree.write("fn/vendor", c.vendor);
        if (c.device) tree.write("fn/device", c.device);
        tree.mkdir("fn");
        const auto device = parse_tarvina_pci_device(tree.path("fn"), bdf);
        ASSERT_EQ(device.has_value(), c.device_id.has_value()) << c.vendor << " " << c.device;
        if (device) {
            EXPECT_EQ(*device, (PciDevice{bdf, *c.device_id, VENDOR_ID}));
        }
    }
}

TEST(PciDevice, OrdersByVendorThenDeviceIdThenAddress) {
    const PciDevice a{{0, 0xff, 0, 0}, 1, VENDOR_ID}, b{{0, 0x01, 0, 0}, 2, VENDOR_ID}, c{{0, 0x02, 0, 0}, 2, VENDOR_ID};
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}
