#include "sysfs.hpp"

#include <dirent.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "temp_tree.hpp"

using namespace smi;

TEST(ReadSysfsAttr, TrimsTheContent) {
    TempTree tree;
    tree.write("a", "  42\n");
    tree.write("inner", "\t4 2 \r\n");
    EXPECT_EQ(read_sysfs_attr(tree.path("a")), "42");
    EXPECT_EQ(read_sysfs_attr(tree.path("inner")), "4 2");
}

TEST(ReadSysfsAttr, ReadsFilesLargerThanOnePage) {
    TempTree tree;
    const std::string big(10000, 'x');
    tree.write("big", big + "\n");
    EXPECT_EQ(read_sysfs_attr(tree.path("big")), big);
}

TEST(ReadSysfsAttr, ReportsEachFailure) {
    TempTree tree;
    tree.write("newline", "\n");
    tree.write("empty", "");
    tree.write("binary", std::string("\x00\x01\xff\xfe", 4));
    tree.mkdir("dir");
    tree.symlink("gone", "dangling");
    struct Case { const char* name; std::string text; };
    const Case cases[] = {
        {"newline", "parse error: empty attribute: " + tree.path("newline")},
        {"empty", "parse error: empty attribute: " + tree.path("empty")},
        {"binary", "io error: stream did not contain valid UTF-8 (" + tree.path("binary") + ")"},
        {"dir", "io error: Is a directory (os error 21) (" + tree.path("dir") + ")"},
        {"missing", "io error: No such file or directory (os error 2) (" + tree.path("missing") + ")"},
        {"dangling", "io error: No such file or directory (os error 2) (" + tree.path("dangling") + ")"},
    };
    for (const auto& c : cases) {
        auto text = read_sysfs_attr(tree.path(c.name));
        ASSERT_FALSE(text) << c.name;
        EXPECT_EQ(to_string(text.error()), c.text);
    }
}

TEST(ReadSysfsHexU16, AcceptsTheKernelsHexFormsOnly) {
    struct Case { std::string_view content; std::optional<std::uint16_t> value; };
    const Case cases[] = {
        {"0x0002\n", 2},    {"0X00A1", 0xa1},    {"ffff", 0xffff}, {"+2", 2},
        {"00000001", 1},    {" 0x1e3a \n", 0x1e3a}, {"0", 0},      {"0x+5", 5},
        {"0x", std::nullopt},    {"x", std::nullopt},     {"-1", std::nullopt},   {"12345", std::nullopt},
        {"0x10000", std::nullopt}, {"0x1g", std::nullopt}, {"", std::nullopt},    {"0x 1", std::nullopt},
        {"\xff\xfe", std::nullopt},
    };
    TempTree tree;
    for (const auto& c : cases) {
        tree.write("attr", c.content);
        EXPECT_EQ(read_sysfs_hex_u16(tree.path("attr")), c.value) << testing::PrintToString(c.content);
    }
    EXPECT_EQ(read_sysfs_hex_u16(tree.path("missing")), std::nullopt);
}

TEST(ListDir, GivesEachEntrysOwnType) {
    TempTree tree;
    tree.write("file", "");
    tree.mkdir("dir");
    tree.symlink("dir", "link");
    auto entries = list_dir(tree.path());
    ASSERT_TRUE(entries);
    std::sort(entries->begin(), entries->end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[0].name, "dir");
    EXPECT_EQ((*entries)[0].type, DT_DIR);
    EXPECT_EQ((*entries)[1].type, DT_REG);
    EXPECT_EQ((*entries)[2].type, DT_LNK);  // not followed

    auto missing = list_dir(tree.path("missing"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(to_string(missing.error()),
              "io error: No such file or directory (os error 2) (" + tree.path("missing") + ")");
}

TEST(ListDir, ListsLargeDirectoriesWhole) {
    TempTree tree;
    for (int i = 0; i < 2000; ++i) tree.write("entry-with-a-long-name-" + std::to_string(i), "");
    EXPECT_EQ(list_dir(tree.path())->size(), 2000u);
}

TEST(WriteFile, ReplacesTheContentAndReportsThePath) {
    TempTree tree;
    tree.write("probe", "old content\n");
    ASSERT_TRUE(write_file(tree.path("probe"), "0000:51:00.0\n"));
    EXPECT_EQ(read_file(tree.path("probe")), "0000:51:00.0\n");
    auto error = write_file(tree.path("no/such/file"), "x");
    ASSERT_FALSE(error);
    EXPECT_EQ(to_string(error.error()),
              "io error: No such file or directory (os error 2) (" + tree.path("no/such/file") + ")");
}
