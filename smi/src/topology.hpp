// How two accelerators are connected: the bridges above each PCI function,
// the CPU socket it is attached to, and whether both can take part in
// peer-to-peer transfers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "device.hpp"
#include "device/bdf.hpp"
#include "error.hpp"
#include "sysfs.hpp"

namespace smi {

/// The kernel's CPU directory, one "cpu{}" entry per CPU.
inline constexpr std::string_view CPU_DIR = "/sys/devices/system/cpu";

/// From the loosest relation to the closest.
enum class LinkType { Unknown, Interconnect, Cpu, Bridge, Noc };

/// "Unknown", "Interconnect", "Cpu", "Bridge" or "Noc".
std::string_view to_string(LinkType type);

/// The addresses of the bridges above the function whose directory is
/// `function_dir`, root complex first, read from its canonical path; `bdf`
/// itself is left out. Fails with `Io` naming `function_dir` when the path
/// cannot be resolved.
Result<std::vector<Bdf>> pci_ancestors(const Path& function_dir, const Bdf& bdf);
Result<std::vector<Bdf>> pci_ancestors(const Bdf& bdf);

/// The lowest CPU named by a CPU mask such as "00000000,00ff0000"; absent
/// when the mask names none or is malformed.
std::optional<std::uint64_t> lowest_cpu(std::string_view mask);

/// The physical package of the lowest CPU in the function's "local_cpus",
/// looked up under `cpu_dir`; absent when the mask names no CPU.
Result<std::optional<std::uint32_t>> pci_device_socket(const Path& function_dir, const Path& cpu_dir);
Result<std::optional<std::uint32_t>> pci_device_socket(const Bdf& bdf);

/// The closest relation between two functions; fails only when the
/// ancestors of either cannot be read.
Result<LinkType> get_link_type(const Bdf& a, const Bdf& b);

/// `get_link_type` of the two devices' functions; needs no bound driver.
Result<LinkType> device_to_device_link_type(const Device& device, const Device& other);

/// Whether both devices have their peer-to-peer device files.
bool p2p_accessible(const Device& device, const Device& other);

}  // namespace smi
