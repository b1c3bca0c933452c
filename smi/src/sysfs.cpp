#include "sysfs.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "number.hpp"
#include "text.hpp"

namespace smi {

Path join(std::string_view dir, std::string_view name) {
    Path path;
    path.reserve(dir.size() + 1 + name.size());
    path.append(dir).append("/").append(name);
    return path;
}

Path pci_function_dir(const Bdf& bdf) { return join(PCI_DEVICES_DIR, to_string(bdf)); }

Result<std::vector<DirEntry>> list_dir(const Path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::unexpected(SmiError::io_error(dir, errno));
    std::vector<DirEntry> entries;
    alignas(dirent64) char buffer[16384];
    for (;;) {
        const ssize_t size = ::getdents64(fd, buffer, sizeof buffer);
        // A failure part way through ends the listing with what was read so far.
        if (size <= 0) break;
        for (ssize_t at = 0; at < size;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            entries.push_back({std::string(name), entry->d_type});
        }
    }
    ::close(fd);
    return entries;
}

Result<std::string> read_file(const Path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::unexpected(SmiError::io_error(path, errno));
    // Attribute files are at most a page; the kernel reports their size as 4096
    // whatever they hold, so read until end of file instead of asking.
    std::string content(4096, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == content.size()) content.resize(content.size() * 2);
        const ssize_t got = ::read(fd, content.data() + length, content.size() - length);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return std::unexpected(SmiError::io_error(path, error));
        }
        if (got == 0) break;
        length += got;
    }
    ::close(fd);
    content.resize(length);
    return content;
}

Result<void> write_file(const Path& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::unexpected(SmiError::io_error(path, errno));
    while (!content.empty()) {
        const ssize_t put = ::write(fd, content.data(), content.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return std::unexpected(SmiError::io_error(path, error));
        }
        content.remove_prefix(put);
    }
    ::close(fd);
    return {};
}

bool exists(const Path& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

Result<Path> canonical_path(const Path& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), std::free);
    if (!resolved) return std::unexpected(SmiError::io_error(path, errno));
    return Path(resolved.get());
}

Result<std::string> read_sysfs_attr(const Path& path) {
    auto content = TRY(read_file(path));
    if (!is_valid_utf8(content))
        return std::unexpected(SmiError::io_error(path, "stream did not contain valid UTF-8"));
    const auto text = trim_white_space(content);
    if (text.empty()) return std::unexpected(SmiError::parse("empty attribute: " + to_text_lossy(path)));
    return std::string(text);
}

std::optional<std::uint16_t> read_sysfs_hex_u16(const Path& path) {
    auto text = read_sysfs_attr(path);
    if (!text) return std::nullopt;
    std::string digits(trim_white_space(*text));
    for (char& c : digits)
        if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
    std::string_view rest = digits;
    if (rest.size() > 1 && rest.starts_with("0x")) rest.remove_prefix(2);
    return parse_int<std::uint16_t>(rest, 16);
}

bool is_driver_bound(const Bdf& bdf) { return exists(join(pci_function_dir(bdf), "driver")); }

}  // namespace smi
