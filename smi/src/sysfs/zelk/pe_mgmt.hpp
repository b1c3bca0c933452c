// The per-core nodes beside the management node: their cycle counters and
// memory allocations.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "../../device/core_range.hpp"
#include "../../device/performance.hpp"
#include "../../error.hpp"
#include "../../sysfs.hpp"
#include "mgmt.hpp"

namespace smi {

/// The memory a group of fused cores owns and uses.
struct MemoryInfo {
    std::uint64_t total_bytes = 0;
    std::uint64_t in_use_bytes = 0;

    bool operator==(const MemoryInfo&) const = default;
};

/// The device memory that the cores share.
struct MemoryDescription {
    std::uint64_t dram_bytes;
    std::uint64_t reserved_bytes;  // not available to the cores
    std::uint64_t pe_count;        // cores sharing the rest
};

/// The memory of one core when nothing says otherwise: the rest divided evenly.
std::uint64_t pe_share(const MemoryDescription& memory);

/// A hexadecimal counter: surrounding white space, an optional "0x" or "0X",
/// an optional "+", then the digits of a 64-bit value.
Result<std::uint64_t> parse_hex_u64(std::string_view text);

/// Where the per-core nodes of a management node are: its class directory,
/// and the node index from its name "zelk!npu{N}mgmt".
struct PeClassContext {
    Path class_dir;
    std::uint8_t dev_node_index;
};
Result<PeClassContext> pe_class_context(const Path& mgmt_path);

/// One core's counters; a core that is not occupied reads as zero without a file.
Result<PePerformanceCounter> read_pe_performance_counter(const Path& class_dir, std::uint8_t node, std::uint32_t core,
                                                         bool occupied);

/// The counters of every accessible core, by core index.
Result<std::map<std::uint32_t, PePerformanceCounter>> read_performance_counter(const Path& mgmt_path,
                                                                               const CoreSet& accessible,
                                                                               const CoreStatusMap& statuses);

/// One core's allocation; a core that is not occupied owns one share.
Result<MemoryInfo> read_pe_memory_info(const Path& class_dir, std::uint8_t node, std::uint32_t pe,
                                       std::optional<CoreStatus> status, const MemoryDescription& memory);

/// The memory of each group of fused cores, keyed by the group's range. A
/// group starts at a core whose allocation spans several shares and takes in
/// the next accessible cores.
Result<std::map<DeviceCoreRange, MemoryInfo>> read_memory_usage(const Path& mgmt_path, const CoreSet& accessible,
                                                                const CoreStatusMap& statuses,
                                                                const MemoryDescription& memory);

}  // namespace smi
