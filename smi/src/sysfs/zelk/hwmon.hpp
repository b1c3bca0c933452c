// The hardware-monitor directory of a device: sensors found by their labels.
#pragma once

#include <cstdint>
#include <string_view>

#include "../../error.hpp"
#include "../../sysfs.hpp"

namespace smi {

/// Degrees Celsius.
struct DeviceTemperature {
    double soc_peak = 0;
    double ambient = 0;

    bool operator==(const DeviceTemperature&) const = default;  // IEEE: NaN equals nothing
};

/// The file "{prefix}{N}_{suffix}" of the first "{prefix}{N}_label" in the
/// directory listing that reads `label`, such as temp2_input for the
/// temp2_label that reads PEAK.
Result<Path> find_sensor_path(const Path& hwmon, std::string_view prefix, std::string_view label,
                              std::string_view suffix);

/// A sensor file's number, in the sensor's own unit.
Result<double> read_sensor_value(const Path& path);

Result<DeviceTemperature> read_device_temperature(const Path& hwmon);
/// Watts.
Result<double> read_power_consumption(const Path& hwmon);
/// Milliwatts, from "power1_max" in microwatts.
Result<std::uint32_t> read_power_limit(const Path& hwmon);

}  // namespace smi
