// The device record: the identity of one accelerator, filled once by
// enumeration, and the rules every device operation applies first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "arch.hpp"
#include "device/bdf.hpp"
#include "device/device_file.hpp"
#include "error.hpp"

namespace smi {

struct Device {
    std::string device_name;  // "npu{}" with the node index
    std::string uuid;
    std::string serial;
    std::uint32_t core_num = 0;
    std::int32_t numa_node = -1;
    std::uint8_t dev_node_index = 0;
    Bdf bdf;
    std::uint16_t device_id = 0;
    std::uint16_t vendor_id = 0;
};

/// "ZELK", "ZELK+" or "Unknown", by device ID.
std::string_view product_name(const Device& device);

/// The device-operation guard, then the configuration selection: fails
/// with `DeviceNotAvailable` when no driver is bound to the function, and
/// with `UnknownArch` for a device ID without configuration.
Result<const ArchConfig*> checked_config(const Device& device);

/// The device's character devices, sorted by core range.
Result<std::vector<DeviceFile>> device_files(const Device& device);

// Operations on the management node. Each applies the guard and the
// configuration selection first; the per-core maps hold only the cores that
// the device's character devices cover.

/// Whether the device reports itself alive; any failure answers false.
bool liveness(const Device& device);
Result<CoreStatusMap> core_status(const Device& device);
/// The numbers of the management node's character device.
Result<std::uint16_t> major(const Device& device);
Result<std::uint16_t> minor(const Device& device);
Result<VersionInfo> firmware_version(const Device& device);
Result<VersionInfo> driver_version(const Device& device);
/// Core clocks in megahertz.
Result<FrequencyTable> core_frequency(const Device& device);
/// The tensor-core clocks, half the core clocks.
Result<FrequencyTable> tcp_frequency(const Device& device);
Result<GovernorProfile> governor_profile(const Device& device);
Result<void> set_governor_profile(const Device& device, GovernorProfile profile);
/// Writes the limit to the node's debug directory.
Result<void> set_power_limit(const Device& device, std::uint32_t milliwatts);
Result<std::vector<ThrottleReason>> throttle_reason(const Device& device);
/// The cycle counters of every accessible core; only occupied cores are read.
Result<std::map<std::uint32_t, PePerformanceCounter>> performance_counter(const Device& device);
/// The memory of each group of fused accessible cores.
Result<std::map<DeviceCoreRange, MemoryInfo>> memory_usage(const Device& device);

// Operations on the hardware-monitor sensors.

/// The configuration and the device's hardware-monitor directory.
struct Hwmon {
    const ArchConfig* config;
    Path path;
};
Result<Hwmon> resolve_hwmon(const Device& device);
Result<DeviceTemperature> device_temperature(const Device& device);
/// Watts.
Result<double> power_consumption(const Device& device);
/// Milliwatts.
Result<std::uint32_t> power_limit(const Device& device);

}  // namespace smi
