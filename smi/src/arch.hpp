// The architecture configuration: where the driver keeps its files, how it
// names them, and the operations that read and write them, as static records
// selected by PCI device ID.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/core_range.hpp"
#include "device/governor.hpp"
#include "device/performance.hpp"
#include "device/throttle.hpp"
#include "error.hpp"
#include "sysfs.hpp"
#include "sysfs/zelk/hwmon.hpp"
#include "sysfs/zelk/mgmt.hpp"
#include "sysfs/zelk/pe_mgmt.hpp"
#include "version.hpp"

namespace smi {

/// Both supported device IDs belong to the one family, rendered "ZELK".
enum class Arch { Zelk };

std::string_view to_string(Arch arch);

/// How the driver names and lays out its management nodes.
struct MgmtConfig {
    std::string_view root;  // the class directory holding one node per device
    std::string_view busname_attr;
    std::string_view uuid_attr;
    std::string_view serial_attr;
    std::optional<std::uint8_t> (*parse_mgmt_node_index)(std::string_view name);
    Path (*format_mgmt_path)(std::uint8_t node);
    Path (*format_debugfs_mgmt_path)(std::uint8_t node);
    std::string (*format_device_name)(std::uint8_t node);
};

/// The operations on the device-file directory; none reports an error.
struct DevfsOps {
    std::set<std::uint8_t> (*get_dev_node_indices)(const Path& dev_root);
    std::uint32_t (*get_core_count)(const Path& dev_root, std::uint8_t node);
    CoreSet (*get_accessible_core_indices)(const Path& dev_root, std::uint8_t node);
    std::vector<std::pair<DeviceCoreRange, Path>> (*get_device_files)(const Path& dev_root, std::uint8_t node);
    bool (*has_p2p_interfaces)(const Path& dev_root, std::uint8_t node);
};

/// The readers and writers of the management attributes; each takes the
/// directory to work in.
struct SysfsMgmtOps {
    Result<VersionInfo> (*read_firmware_version)(const Path& dir);
    Result<VersionInfo> (*read_driver_version)(const Path& dir);
    Result<std::pair<std::uint16_t, std::uint16_t>> (*read_major_minor)(const Path& dir);
    Result<CoreStatusMap> (*read_core_status)(const Path& dir);
    Result<FrequencyTable> (*read_core_frequency)(const Path& dir);
    Result<GovernorProfile> (*read_governor_profile)(const Path& dir);
    Result<void> (*write_governor_profile)(const Path& dir, GovernorProfile profile);
    bool (*read_liveness)(const Path& dir);
    Result<std::vector<ThrottleReason>> (*read_throttle_reason)(const Path& dir);
    Result<void> (*write_power_limit)(const Path& dir, std::uint32_t milliwatts);
    Result<std::map<std::uint32_t, PePerformanceCounter>> (*read_performance_counter)(
        const Path& mgmt_path, const CoreSet& accessible, const CoreStatusMap& statuses);
    Result<std::map<DeviceCoreRange, MemoryInfo>> (*read_memory_usage)(
        const Path& mgmt_path, const CoreSet& accessible, const CoreStatusMap& statuses,
        const MemoryDescription& memory);
};

/// The readers of the hardware-monitor directory.
struct SysfsHwmonOps {
    Result<DeviceTemperature> (*read_device_temperature)(const Path& hwmon);
    Result<double> (*read_power_consumption)(const Path& hwmon);  // watts
    Result<std::uint32_t> (*read_power_limit)(const Path& hwmon);  // milliwatts
};

struct ArchConfig {
    std::string_view dev_root;
    const MgmtConfig* mgmt_config;
    const DevfsOps* devfs_ops;
    const SysfsMgmtOps* sysfs_mgmt_ops;
    const SysfsHwmonOps* hwmon_ops;
    const MemoryDescription* memory;
};

/// The configuration of a PCI device ID, or `UnknownArch`.
Result<const ArchConfig*> select_arch_config(std::uint16_t device_id);

}  // namespace smi
