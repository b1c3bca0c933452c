// A temporary directory tree holding just the files a test needs.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempTree {
public:
    TempTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "smi-test-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~TempTree() { std::filesystem::remove_all(root_); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    /// The absolute path of `relative` inside the tree.
    std::string path(std::string_view relative = "") const {
        return relative.empty() ? root_.string() : (root_ / relative).string();
    }

    /// Writes a file, making its directories.
    void write(std::string_view relative, std::string_view content) const {
        const auto file = root_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }
    void mkdir(std::string_view relative) const { std::filesystem::create_directories(root_ / relative); }
    void symlink(std::string_view target, std::string_view relative) const {
        std::filesystem::create_symlink(target, root_ / relative);
    }

private:
    std::filesystem::path root_;
};
