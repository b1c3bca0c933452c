// The library's top-level operations.
#pragma once

#include <vector>

#include "device.hpp"
#include "device/bdf.hpp"
#include "discovery.hpp"
#include "error.hpp"

namespace smi {

/// Every accelerator that has a management node and device files, sorted by
/// vendor ID, device ID and node index. Fails only when the PCI function
/// directory cannot be listed; devices that cannot be read are left out.
Result<std::vector<Device>> list_devices();

/// Every accelerator PCI function, sorted.
Result<std::vector<PciDevice>> list_pci_devices();

/// The accelerator PCI function at `bdf`, bound to a driver or not.
Result<PciDevice> get_pci_device(const Bdf& bdf);

/// The accelerator PCI functions without a bound driver, sorted.
Result<std::vector<PciDevice>> list_disabled_devices();

/// The driver's version, from the first listed device that reports it.
Result<VersionInfo> driver_info();

}  // namespace smi
