#include "zelk.hpp"

#include <dirent.h>

#include <algorithm>

#include "../number.hpp"
#include "../text.hpp"

namespace smi {

static constexpr std::string_view MGMT_ROOT = "/sys/class/zelk_mgmt";
static constexpr std::string_view DEBUGFS_ROOT = "/sys/kernel/debug/zelk";

// Matches ^zelk!npu(\d+)mgmt$ (Unicode \d, $ the end of the text); the index
// must then be ASCII digits of at most 255.
std::optional<std::uint8_t> parse_mgmt_node_index(std::string_view name) {
    static constexpr std::string_view prefix = "zelk!npu", suffix = "mgmt";
    if (!name.starts_with(prefix)) return std::nullopt;
    name.remove_prefix(prefix.size());
    const std::size_t digits = decimal_digit_run(name);
    if (digits == 0 || name.substr(digits) != suffix) return std::nullopt;
    return parse_int<std::uint8_t>(name.substr(0, digits));
}

Path format_mgmt_path(std::uint8_t node) { return join(MGMT_ROOT, "zelk!npu" + std::to_string(node) + "mgmt"); }

Path format_debugfs_mgmt_path(std::uint8_t node) { return join(DEBUGFS_ROOT, "mgmt" + std::to_string(node)); }

std::string format_device_name(std::uint8_t node) { return "npu" + std::to_string(node); }

bool is_char_device(const DirEntry& entry) { return entry.type == DT_CHR; }

// The entries of dev_root that are character devices named as core ranges,
// with their ranges; nothing when the directory cannot be listed.
static std::vector<std::pair<DeviceCoreRange, const DirEntry*>> device_file_entries(
    const std::vector<DirEntry>& entries) {
    std::vector<std::pair<DeviceCoreRange, const DirEntry*>> files;
    for (const auto& entry : entries) {
        if (!is_char_device(entry)) continue;
        if (auto range = parse_core_range(to_text_lossy(entry.name))) files.emplace_back(*range, &entry);
    }
    return files;
}

std::set<std::uint8_t> get_dev_node_indices(const Path& dev_root) {
    std::set<std::uint8_t> nodes;
    const auto entries = list_dir(dev_root).value_or(std::vector<DirEntry>{});
    for (const auto& [range, entry] : device_file_entries(entries)) nodes.insert(range.dev_node_index);
    return nodes;
}

std::uint32_t get_core_count(const Path& dev_root, std::uint8_t node) {
    const std::string prefix = "npu" + std::to_string(node) + "pe";
    std::uint32_t count = 0;
    for (const auto& entry : list_dir(dev_root).value_or(std::vector<DirEntry>{})) {
        const std::string name = to_text_lossy(entry.name);
        if (name.size() > prefix.size() && name.starts_with(prefix) &&
            parse_int<std::uint32_t>(std::string_view(name).substr(prefix.size())))
            ++count;
    }
    return count;
}

CoreSet get_accessible_core_indices(const Path& dev_root, std::uint8_t node) {
    CoreSet cores;
    const auto entries = list_dir(dev_root).value_or(std::vector<DirEntry>{});
    for (const auto& [range, entry] : device_file_entries(entries))
        if (range.dev_node_index == node) add(cores, range);
    return cores;
}

std::vector<std::pair<DeviceCoreRange, Path>> get_device_files(const Path& dev_root, std::uint8_t node) {
    std::vector<std::pair<DeviceCoreRange, Path>> files;
    const auto entries = list_dir(dev_root).value_or(std::vector<DirEntry>{});
    for (const auto& [range, entry] : device_file_entries(entries))
        if (range.dev_node_index == node) files.emplace_back(range, join(dev_root, entry->name));
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return files;
}

bool has_p2p_interfaces(const Path& dev_root, std::uint8_t node) {
    const std::string npu = "npu" + std::to_string(node);
    if (!exists(join(dev_root, npu + "dmar"))) return false;
    for (int channel = 0; channel < 8; ++channel)
        if (!exists(join(dev_root, npu + "ch" + std::to_string(channel) + "r"))) return false;
    return true;
}

const MgmtConfig MGMT_CONFIG = {
    .root = MGMT_ROOT,
    .busname_attr = "busname",
    .uuid_attr = "device_uuid",
    .serial_attr = "device_sn",
    .parse_mgmt_node_index = parse_mgmt_node_index,
    .format_mgmt_path = format_mgmt_path,
    .format_debugfs_mgmt_path = format_debugfs_mgmt_path,
    .format_device_name = format_device_name,
};

const DevfsOps DEVFS_OPS = {
    .get_dev_node_indices = get_dev_node_indices,
    .get_core_count = get_core_count,
    .get_accessible_core_indices = get_accessible_core_indices,
    .get_device_files = get_device_files,
    .has_p2p_interfaces = has_p2p_interfaces,
};

const SysfsMgmtOps SYSFS_MGMT_OPS = {
    .read_firmware_version = read_firmware_version,
    .read_driver_version = read_driver_version,
    .read_major_minor = read_major_minor,
    .read_core_status = read_core_status,
    .read_core_frequency = read_core_frequency,
    .read_governor_profile = read_governor_profile,
    .write_governor_profile = write_governor_profile,
    .read_liveness = read_liveness,
    .read_throttle_reason = read_throttle_reason,
    .write_power_limit = write_power_limit,
    .read_performance_counter = read_performance_counter,
    .read_memory_usage = read_memory_usage,
};

const SysfsHwmonOps SYSFS_HWMON_OPS = {
    .read_device_temperature = read_device_temperature,
    .read_power_consumption = read_power_consumption,
    .read_power_limit = read_power_limit,
};

const MemoryDescription ZELK_MEMORY = {.dram_bytes = 51539607552, .reserved_bytes = 536870912, .pe_count = 8};
const MemoryDescription ZELK_PLUS_MEMORY = {.dram_bytes = 77309411328, .reserved_bytes = 536870912, .pe_count = 8};

// The two configurations differ only in their memory.
const ArchConfig ZELK_ARCH_CONFIG = {
    .dev_root = "/dev/zelk",
    .mgmt_config = &MGMT_CONFIG,
    .devfs_ops = &DEVFS_OPS,
    .sysfs_mgmt_ops = &SYSFS_MGMT_OPS,
    .hwmon_ops = &SYSFS_HWMON_OPS,
    .memory = &ZELK_MEMORY,
};
const ArchConfig ZELK_PLUS_ARCH_CONFIG = {
    .dev_root = "/dev/zelk",
    .mgmt_config = &MGMT_CONFIG,
    .devfs_ops = &DEVFS_OPS,
    .sysfs_mgmt_ops = &SYSFS_MGMT_OPS,
    .hwmon_ops = &SYSFS_HWMON_OPS,
    .memory = &ZELK_PLUS_MEMORY,
};

}  // namespace smi
