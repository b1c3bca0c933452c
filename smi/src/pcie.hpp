// What the kernel publishes about an accelerator function's PCIe identity
// and link, gathered into one record: identity registers, link width and
// speed, SR-IOV counts, the root complex and the nearest upstream switch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device.hpp"
#include "device/bdf.hpp"
#include "error.hpp"

namespace smi {

struct PcieDeviceInfo {
    std::uint16_t device_id = 0;
    std::uint16_t vendor_id = 0;     // the subsystem vendor ID
    std::uint16_t subsystem_id = 0;
    std::uint8_t revision_id = 0;
    std::uint8_t class_id = 0;       // the base class, bits 16 to 23 of "class"
    std::uint8_t sub_class_id = 0;   // bits 8 to 15 of "class"

    bool operator==(const PcieDeviceInfo&) const = default;
};

struct PcieLinkInfo {
    std::uint8_t pcie_gen_status = 0;  // from the maximum link speed
    std::uint32_t link_width_status = 0;
    double link_speed_status = 0;      // GT/s
    std::uint32_t max_link_width_capability = 0;
    double max_link_speed_capability = 0;  // GT/s

    // Speeds compare as IEEE floats: a NaN speed is unequal to itself.
    bool operator==(const PcieLinkInfo&) const = default;
};

struct SriovInfo {
    std::uint32_t sriov_total_vfs = 0;
    std::uint32_t sriov_enabled_vfs = 0;

    bool operator==(const SriovInfo&) const = default;
};

struct PcieRootComplexInfo {
    std::uint16_t domain = 0;
    std::uint8_t bus = 0;

    bool operator==(const PcieRootComplexInfo&) const = default;
};

struct PcieInfo {
    PcieDeviceInfo device_info;
    PcieLinkInfo link_info;
    SriovInfo sriov_info;
    PcieRootComplexInfo root_complex_info;
    std::optional<Bdf> switch_info;  // the nearest upstream switch port; absent when there is none

    bool operator==(const PcieInfo&) const = default;
};

/// The whole text of the function's attribute `name`, untrimmed; an `Io`
/// error naming the file when it cannot be read as UTF-8 text.
Result<std::string> read_attr(const Bdf& bdf, std::string_view name);

/// The text of `read_attr`, or "0" when it fails.
std::string read_attr_or_default(const Bdf& bdf, std::string_view name);

/// A hexadecimal 16-bit attribute such as "0x1e3a"; a `Parse` error with
/// `message` when it is malformed.
Result<std::uint16_t> read_hex_u16_attr(const Bdf& bdf, std::string_view name, std::string_view message);

/// A bridge's decimal bus-number attribute ("secondary_bus_number",
/// "subordinate_bus_number"); a `Parse` error naming it when it is malformed.
Result<std::uint32_t> read_bridge_bus_number(const Bdf& bdf, std::string_view name);

/// The first of the white-space separated tokens of `text`, parsed as an
/// unsigned 32-bit decimal (T = std::uint32_t) or as a float (T = double):
/// a `Parse` error with `missing` when there is no token, with
/// `not_a_number` when it does not parse.
template <class T>
Result<T> parse_first_token(std::string_view text, std::string_view missing, std::string_view not_a_number);

/// The PCIe generation whose signalling rate is `speed` GT/s, 1 to 5.
Result<std::uint8_t> parse_pcie_gen_status(double speed);

/// The root complex named by the first component of a canonical sysfs path
/// that reads pci{domain}:{bus}, e.g. pci0000:3a.
Result<PcieRootComplexInfo> parse_root_complex(std::string_view canonical_path);

/// The addresses among the components of a canonical sysfs path, from the
/// root complex down, without `bdf` itself: the bridges above the function.
std::vector<Bdf> bridges_above(std::string_view canonical_path, const Bdf& bdf);

/// Everything the kernel publishes about the PCIe function at `bdf`.
Result<PcieInfo> read_pcie_info(const Bdf& bdf);

/// The PCIe information of the device's function; works whether or not a
/// driver is bound.
Result<PcieInfo> pcie_info(const Device& device);

}  // namespace smi
