#include "discovery.hpp"

#include "text.hpp"

namespace smi {

bool is_accepted_device_id(std::uint16_t device_id) { return device_id == 1 || device_id == 2; }

std::optional<PciDevice> parse_tarvina_pci_device(const Path& dir, const Bdf& bdf) {
    const auto vendor_id = read_sysfs_hex_u16(join(dir, "vendor"));
    if (vendor_id != VENDOR_ID) return std::nullopt;
    const auto device_id = read_sysfs_hex_u16(join(dir, "device"));
    if (!device_id || !is_accepted_device_id(*device_id)) return std::nullopt;
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

}  // namespace smi
