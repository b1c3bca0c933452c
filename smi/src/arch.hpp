// The architecture configuration: where the driver keeps its files, how it
// names them, and the operations that read and write them, as static records
// selected by PCI device ID.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/core_range.hpp"
#include "error.hpp"
#include "sysfs.hpp"

namespace smi {

/// Both supported device IDs belong to the one family, rendered "ZELK".
enum class Arch { Zelk };

std::string_view to_string(Arch arch);

/// How the driver names and lays out its management nodes.
struct MgmtConfig {
    std::string_view root;  // the class directory holding one node per device
    std::string_view busname_attr;
    std::string_view uuid_attr;
    std::string_view serial_attr;
    std::optional<std::uint8_t> (*parse_mgmt_node_index)(std::string_view name);
    Path (*format_mgmt_path)(std::uint8_t node);
    Path (*format_debugfs_mgmt_path)(std::uint8_t node);
    std::string (*format_device_name)(std::uint8_t node);
};

/// The operations on the device-file directory; none reports an error.
struct DevfsOps {
    std::set<std::uint8_t> (*get_dev_node_indices)(const Path& dev_root);
    std::uint32_t (*get_core_count)(const Path& dev_root, std::uint8_t node);
    CoreSet (*get_accessible_core_indices)(const Path& dev_root, std::uint8_t node);
    std::vector<std::pair<DeviceCoreRange, Path>> (*get_device_files)(const Path& dev_root, std::uint8_t node);
    bool (*has_p2p_interfaces)(const Path& dev_root, std::uint8_t node);
};

/// The device memory that the per-core memory readers divide among the cores.
struct MemoryDescription {
    std::uint64_t dram_bytes;
    std::uint64_t reserved_bytes;
    std::uint64_t pe_count;
};

struct ArchConfig {
    std::string_view dev_root;
    const MgmtConfig* mgmt_config;
    const DevfsOps* devfs_ops;
    const MemoryDescription* memory;
};

/// The configuration of a PCI device ID, or `UnknownArch`.
Result<const ArchConfig*> select_arch_config(std::uint16_t device_id);

}  // namespace smi
