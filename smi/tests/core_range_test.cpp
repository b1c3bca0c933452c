#include "device/core_range.hpp"

#include <gtest/gtest.h>

#include "device/device_file.hpp"

using namespace smi;

TEST(CoreRange, ParsesDeviceFileNames) {
    struct Case { std::string_view name; DeviceCoreRange range; std::string_view rendered; };
    const Case cases[] = {
        {"npu0", {0, 0, 0}, "npu0pe0"},
        {"npu0pe0", {0, 0, 0}, "npu0pe0"},
        {"npu1pe2-3", {1, 2, 3}, "npu1pe2-3"},
        {"npu1pe3-3", {1, 3, 3}, "npu1pe3"},
        {"npu1pe3-1", {1, 3, 1}, "npu1pe3-1"},
        {"npu007", {7, 0, 0}, "npu7pe0"},
        {"npu255pe4294967295", {255, 4294967295u, 4294967295u}, "npu255pe4294967295"},
    };
    for (const auto& c : cases) {
        const auto range = parse_core_range(c.name);
        ASSERT_TRUE(range) << c.name;
        EXPECT_EQ(*range, c.range) << c.name;
        EXPECT_EQ(to_string(*range), c.rendered);
    }
}

TEST(CoreRange, RejectsOtherNamesWithOneMessage) {
    const char* rejected[] = {"npu256", "npu0pe4294967296", "npu0pe", "npu0pe1-", "npu0-1", "npux", "NPU0",
                              " npu0", "npu0\n", "npu", "npu\xd9\xa3", "npu0pe1-2-3", "npu+1", "npu0dmar"};
    for (const char* name : rejected) {
        const auto range = parse_core_range(name);
        ASSERT_FALSE(range) << name;
        EXPECT_EQ(to_string(range.error()), "parse error: invalid device file name: '" + std::string(name) + "'");
    }
}

TEST(CoreRange, OrdersByNodeThenFirstThenLastCore) {
    EXPECT_LT((DeviceCoreRange{0, 5, 5}), (DeviceCoreRange{1, 0, 0}));
    EXPECT_LT((DeviceCoreRange{1, 0, 3}), (DeviceCoreRange{1, 1, 1}));
    EXPECT_LT((DeviceCoreRange{1, 1, 1}), (DeviceCoreRange{1, 1, 2}));
}

TEST(CoreRange, ListsCoresWithoutWrappingAndRefusesHugeLists) {
    EXPECT_EQ(cores({0, 2, 3}), (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(cores({0, 3, 1}), std::vector<std::uint32_t>{});
    EXPECT_EQ(cores({0, 4294967294u, 4294967295u}), (std::vector<std::uint32_t>{4294967294u, 4294967295u}));
    EXPECT_EQ(cores({0, 0, 4294967295u}), std::nullopt);
    EXPECT_EQ(core_count({0, 0, 4294967295u}), 4294967296u);
}

TEST(CoreSet, MergesRangesAndKeepsHugeOnesCheap) {
    CoreSet set;
    for (const DeviceCoreRange range : {DeviceCoreRange{0, 4, 7}, {0, 0, 0}, {0, 1, 1}, {0, 0, 1}, {0, 9, 8}, {0, 2, 3}})
        add(set, range);
    ASSERT_EQ(set.intervals.size(), 1u);
    EXPECT_EQ(size(set), 8u);
    EXPECT_TRUE(contains(set, 7));
    EXPECT_FALSE(contains(set, 8));

    add(set, {0, 10, 4294967295u});
    EXPECT_EQ(set.intervals.size(), 2u);
    EXPECT_EQ(size(set), 8u + 4294967286u);
    EXPECT_TRUE(contains(set, 4294967295u));
    EXPECT_FALSE(contains(set, 9));
}

TEST(DeviceFile, PathsCompareByComponents) {
    EXPECT_TRUE(same_path("/dev/zelk/npu0", "/dev//zelk/./npu0/"));
    EXPECT_FALSE(same_path("/dev/zelk/npu0", "dev/zelk/npu0"));
    EXPECT_FALSE(same_path("./npu0", "npu0"));
    EXPECT_FALSE(same_path("/dev/zelk/npu0", "/dev/zelk/../zelk/npu0"));
}
