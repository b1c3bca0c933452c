// Discovery of the accelerator's PCI functions in the kernel's PCI function
// directory.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <tuple>
#include <vector>

#include "arch.hpp"
#include "device/bdf.hpp"
#include "error.hpp"
#include "sysfs.hpp"

namespace smi {

/// The accelerator vendor's PCI vendor ID.
inline constexpr std::uint16_t VENDOR_ID = 0x1e3a;

/// One PCI function of the accelerator.
struct PciDevice {
    Bdf bdf;
    std::uint16_t device_id = 0;
    std::uint16_t vendor_id = 0;

    // Lists of functions are ordered by vendor ID, then device ID, then address.
    friend auto operator<=>(const PciDevice& a, const PciDevice& b) {
        return std::tie(a.vendor_id, a.device_id, a.bdf) <=> std::tie(b.vendor_id, b.device_id, b.bdf);
    }
    friend bool operator==(const PciDevice&, const PciDevice&) = default;
};

/// The function in `dir` if its vendor and device IDs are the accelerator's.
std::optional<PciDevice> parse_tarvina_pci_device(const Path& dir, const Bdf& bdf);

/// The accelerator's functions in directory order; fails only when the PCI
/// function directory cannot be listed.
Result<std::vector<PciDevice>> enumerate_tarvina_pci_devices();

/// One management node of the driver's class directory.
struct MgmtInfo {
    Path path;  // the class directory joined with the node's name
    std::uint8_t dev_node_index = 0;
};

/// The management nodes of the configuration's class directory, each with
/// the address its "busname" names, in directory order; unreadable or
/// malformed nodes are left out.
std::vector<std::pair<Bdf, MgmtInfo>> get_mgmt_root(const ArchConfig& config);

}  // namespace smi
