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

}  // namespace smi
