#include "pe_mgmt.hpp"

#include "../../number.hpp"
#include "../../text.hpp"

namespace smi {

std::uint64_t pe_share(const MemoryDescription& memory) {
    return (memory.dram_bytes - memory.reserved_bytes) / memory.pe_count;
}

Result<std::uint64_t> parse_hex_u64(std::string_view text) {
    const std::string_view trimmed = trim_white_space(text);
    std::string_view digits = trimmed;
    if (digits.size() > 1 && (digits.starts_with("0x") || digits.starts_with("0X"))) digits.remove_prefix(2);
    const auto value = parse_int<std::uint64_t>(digits, 16);
    if (!value) return std::unexpected(SmiError::parse("invalid hex u64: '" + std::string(trimmed) + "'"));
    return *value;
}

Result<PeClassContext> pe_class_context(const Path& mgmt_path) {
    std::string_view path = mgmt_path;
    while (path.size() > 1 && path.ends_with('/')) path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path == "/")
        return std::unexpected(SmiError::io_error(mgmt_path, "mgmt path has no parent directory"));
    const std::string_view name = path.substr(slash + 1);
    if (!is_valid_utf8(name)) return std::unexpected(SmiError::parse("missing mgmt file name"));
    static constexpr std::string_view prefix = "zelk!npu", suffix = "mgmt";
    const auto index = name.size() > prefix.size() + suffix.size() && name.starts_with(prefix) && name.ends_with(suffix)
                           ? parse_int<std::uint8_t>(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()))
                           : std::nullopt;
    if (!index) return std::unexpected(SmiError::parse("invalid mgmt name: '" + std::string(name) + "'"));
    return PeClassContext{Path(path.substr(0, slash == 0 ? 1 : slash)), *index};
}

// The "key: value" lines of a per-core attribute; the key trimmed, the
// value as written, a later key replacing an earlier one.
static std::map<std::string_view, std::string_view> key_values(std::string_view text) {
    std::map<std::string_view, std::string_view> values;
    for (const auto line : split_lines(text)) {
        const std::size_t separator = line.find(": ");
        if (separator != std::string_view::npos)
            values[trim_white_space(line.substr(0, separator))] = line.substr(separator + 2);
    }
    return values;
}

static Path pe_attr_path(const Path& class_dir, std::uint8_t node, std::uint32_t core, std::string_view attr) {
    return join(join(class_dir, "zelk!npu" + std::to_string(node) + "pe" + std::to_string(core)), attr);
}

Result<PePerformanceCounter> read_pe_performance_counter(const Path& class_dir, std::uint8_t node, std::uint32_t core,
                                                         bool occupied) {
    PePerformanceCounter counter;
    clock_gettime(CLOCK_MONOTONIC, &counter.timestamp);
    if (!occupied) return counter;
    const auto text = TRY(read_sysfs_attr(pe_attr_path(class_dir, node, core, "metrics")));
    const auto values = key_values(text);
    const auto cycles = values.find("CycleCount"), tasks = values.find("TaskCycleCount");
    if (cycles == values.end() || tasks == values.end())
        return std::unexpected(SmiError::parse("performance counter has unexpected format"));
    counter.cycle_count = TRY(parse_hex_u64(cycles->second));
    counter.task_execution_cycle = TRY(parse_hex_u64(tasks->second));
    return counter;
}

// The accessible cores ascending, or an error when they are too many to
// hold one reading each (a device file can name up to 2^32 cores).
static Result<std::vector<std::uint32_t>> listed_cores(const CoreSet& accessible) {
    auto list = cores(accessible);
    if (!list)
        return std::unexpected(
            SmiError::unexpected_value("too many accessible cores to read: " + std::to_string(size(accessible))));
    return std::move(*list);
}

static bool is_occupied(const CoreStatusMap& statuses, std::uint32_t core) {
    const auto status = statuses.find(core);
    return status != statuses.end() && status->second == CoreStatus::Occupied;
}

Result<std::map<std::uint32_t, PePerformanceCounter>> read_performance_counter(const Path& mgmt_path,
                                                                               const CoreSet& accessible,
                                                                               const CoreStatusMap& statuses) {
    const auto context = TRY(pe_class_context(mgmt_path));
    std::map<std::uint32_t, PePerformanceCounter> counters;
    for (const auto core : TRY(listed_cores(accessible)))
        counters.emplace_hint(counters.end(), core,
                              TRY(read_pe_performance_counter(context.class_dir, context.dev_node_index, core,
                                                              is_occupied(statuses, core))));
    return counters;
}

Result<MemoryInfo> read_pe_memory_info(const Path& class_dir, std::uint8_t node, std::uint32_t pe,
                                       std::optional<CoreStatus> status, const MemoryDescription& memory) {
    const MemoryInfo one_share{pe_share(memory), 0};
    if (status != CoreStatus::Occupied) return one_share;
    const auto text = TRY(read_sysfs_attr(pe_attr_path(class_dir, node, pe, "alloc_status")));
    const auto values = key_values(text);
    std::uint64_t numbers[4];
    static constexpr std::string_view keys[] = {"dram_capacity", "shared_capacity", "dram_usage", "shared_usage"};
    for (const auto key : keys)
        if (!values.contains(key)) return std::unexpected(SmiError::parse("alloc_status has unexpected format"));
    for (std::size_t i = 0; i < 4; ++i) numbers[i] = TRY(parse_hex_u64(values.at(keys[i])));
    // The sums wrap as the counters' unsigned arithmetic does.
    const MemoryInfo info{numbers[0] + numbers[1], numbers[2] + numbers[3]};
    return info.total_bytes == 0 ? one_share : info;
}

Result<std::map<DeviceCoreRange, MemoryInfo>> read_memory_usage(const Path& mgmt_path, const CoreSet& accessible,
                                                                const CoreStatusMap& statuses,
                                                                const MemoryDescription& memory) {
    const auto context = TRY(pe_class_context(mgmt_path));
    const auto pes = TRY(listed_cores(accessible));
    std::vector<MemoryInfo> infos;
    infos.reserve(pes.size());
    for (const auto pe : pes) {
        const auto status = statuses.find(pe);
        infos.push_back(TRY(read_pe_memory_info(context.class_dir, context.dev_node_index, pe,
                                                status == statuses.end() ? std::nullopt
                                                                         : std::optional(status->second),
                                                memory)));
    }
    // A group's first core owns the group's memory, a whole number of shares,
    // and takes in as many accessible cores as it has shares.
    const std::uint64_t share = pe_share(memory);
    std::map<DeviceCoreRange, MemoryInfo> groups;
    for (std::size_t i = 0; i < pes.size();) {
        const std::uint64_t group_size = std::max<std::uint64_t>(infos[i].total_bytes / share, 1);
        if (group_size > pes.size() - i)
            return std::unexpected(SmiError::unexpected_value("fusion group at PE " + std::to_string(pes[i]) +
                                                              " (size " + std::to_string(group_size) +
                                                              ") exceeds accessible cores"));
        const DeviceCoreRange range{context.dev_node_index, pes[i], pes[i + group_size - 1]};
        groups.emplace_hint(groups.end(), range, infos[i]);
        i += group_size;
    }
    return groups;
}

}  // namespace smi
