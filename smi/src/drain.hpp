// Enabling and disabling an accelerator PCI function by binding or
// unbinding its kernel driver through the kernel's PCI binding files.
#pragma once

#include <string_view>

#include "device/bdf.hpp"
#include "discovery.hpp"
#include "error.hpp"
#include "sysfs.hpp"

namespace smi {

/// The file that asks the kernel to probe drivers for the function named in it.
inline constexpr std::string_view DRIVERS_PROBE = "/sys/bus/pci/drivers_probe";

/// The function's directory; `DeviceNotFound` when it does not exist.
Result<Path> device_dir(const Bdf& bdf);

/// Asks the kernel to bind a driver to the function unless one is bound;
/// `DeviceNotAvailable` when none takes it.
Result<void> enable(const PciDevice& device);

/// Unbinds the function from its driver, if it has one.
Result<void> disable(const PciDevice& device);

}  // namespace smi
