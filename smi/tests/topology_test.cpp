#include "topology.hpp"

#include <gtest/gtest.h>

#include "temp_tree.hpp"
#include "text.hpp"

using namespace smi;

TEST(LowestCpu, ReadsTheGroupsFromTheLast) {
    struct Case { std::string_view mask; std::optional<std::uint64_t> cpu; };
    const Case cases[] = {
        {"00000000,0000ffff\n", 0},
        {"00000000,00ff0000", 16},
        {"ffff0000,00000000", 48},
        {"00000001,00000000,00000000", 64},
        {"80000000", 31},
        {"f", 0},
        {"+8", 3},
        {" 00000000 , 00010000 \n", 16},
        {"FF00", 8},
        {"zz,00000001", 0},  // groups before the first set bit are not read
        {"00000000,00000000", std::nullopt},
        {"0", std::nullopt},
        {"", std::nullopt},
        {"\n", std::nullopt},
        {"zz", std::nullopt},
        {"00000001,zz", std::nullopt},
        {"00000001,", std::nullopt},
        {"00000001,,00000000", std::nullopt},
        {"+", std::nullopt},
        {"-1", std::nullopt},
        {"0x1", std::nullopt},
        {"100000000", std::nullopt},  // more than 32 bits in a group
        {"0000 0001", std::nullopt},
        {"\xff", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(lowest_cpu(c.mask), c.cpu) << c.mask;
}

// A function directory with its mask and a CPU directory in which CPU n
// belongs to package 100 + n, so the socket tells which CPU was looked up.
class PciDeviceSocketTest : public testing::Test {
protected:
    void SetUp() override {
        for (int cpu = 0; cpu < 64; ++cpu)
            tree.write(package_file(cpu), std::to_string(100 + cpu) + "\n");
        tree.mkdir("fn");
    }
    static std::string package_file(int cpu) {
        return "cpu/cpu" + std::to_string(cpu) + "/topology/physical_package_id";
    }
    auto socket() { return pci_device_socket(tree.path("fn"), tree.path("cpu")); }
    TempTree tree;
};

TEST_F(PciDeviceSocketTest, IsThePackageOfTheLowestCpu) {
    struct Case { const char* mask; std::optional<std::uint32_t> socket; };
    const Case cases[] = {
        {"00000000,00ff0000\n", 116},
        {"ffff0000,00000000\n", 148},
        {"00000000,00000000\n", std::nullopt},
        {"zz\n", std::nullopt},
        {"00000000,00000000,00000000\n", std::nullopt},  // CPU 64 would have no file
    };
    for (const auto& c : cases) {
        tree.write("fn/local_cpus", c.mask);
        const auto socket = this->socket();
        ASSERT_TRUE(socket) << c.mask;
        EXPECT_EQ(*socket, c.socket) << c.mask;
    }
}

TEST_F(PciDeviceSocketTest, ReadsThePackageNumberStrictly) {
    tree.write("fn/local_cpus", "00000000,00000004\n");  // CPU 2
    struct Case { const char* content; std::optional<std::uint32_t> package; };
    const Case cases[] = {
        {"0\n", 0}, {" +7 \n", 7}, {"4294967295", 4294967295u},
        {"", std::nullopt}, {"x", std::nullopt}, {"-1", std::nullopt}, {"4294967296", std::nullopt},
        {"0x1", std::nullopt}, {"1 2", std::nullopt},
    };
    for (const auto& c : cases) {
        tree.write(package_file(2), c.content);
        const auto socket = this->socket();
        if (c.package) {
            ASSERT_TRUE(socket) << c.content;
            EXPECT_EQ(*socket, c.package) << c.content;
        } else {
            ASSERT_FALSE(socket) << c.content;
            const std::string trimmed(trim_white_space(c.content));
            EXPECT_EQ(to_string(socket.error()), "parse error: invalid physical_package_id: '" + trimmed + "'");
        }
    }
}

TEST_F(PciDeviceSocketTest, NamesTheFileItCannotRead) {
    const auto no_mask = socket();
    ASSERT_FALSE(no_mask);
    EXPECT_EQ(no_mask.error().message, tree.path("fn/local_cpus"));

    tree.write("fn/local_cpus", "00000000,00000004\n");
    std::filesystem::remove(tree.path(package_file(2)));
    const auto no_package = socket();
    ASSERT_FALSE(no_package);
    EXPECT_EQ(to_string(no_package.error()),
              "io error: No such file or directory (os error 2) (" + tree.path(package_file(2)) + ")");
}

TEST(PciAncestors, AreTheBridgesInTheCanonicalPath) {
    TempTree tree;
    tree.mkdir("devices/pci0000:3a/0000:3a:00.0/0000:3b:00.0/0000:3d:00.0");
    tree.mkdir("devices/pci0000:51/0000:51:00.0");
    tree.mkdir("bus");
    tree.symlink("../devices/pci0000:3a/0000:3a:00.0/0000:3b:00.0/0000:3d:00.0", "bus/0000:3d:00.0");
    tree.symlink("../devices/pci0000:51/0000:51:00.0", "bus/0000:51:00.0");
    // A link to a bridge's directory, and one that passes through a bridge's link.
    tree.symlink("../devices/pci0000:3a/0000:3a:00.0", "bus/0000:3a:00.0");
    tree.symlink("../devices/pci0000:3a/0000:3a:00.0/0000:3b:00.0", "bus/0000:3b:00.0");

    const Bdf root_port{0, 0x3a, 0, 0}, switch_port{0, 0x3b, 0, 0};
    struct Case { const char* link; Bdf bdf; std::vector<Bdf> ancestors; };
    const Case cases[] = {
        {"bus/0000:3d:00.0", {0, 0x3d, 0, 0}, {root_port, switch_port}},
        {"bus/0000:3b:00.0/0000:3d:00.0", {0, 0x3d, 0, 0}, {root_port, switch_port}},
        {"bus/0000:3b:00.0", switch_port, {root_port}},
        {"bus/0000:3a:00.0", root_port, {}},
        {"bus/0000:51:00.0", {0, 0x51, 0, 0}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(pci_ancestors(tree.path(c.link), c.bdf), c.ancestors) << c.link;

    tree.symlink("../devices/pci0000:99/0000:99:00.0", "bus/0000:99:00.0");  // dangling
    for (const char* link : {"bus/0000:99:00.0", "bus/0000:98:00.0"}) {
        const auto missing = pci_ancestors(tree.path(link), {0, 0x99, 0, 0});
        ASSERT_FALSE(missing) << link;
        EXPECT_EQ(to_string(missing.error()),
                  "io error: No such file or directory (os error 2) (" + tree.path(link) + ")");
    }
}
