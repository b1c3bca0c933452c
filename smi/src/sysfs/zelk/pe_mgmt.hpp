// The values the per-core nodes' attributes hold.
#pragma once

#include <cstdint>

namespace smi {

/// The memory a group of fused cores owns and uses.
struct MemoryInfo {
    std::uint64_t total_bytes = 0;
    std::uint64_t in_use_bytes = 0;

    bool operator==(const MemoryInfo&) const = default;
};

}  // namespace smi
