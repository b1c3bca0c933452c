#include "smi.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "number.hpp"
#include "sysfs.hpp"

namespace smi {

// The device for one PCI function, if its identity can be read completely.
static std::optional<Device> read_device(const PciDevice& function, const MgmtInfo& node, const ArchConfig& config) {
    const MgmtConfig& mgmt = *config.mgmt_config;
    auto uuid = read_sysfs_attr(join(node.path, mgmt.uuid_attr));
    if (!uuid) return std::nullopt;
    auto serial = read_sysfs_attr(join(node.path, mgmt.serial_attr));
    if (!serial) return std::nullopt;
    const auto core_num = config.devfs_ops->get_core_count(Path(config.dev_root), node.dev_node_index);
    const auto numa_text = read_sysfs_attr(join(pci_function_dir(function.bdf), "numa_node"));
    if (!numa_text) return std::nullopt;
    const auto numa_node = parse_int<std::int32_t>(*numa_text);
    if (!numa_node) return std::nullopt;
    return Device{
        .device_name = mgmt.format_device_name(node.dev_node_index),
        .uuid = std::move(*uuid),
        .serial = std::move(*serial),
        .core_num = core_num,
        .numa_node = *numa_node,
        .dev_node_index = node.dev_node_index,
        .bdf = function.bdf,
        .device_id = function.device_id,
        .vendor_id = function.vendor_id,
    };
}

Result<std::vector<Device>> list_devices() {
    const auto functions = TRY(enumerate_tarvina_pci_devices());
    std::set<std::uint16_t> device_ids;
    for (const auto& function : functions) device_ids.insert(function.device_id);

    // Both configurations share one class directory; a later node for the
    // same address replaces an earlier one.
    std::unordered_map<Bdf, MgmtInfo> nodes;
    std::map<std::uint16_t, std::set<std::uint8_t>> served_nodes;
    for (const auto device_id : device_ids) {
        const auto config = select_arch_config(device_id);
        if (!config) continue;
        for (auto& [bdf, node] : get_mgmt_root(**config)) nodes.insert_or_assign(bdf, std::move(node));
        served_nodes[device_id] = (*config)->devfs_ops->get_dev_node_indices(Path((*config)->dev_root));
    }

    std::vector<Device> devices;
    for (const auto& function : functions) {
        const auto node = nodes.find(function.bdf);
        if (node == nodes.end()) continue;
        const auto served = served_nodes.find(function.device_id);
        if (served == served_nodes.end() || !served->second.contains(node->second.dev_node_index)) continue;
        const auto config = select_arch_config(function.device_id);
        if (!config) continue;
        if (auto device = read_device(function, node->second, **config)) devices.push_back(std::move(*device));
    }
    std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
        return std::tie(a.vendor_id, a.device_id, a.dev_node_index) < std::tie(b.vendor_id, b.device_id, b.dev_node_index);
    });
    return devices;
}

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

Result<VersionInfo> driver_info() {
    for (const auto& device : TRY(list_devices()))
        if (auto version = driver_version(device)) return version;
    return std::unexpected(SmiError::device_not_found("no available device to read driver version"));
}

}  // namespace smi
