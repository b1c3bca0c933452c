#include "arch.hpp"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include "arch/zelk.hpp"
#include "device.hpp"
#include "temp_tree.hpp"

using namespace smi;

TEST(Arch, SelectsTheConfigurationByDeviceId) {
    EXPECT_EQ(select_arch_config(1), &ZELK_ARCH_CONFIG);
    EXPECT_EQ(select_arch_config(2), &ZELK_PLUS_ARCH_CONFIG);
    EXPECT_EQ(ZELK_ARCH_CONFIG.memory->dram_bytes, 51539607552u);
    EXPECT_EQ(ZELK_PLUS_ARCH_CONFIG.memory->dram_bytes, 77309411328u);
    EXPECT_EQ(to_string(select_arch_config(0x10).error()), "unknown architecture: device_id=0x0010");
    EXPECT_FALSE(select_arch_config(0));
}

TEST(Arch, ParsesManagementNodeNames) {
    struct Case { std::string_view name; std::optional<std::uint8_t> index; };
    const Case cases[] = {
        {"zelk!npu0mgmt", 0},          {"zelk!npu12mgmt", 12},       {"zelk!npu007mgmt", 7},
        {"zelk!npu255mgmt", 255},      {"zelk!npu256mgmt", {}},      {"zelk!npumgmt", {}},
        {"zelk!npu0mgmt.bak", {}},     {"npu0mgmt", {}},             {"zelk!npu-1mgmt", {}},
        {"zelk!npu+1mgmt", {}},        {"zelk!npu\xd9\xa1mgmt", {}}, {"zelk!npu0pe1", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_mgmt_node_index(c.name), c.index) << c.name;
}

TEST(Arch, FormatsNodePaths) {
    EXPECT_EQ(format_mgmt_path(3), "/sys/class/zelk_mgmt/zelk!npu3mgmt");
    EXPECT_EQ(format_debugfs_mgmt_path(3), "/sys/kernel/debug/zelk/mgmt3");
    EXPECT_EQ(format_device_name(3), "npu3");
}

// A device-file directory with character devices (made with mknod, so the
// test needs root) and some regular files.
class DevfsOpsTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"npu0", "npu0pe0", "npu0pe1", "npu0pe2", "npu0pe3", "npu0pe4", "npu0pe5", "npu0pe6",
                                 "npu0pe7", "npu0pe0-3", "npu0pe4-7", "npu1"})
            if (!char_device(name)) GTEST_SKIP() << "mknod needs root";
        tree.write("npu2", "");        // a regular file is no device file
        tree.write("npu1pe0", "");     // counted as a core all the same
        tree.symlink("npu0", "npu3");  // a link is not followed
    }
    bool char_device(const char* name) {
        return ::mknod(tree.path(name).c_str(), S_IFCHR | 0600, makedev(511, minor++)) == 0;
    }
    TempTree tree;
    unsigned minor = 0;
};

TEST_F(DevfsOpsTest, FindsNodesCoresAndFiles) {
    EXPECT_EQ(get_dev_node_indices(tree.path()), (std::set<std::uint8_t>{0, 1}));
    EXPECT_EQ(get_core_count(tree.path(), 0), 8u);
    EXPECT_EQ(get_core_count(tree.path(), 1), 1u);
    EXPECT_EQ(size(get_accessible_core_indices(tree.path(), 0)), 8u);
    const auto node1 = get_accessible_core_indices(tree.path(), 1);
    EXPECT_EQ(size(node1), 1u);
    EXPECT_TRUE(contains(node1, 0));

    const auto files = get_device_files(tree.path(), 0);
    ASSERT_EQ(files.size(), 12u - 1);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end(), [](auto& a, auto& b) { return a.first < b.first; }));
    EXPECT_EQ(files.back().second, tree.path("npu0pe7"));
    EXPECT_EQ(files[2].first, (DeviceCoreRange{0, 0, 3}));  // after npu0 and npu0pe0
}

TEST_F(DevfsOpsTest, PeerToPeerNeedsAllNineFiles) {
    EXPECT_FALSE(has_p2p_interfaces(tree.path(), 0));
    tree.write("npu0dmar", "");
    for (int channel = 0; channel < 7; ++channel) tree.write("npu0ch" + std::to_string(channel) + "r", "");
    EXPECT_FALSE(has_p2p_interfaces(tree.path(), 0));
    tree.write("npu0ch7r", "");
    EXPECT_TRUE(has_p2p_interfaces(tree.path(), 0));
}

TEST(DevfsOps, AMissingDirectoryGivesNothing) {
    const Path missing = "/nonexistent/zelk";
    EXPECT_TRUE(get_dev_node_indices(missing).empty());
    EXPECT_EQ(get_core_count(missing, 0), 0u);
    EXPECT_TRUE(get_accessible_core_indices(missing, 0).intervals.empty());
    EXPECT_TRUE(get_device_files(missing, 0).empty());
    EXPECT_FALSE(has_p2p_interfaces(missing, 0));
}

TEST(Device, GuardComesBeforeTheConfiguration) {
    // No function has this address, so no driver is bound to it.
    const Device device{.device_name = "npu0", .bdf = {0xfffe, 0xff, 0x1f, 7}, .device_id = 3};
    EXPECT_EQ(to_string(device_files(device).error()), "device not available: fffe:ff:1f.7");
    EXPECT_EQ(product_name(device), "Unknown");
}
