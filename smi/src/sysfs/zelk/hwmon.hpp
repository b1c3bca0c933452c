// The values of the hardware-monitor sensors.
#pragma once

namespace smi {

/// Degrees Celsius.
struct DeviceTemperature {
    double soc_peak = 0;
    double ambient = 0;

    bool operator==(const DeviceTemperature&) const = default;
};

}  // namespace smi
