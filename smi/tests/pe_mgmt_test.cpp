#include "sysfs/zelk/pe_mgmt.hpp"

#include <gtest/gtest.h>

#include "sysfs/zelk/hwmon.hpp"
#include "temp_tree.hpp"

using namespace smi;

TEST(PeClassContext, SplitsTheManagementPath) {
    const auto context = pe_class_context("/sys/class/zelk_mgmt/zelk!npu12mgmt");
    ASSERT_TRUE(context);
    EXPECT_EQ(context->class_dir, "/sys/class/zelk_mgmt");
    EXPECT_EQ(context->dev_node_index, 12);
    EXPECT_EQ(pe_class_context("/zelk!npu+7mgmt/")->class_dir, "/");
    struct Case { const char* path; const char* error; };
    const Case cases[] = {
        {"/c/zelk!npu256mgmt", "parse error: invalid mgmt name: 'zelk!npu256mgmt'"},
        {"/c/zelk!npumgmt", "parse error: invalid mgmt name: 'zelk!npumgmt'"},
        {"/c/zelk!npu1mgm", "parse error: invalid mgmt name: 'zelk!npu1mgm'"},
        {"/c/zelk!npu\xff" "mgmt", "parse error: missing mgmt file name"},
        {"zelk!npu1mgmt", "io error: mgmt path has no parent directory (zelk!npu1mgmt)"},
        {"/", "io error: mgmt path has no parent directory (/)"},
    };
    for (const auto& c : cases) EXPECT_EQ(to_string(pe_class_context(c.path).error()), c.error) << c.path;
}

TEST(MemoryUsage, GroupsTakeInTheNextAccessibleCores) {
    TempTree tree;
    const MemoryDescription memory{.dram_bytes = 1000, .reserved_bytes = 200, .pe_count = 8};  // share 100
    tree.write("zelk!npu3pe2/alloc_status",
               "dram_capacity: 0xc8\ndram_usage: 0x5\nshared_capacity: 0\nshared_usage: 0x1\n");
    CoreSet accessible;
    for (std::uint32_t core : {0, 1, 2, 5}) add(accessible, DeviceCoreRange{3, core, core});
    const CoreStatusMap statuses{{0, CoreStatus::Occupied}, {2, CoreStatus::Occupied}};
    // Core 0 is occupied but has no file: that fails.
    EXPECT_FALSE(read_memory_usage(tree.path("zelk!npu3mgmt"), accessible, statuses, memory));
    tree.write("zelk!npu3pe0/alloc_status",
               "dram_capacity: 0\ndram_usage: 0\nshared_capacity: 0\nshared_usage: 0\n");
    const auto groups = read_memory_usage(tree.path("zelk!npu3mgmt"), accessible, statuses, memory);
    ASSERT_TRUE(groups);
    const std::map<DeviceCoreRange, MemoryInfo> expected{
        {{3, 0, 0}, {100, 0}}, {{3, 1, 1}, {100, 0}}, {{3, 2, 5}, {200, 6}}};
    EXPECT_EQ(*groups, expected);
}

TEST(Hwmon, SensorsAreFoundByLabel) {
    TempTree tree;
    tree.write("temp_label", "PEAK\n");
    tree.write("templabel", "AMBIENT");  // too short to name a sensor
    tree.write("power12_label", "RMS_TOTAL");
    EXPECT_EQ(find_sensor_path(tree.path(), "temp", "PEAK", "input"), tree.path("temp_input"));
    EXPECT_EQ(find_sensor_path(tree.path(), "power", "RMS_TOTAL", "average"), tree.path("power12_average"));
    EXPECT_EQ(to_string(find_sensor_path(tree.path(), "temp", "AMBIENT", "input").error()),
              "io error: temp sensor 'AMBIENT' not found (" + tree.path() + ")");
    tree.write("power1_max", " 4294967295999 \n");
    EXPECT_EQ(read_power_limit(tree.path()), 4294967295u);
}
