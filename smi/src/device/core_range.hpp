// A device node index with an inclusive range of its cores, as device-file
// names write it: npu3 (core 0), npu3pe2, npu3pe0-3.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../error.hpp"

namespace smi {

struct DeviceCoreRange {
    std::uint8_t dev_node_index = 0;
    std::uint32_t start_core = 0;
    std::uint32_t end_core = 0;  // inclusive; a start above the end covers no core

    // Lexicographic by node index, first core, last core.
    auto operator<=>(const DeviceCoreRange&) const = default;
};

/// Parses a device-file name: "npu" and a node index of at most 255,
/// optionally "pe" and a first core, optionally "-" and a last core.
Result<DeviceCoreRange> parse_core_range(std::string_view text);

/// "npu{}pe{}", with "-{}" for the last core when it differs from the first.
std::string to_string(const DeviceCoreRange& range);

/// How many cores the range covers.
std::uint64_t core_count(const DeviceCoreRange& range);

/// The most cores a list of cores may hold; a longer list would only
/// exhaust memory, as a name such as npu0pe0-4294967295 would make it.
inline constexpr std::uint64_t MAX_LISTED_CORES = std::uint64_t(1) << 20;

/// The covered cores ascending; absent when there are more than MAX_LISTED_CORES.
std::optional<std::vector<std::uint32_t>> cores(const DeviceCoreRange& range);

}  // namespace smi

namespace smi {

/// A set of core indices, kept as sorted disjoint ranges so that a device
/// file covering every core of a node costs one entry, not four billion.
struct CoreSet {
    struct Interval {
        std::uint32_t first, last;  // inclusive
    };
    std::vector<Interval> intervals;
};

/// Adds the cores of `range` (none when its start exceeds its end).
void add(CoreSet& set, const DeviceCoreRange& range);
bool contains(const CoreSet& set, std::uint32_t core);
/// The number of distinct cores.
std::uint64_t size(const CoreSet& set);
/// The cores ascending; absent when there are more than MAX_LISTED_CORES.
std::optional<std::vector<std::uint32_t>> cores(const CoreSet& set);

}  // namespace smi
