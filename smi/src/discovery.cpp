#include "discovery.hpp"

#include "text.hpp"

namespace smi {

std::optional<PciDevice> parse_tarvina_pci_device(const Path& dir, const Bdf& bdf) {
    const auto vendor_id = read_sysfs_hex_u16(join(dir, "vendor"));
    if (vendor_id != VENDOR_ID) return std::nullopt;
    const auto device_id = read_sysfs_hex_u16(join(dir, "device"));
    // The accepted device IDs are exactly those with a configuration.
    if (!device_id || !select_arch_config(*device_id)) return std::nullopt;
    return PciDevice{bdf, *device_id, *vendor_id};
}

Result<std::vector<PciDevice>> enumerate_tarvina_pci_devices() {
    const Path dir(PCI_DEVICES_DIR);
    const auto entries = TRY(list_dir(dir));
    std::vector<PciDevice> devices;
    for (const auto& entry : entries) {
        // Entries that are not addresses or not the accelerator's are skipped.
        const auto bdf = parse_bdf(to_text_lossy(entry.name));
        if (!bdf) continue;
        if (auto device = parse_tarvina_pci_device(join(dir, entry.name), *bdf)) devices.push_back(*device);
    }
    return devices;
}

std::vector<std::pair<Bdf, MgmtInfo>> get_mgmt_root(const ArchConfig& config) {
    const MgmtConfig& mgmt = *config.mgmt_config;
    const Path root(mgmt.root);
    std::vector<std::pair<Bdf, MgmtInfo>> nodes;
    for (const auto& entry : list_dir(root).value_or(std::vector<DirEntry>{})) {
        const auto node = mgmt.parse_mgmt_node_index(to_text_lossy(entry.name));
        if (!node) continue;
        Path path = join(root, entry.name);
        const auto busname = read_sysfs_attr(join(path, mgmt.busname_attr));
        if (!busname) continue;
        const auto bdf = parse_bdf(*busname);
        if (!bdf) continue;
        nodes.push_back({*bdf, MgmtInfo{std::move(path), *node}});
    }
    return nodes;
}

}  // namespace smi
