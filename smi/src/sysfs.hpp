// Reading and writing the small attribute files that the kernel and the
// driver publish, and listing their directories.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/bdf.hpp"
#include "error.hpp"

namespace smi {

using Path = std::string;

/// The kernel's PCI function directory, one entry per function address.
inline constexpr std::string_view PCI_DEVICES_DIR = "/sys/bus/pci/devices";

/// `dir` and `name` joined by one "/".
Path join(std::string_view dir, std::string_view name);

/// The directory of a PCI function: PCI_DEVICES_DIR joined with the address text.
Path pci_function_dir(const Bdf& bdf);

/// One directory entry, with the file type the listing reports for the entry
/// itself (a DT_* value; a link is not followed).
struct DirEntry {
    std::string name;
    unsigned char type;
};

/// The entries of a directory in the order the kernel yields them, without
/// "." and "..". Fails with `Io` naming `dir` when it cannot be opened.
Result<std::vector<DirEntry>> list_dir(const Path& dir);

/// The whole content of a file: one open, reads to end of file, one close.
Result<std::string> read_file(const Path& path);

/// Writes `content` as the whole file (created if absent, truncated).
Result<void> write_file(const Path& path, std::string_view content);

/// Whether `path` exists, following symbolic links.
bool exists(const Path& path);

/// `path` absolute, with every symbolic link, "." and ".." resolved; an `Io`
/// error naming `path` when it cannot be resolved.
Result<Path> canonical_path(const Path& path);

/// The file as UTF-8 text without surrounding white space; an empty result
/// is a `Parse` error.
Result<std::string> read_sysfs_attr(const Path& path);

/// A 16-bit hex attribute such as "0x1e3a"; absent on any failure.
std::optional<std::uint16_t> read_sysfs_hex_u16(const Path& path);

/// Whether the function's "driver" link resolves to a bound driver.
bool is_driver_bound(const Bdf& bdf);

}  // namespace smi
