// The zelk family's conventions: one configuration per device ID, sharing
// everything but the memory description.
#pragma once

#include "../arch.hpp"

namespace smi {

std::optional<std::uint8_t> parse_mgmt_node_index(std::string_view name);
Path format_mgmt_path(std::uint8_t node);
Path format_debugfs_mgmt_path(std::uint8_t node);
std::string format_device_name(std::uint8_t node);

/// Whether the entry itself (a link not followed) is a character device.
bool is_char_device(const DirEntry& entry);

std::set<std::uint8_t> get_dev_node_indices(const Path& dev_root);
std::uint32_t get_core_count(const Path& dev_root, std::uint8_t node);
CoreSet get_accessible_core_indices(const Path& dev_root, std::uint8_t node);
std::vector<std::pair<DeviceCoreRange, Path>> get_device_files(const Path& dev_root, std::uint8_t node);
bool has_p2p_interfaces(const Path& dev_root, std::uint8_t node);

extern const MgmtConfig MGMT_CONFIG;
extern const DevfsOps DEVFS_OPS;
extern const SysfsMgmtOps SYSFS_MGMT_OPS;
extern const SysfsHwmonOps SYSFS_HWMON_OPS;
extern const MemoryDescription ZELK_MEMORY;
extern const MemoryDescription ZELK_PLUS_MEMORY;
extern const ArchConfig ZELK_ARCH_CONFIG;
extern const ArchConfig ZELK_PLUS_ARCH_CONFIG;

}  // namespace smi
