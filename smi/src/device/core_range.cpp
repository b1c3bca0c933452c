#include "core_range.hpp"

#include <algorithm>

#include "../number.hpp"
#include "../text.hpp"

namespace smi {

// Matches ^npu(\d+)(pe(\d+)(-(\d+))?)?$ with Unicode \d and $ the end of the
// text. A digit run never needs to give back a digit (the next character
// must be "p", "-" or the end), so taking each run whole matches exactly.
// Only ASCII digits then convert; other digits make the parse fail.
static std::optional<DeviceCoreRange> match_core_range(std::string_view text) {
    auto take_digits = [&text]() -> std::optional<std::string_view> {
        const std::size_t length = decimal_digit_run(text);
        if (length == 0) return std::nullopt;
        const auto digits = text.substr(0, length);
        text.remove_prefix(length);
        return digits;
    };
    auto take = [&text](std::string_view word) {
        if (!text.starts_with(word)) return false;
        text.remove_prefix(word.size());
        return true;
    };

    if (!take("npu")) return std::nullopt;
    const auto node = take_digits();
    if (!node) return std::nullopt;
    std::optional<std::string_view> start, end;
    if (take("pe")) {
        if (!(start = take_digits())) return std::nullopt;
        if (take("-") && !(end = take_digits())) return std::nullopt;
    }
    if (!text.empty()) return std::nullopt;

    DeviceCoreRange range;
    const auto index = parse_int<std::uint8_t>(*node);
    if (!index) return std::nullopt;
    range.dev_node_index = *index;
    if (start) {
        const auto first = parse_int<std::uint32_t>(*start);
        if (!first) return std::nullopt;
        range.start_core = *first;
    }
    range.end_core = range.start_core;
    if (end) {
        const auto last = parse_int<std::uint32_t>(*end);
        if (!last) return std::nullopt;
        range.end_core = *last;
    }
    return range;
}

Result<DeviceCoreRange> parse_core_range(std::string_view text) {
    if (auto range = match_core_range(text)) return *range;
    return std::unexpected(SmiError::parse("invalid device file name: '" + std::string(text) + "'"));
}

std::string to_string(const DeviceCoreRange& range) {
    std::string text = "npu";
    text.append(std::to_string(range.dev_node_index)).append("pe").append(std::to_string(range.start_core));
    if (range.end_core != range.start_core) text.append("-").append(std::to_string(range.end_core));
    return text;
}

std::uint64_t core_count(const DeviceCoreRange& range) {
    if (range.start_core > range.end_core) return 0;
    return std::uint64_t(range.end_core) - range.start_core + 1;
}

// Appends first to last; counted, so that 4294967295 does not wrap around.
static void append_cores(std::vector<std::uint32_t>& list, std::uint32_t first, std::uint32_t last) {
    for (std::uint64_t core = first; core <= last; ++core) list.push_back(static_cast<std::uint32_t>(core));
}

std::optional<std::vector<std::uint32_t>> cores(const DeviceCoreRange& range) {
    const std::uint64_t count = core_count(range);
    if (count > MAX_LISTED_CORES) return std::nullopt;
    std::vector<std::uint32_t> list;
    list.reserve(count);
    if (count > 0) append_cores(list, range.start_core, range.end_core);
    return list;
}

}  // namespace smi

namespace smi {

void add(CoreSet& set, const DeviceCoreRange& range) {
    if (range.start_core > range.end_core) return;
    std::uint32_t first = range.start_core, last = range.end_core;
    // Merge with every interval that overlaps or touches the new one.
    std::vector<CoreSet::Interval> merged;
    merged.reserve(set.intervals.size() + 1);
    bool placed = false;
    for (const auto& interval : set.intervals) {
        if (std::uint64_t(interval.last) + 1 < first) {
            merged.push_back(interval);
        } else if (std::uint64_t(last) + 1 < interval.first) {
            if (!placed) merged.push_back({first, last}), placed = true;
            merged.push_back(interval);
        } else {
            first = std::min(first, interval.first);
            last = std::max(last, interval.last);
        }
    }
    if (!placed) merged.push_back({first, last});
    set.intervals = std::move(merged);
}

bool contains(const CoreSet& set, std::uint32_t core) {
    for (const auto& interval : set.intervals)
        if (core >= interval.first && core <= interval.last) return true;
    return false;
}

std::uint64_t size(const CoreSet& set) {
    std::uint64_t count = 0;
    for (const auto& interval : set.intervals) count += std::uint64_t(interval.last) - interval.first + 1;
    return count;
}

std::optional<std::vector<std::uint32_t>> cores(const CoreSet& set) {
    const std::uint64_t count = size(set);
    if (count > MAX_LISTED_CORES) return std::nullopt;
    std::vector<std::uint32_t> list;
    list.reserve(count);
    for (const auto& interval : set.intervals) append_cores(list, interval.first, interval.last);
    return list;
}

}  // namespace smi
