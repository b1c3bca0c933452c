#include "device.hpp"

#include "sysfs.hpp"

namespace smi {

std::string_view product_name(const Device& device) {
    switch (device.device_id) {
    case 1: return "ZELK";
    case 2: return "ZELK+";
    default: return "Unknown";
    }
}

Result<const ArchConfig*> checked_config(const Device& device) {
    if (!is_driver_bound(device.bdf)) return std::unexpected(SmiError::device_not_available(to_string(device.bdf)));
    return select_arch_config(device.device_id);
}

Result<std::vector<DeviceFile>> device_files(const Device& device) {
    const ArchConfig* config = TRY(checked_config(device));
    std::vector<DeviceFile> files;
    for (auto& [range, path] : config->devfs_ops->get_device_files(Path(config->dev_root), device.dev_node_index))
        files.push_back({range, std::move(path)});
    return files;
}

// The node's management directory, after the guard and the configuration
// selection, and the configuration that reads it.
namespace {
struct MgmtNode {
    const ArchConfig* config;
    Path path;
};
}  // namespace

static Result<MgmtNode> mgmt_node(const Device& device) {
    const ArchConfig* config = TRY(checked_config(device));
    return MgmtNode{config, config->mgmt_config->format_mgmt_path(device.dev_node_index)};
}

// What the configuration's management reader `read` gives for the node.
template <class T>
static Result<T> read_mgmt(const Device& device, Result<T> (*SysfsMgmtOps::*read)(const Path&)) {
    const auto node = TRY(mgmt_node(device));
    return (node.config->sysfs_mgmt_ops->*read)(node.path);
}

// The entries of a per-core map whose cores have a device file.
template <class V>
static std::map<std::uint32_t, V> accessible_only(const Device& device, const ArchConfig& config,
                                                  std::map<std::uint32_t, V> entries) {
    const CoreSet cores = config.devfs_ops->get_accessible_core_indices(Path(config.dev_root), device.dev_node_index);
    std::erase_if(entries, [&](const auto& entry) { return !contains(cores, entry.first); });
    return entries;
}

bool liveness(const Device& device) {
    const auto node = mgmt_node(device);
    return node && node->config->sysfs_mgmt_ops->read_liveness(node->path);
}

Result<CoreStatusMap> core_status(const Device& device) {
    const auto node = TRY(mgmt_node(device));
    auto statuses = TRY(node.config->sysfs_mgmt_ops->read_core_status(node.path));
    return accessible_only(device, *node.config, std::move(statuses));
}

Result<std::uint16_t> major(const Device& device) {
    return TRY(read_mgmt(device, &SysfsMgmtOps::read_major_minor)).first;
}

Result<std::uint16_t> minor(const Device& device) {
    return TRY(read_mgmt(device, &SysfsMgmtOps::read_major_minor)).second;
}

Result<VersionInfo> firmware_version(const Device& device) {
    return read_mgmt(device, &SysfsMgmtOps::read_firmware_version);
}

Result<VersionInfo> driver_version(const Device& device) { return read_mgmt(device, &SysfsMgmtOps::read_driver_version); }

Result<FrequencyTable> core_frequency(const Device& device) {
    const auto node = TRY(mgmt_node(device));
    auto table = TRY(node.config->sysfs_mgmt_ops->read_core_frequency(node.path));
    return accessible_only(device, *node.config, std::move(table));
}

Result<FrequencyTable> tcp_frequency(const Device& device) {
    auto table = TRY(core_frequency(device));
    for (auto& [core, megahertz] : table) megahertz >>= 1;
    return table;
}

Result<GovernorProfile> governor_profile(const Device& device) {
    return read_mgmt(device, &SysfsMgmtOps::read_governor_profile);
}

Result<void> set_governor_profile(const Device& device, GovernorProfile profile) {
    const auto node = TRY(mgmt_node(device));
    return node.config->sysfs_mgmt_ops->write_governor_profile(node.path, profile);
}

Result<void> set_power_limit(const Device& device, std::uint32_t milliwatts) {
    const ArchConfig* config = TRY(checked_config(device));
    const Path debug_dir = config->mgmt_config->format_debugfs_mgmt_path(device.dev_node_index);
    return config->sysfs_mgmt_ops->write_power_limit(debug_dir, milliwatts);
}

Result<std::vector<ThrottleReason>> throttle_reason(const Device& device) {
    return read_mgmt(device, &SysfsMgmtOps::read_throttle_reason);
}

// The per-core readings first take the core status, which applies the guard
// itself, and only then the guard and the configuration for their own reads.
namespace {
struct PeReading {
    CoreStatusMap statuses;
    const ArchConfig* config;
    Path path;
    CoreSet accessible;
};
}  // namespace

static Result<PeReading> pe_reading(const Device& device) {
    auto statuses = TRY(core_status(device));
    auto node = TRY(mgmt_node(device));
    auto accessible =
        node.config->devfs_ops->get_accessible_core_indices(Path(node.config->dev_root), device.dev_node_index);
    return PeReading{std::move(statuses), node.config, std::move(node.path), std::move(accessible)};
}

Result<std::map<std::uint32_t, PePerformanceCounter>> performance_counter(const Device& device) {
    const auto pe = TRY(pe_reading(device));
    return pe.config->sysfs_mgmt_ops->read_performance_counter(pe.path, pe.accessible, pe.statuses);
}

Result<std::map<DeviceCoreRange, MemoryInfo>> memory_usage(const Device& device) {
    const auto pe = TRY(pe_reading(device));
    return pe.config->sysfs_mgmt_ops->read_memory_usage(pe.path, pe.accessible, pe.statuses, *pe.config->memory);
}

Result<Hwmon> resolve_hwmon(const Device& device) {
    const ArchConfig* config = TRY(checked_config(device));
    const Path dir = join(pci_function_dir(device.bdf), "hwmon");
    const auto entries = TRY(list_dir(dir));
    if (entries.empty()) return std::unexpected(SmiError::io_error(dir, "no hwmon directory found"));
    return Hwmon{config, join(dir, entries.front().name)};
}

// What the configuration's hardware-monitor reader `read` gives, the
// directory being resolved again on every call.
template <class T>
static Result<T> read_hwmon(const Device& device, Result<T> (*SysfsHwmonOps::*read)(const Path&)) {
    const auto hwmon = TRY(resolve_hwmon(device));
    return (hwmon.config->hwmon_ops->*read)(hwmon.path);
}

Result<DeviceTemperature> device_temperature(const Device& device) {
    return read_hwmon(device, &SysfsHwmonOps::read_device_temperature);
}

Result<double> power_consumption(const Device& device) {
    return read_hwmon(device, &SysfsHwmonOps::read_power_consumption);
}

Result<std::uint32_t> power_limit(const Device& device) { return read_hwmon(device, &SysfsHwmonOps::read_power_limit); }

}  // namespace smi
