#include "sysfs/zelk/mgmt.hpp"

#include <gtest/gtest.h>

#include "temp_tree.hpp"

using namespace smi;

TEST(Throttle, EachBitIsOneReason) {
    using Kind = ThrottleReason::Kind;
    EXPECT_EQ(ThrottleReason::from_bits(0), std::vector<ThrottleReason>{});
    const auto reasons = ThrottleReason::from_bits(0x80000201);
    ASSERT_EQ(reasons.size(), 3u);
    EXPECT_EQ(reasons[0], ThrottleReason{Kind::Idle});
    EXPECT_EQ(reasons[1], (ThrottleReason{Kind::Unknown, 0x200}));
    EXPECT_EQ(reasons[2], (ThrottleReason{Kind::Unknown, 0x80000000}));
    EXPECT_EQ(to_string(reasons[1]), "Unknown(0x00000200)");
    EXPECT_EQ(to_string(reasons[2]), "Unknown(0x80000000)");
    EXPECT_EQ(to_string(ThrottleReason{Kind::HwBusLimit}), "HW Bus Limit");
    EXPECT_EQ(ThrottleReason::from_bits(0xffffffff).size(), 32u);
}

TEST(Mgmt, ReadersTakeTheDirectory) {
    TempTree tree;
    tree.write("throttle_reason", "0x00000401\n");
    tree.write("npu_clocks", "2000000000\n");
    tree.write("fw_version", "1.2.3~rc1, abc\n");
    const auto reasons = read_throttle_reason(tree.path());
    ASSERT_TRUE(reasons);
    EXPECT_EQ(reasons->back(), (ThrottleReason{ThrottleReason::Kind::Unknown, 0x400}));
    EXPECT_EQ(read_core_frequency(tree.path()), (FrequencyTable{{0, 2000}}));
    EXPECT_EQ(read_firmware_version(tree.path()),
              (VersionInfo{.major = 1, .minor = 2, .patch = 3, .metadata = "abc", .prerelease = "rc1"}));
    EXPECT_FALSE(read_liveness(tree.path()));
    EXPECT_EQ(to_string(read_driver_version(tree.path()).error()),
              "io error: No such file or directory (os error 2) (" + tree.path("version") + ")");
}

TEST(Mgmt, WritesAreWholeLines) {
    TempTree tree;
    tree.write("npu_governor", "performance and more text\n");
    ASSERT_TRUE(write_governor_profile(tree.path(), GovernorProfile::PowerSave));
    ASSERT_TRUE(write_power_limit(tree.path(), 4294967295));
    EXPECT_EQ(read_file(tree.path("npu_governor")), "powersave\n");
    EXPECT_EQ(read_file(tree.path("power_limit_mw")), "4294967295\n");
    EXPECT_EQ(to_string(write_power_limit(tree.path("missing"), 1).error()),
              "io error: No such file or directory (os error 2) (" + tree.path("missing/power_limit_mw") + ")");
}
