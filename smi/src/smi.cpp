#include "smi.hpp"

#include <algorithm>

#include "sysfs.hpp"

namespace smi {

Result<std::vector<PciDevice>> list_pci_devices() {
    auto devices = TRY(enumerate_tarvina_pci_devices());
    std::sort(devices.begin(), devices.end());
    return devices;
}

Result<PciDevice> get_pci_device(const Bdf& bdf) {
    if (auto device = parse_tarvina_pci_device(pci_function_dir(bdf), bdf)) return *device;
    return std::unexpected(SmiError::device_not_found("PCI device " + to_string(bdf) + " not found"));
}

Result<std::vector<PciDevice>> list_disabled_devices() {
    auto devices = TRY(list_pci_devices());
    std::erase_if(devices, [](const PciDevice& device) { return is_driver_bound(device.bdf); });
    return devices;
}

}  // namespace smi
