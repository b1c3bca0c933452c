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

}  // namespace smi
