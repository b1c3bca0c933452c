#include "mgmt.hpp"

#include "../../number.hpp"
#include "../../text.hpp"

namespace smi {

bool read_liveness(const Path& dir) {
    const auto state = read_sysfs_attr(join(dir, "device_state"));
    return state && trim_white_space(*state) == "0";
}

Result<CoreStatusMap> read_core_status(const Path& dir) {
    const auto text = TRY(read_sysfs_attr(join(dir, "pe_occupancy")));
    CoreStatusMap statuses;
    std::uint32_t core = 0;
    for (const auto line : split_lines(text)) {
        const auto status = trim_white_space(line);
        if (status == "0")
            statuses.emplace_hint(statuses.end(), core, CoreStatus::Available);
        else if (status == "1")
            statuses.emplace_hint(statuses.end(), core, CoreStatus::Occupied);
        else
            return std::unexpected(SmiError::parse("invalid pe_occupancy status '" + std::string(status) +
                                                   "' for core " + std::to_string(core)));
        ++core;
    }
    return statuses;
}

Result<std::pair<std::uint16_t, std::uint16_t>> read_major_minor(const Path& dir) {
    const auto text = TRY(read_sysfs_attr(join(dir, "dev")));
    // Two runs of decimal digits around one colon, and nothing else.
    const std::string_view major = std::string_view(text).substr(0, decimal_digit_run(text));
    const std::string_view rest = std::string_view(text).substr(major.size());
    const std::string_view minor = rest.substr(rest.starts_with(':') ? 1 : rest.size());
    if (major.empty() || !rest.starts_with(':') || minor.empty() || decimal_digit_run(minor) != minor.size())
        return std::unexpected(SmiError::parse("unexpected dev format: '" + text + "'"));
    const auto major_number = parse_int<std::uint16_t>(major), minor_number = parse_int<std::uint16_t>(minor);
    if (!major_number || !minor_number)
        return std::unexpected(SmiError::parse("invalid major/minor in dev: '" + text + "'"));
    return std::pair{*major_number, *minor_number};
}

static Result<VersionInfo> read_version(const Path& path) {
    return VersionInfo::parse(TRY(read_sysfs_attr(path)));
}

Result<VersionInfo> read_firmware_version(const Path& dir) { return read_version(join(dir, "fw_version")); }

Result<VersionInfo> read_driver_version(const Path& dir) { return read_version(join(dir, "version")); }

Result<std::pair<std::uint32_t, std::uint32_t>> parse_frequency_line(std::uint32_t number, std::string_view line) {
    const auto hertz = parse_int<std::uint32_t>(trim_white_space(line));
    if (!hertz)
        return std::unexpected(SmiError::parse("invalid frequency '" + std::string(line) + "' for core " +
                                               std::to_string(number)));
    return std::pair{number, *hertz / 1000000};
}

Result<FrequencyTable> read_core_frequency(const Path& dir) {
    const auto text = TRY(read_sysfs_attr(join(dir, "npu_clocks")));
    FrequencyTable table;
    std::uint32_t number = 0;
    for (const auto line : split_lines(text)) table.insert(table.end(), TRY(parse_frequency_line(number++, line)));
    return table;
}

// The profile as the attribute spells it.
static std::string_view attribute_text(GovernorProfile profile) {
    return profile == GovernorProfile::Performance ? "performance" : "powersave";
}

Result<GovernorProfile> read_governor_profile(const Path& dir) {
    const auto text = TRY(read_sysfs_attr(join(dir, "npu_governor")));
    const auto lines = split_lines(text);
    const auto first = trim_white_space(lines.empty() ? std::string_view() : lines.front());
    for (const auto profile : {GovernorProfile::Performance, GovernorProfile::PowerSave})
        if (first.ends_with(attribute_text(profile))) return profile;
    return std::unexpected(SmiError::parse("unknown governor profile: '" + std::string(first) + "'"));
}

Result<void> write_governor_profile(const Path& dir, GovernorProfile profile) {
    return write_file(join(dir, "npu_governor"), std::string(attribute_text(profile)) + "\n");
}

Result<std::vector<ThrottleReason>> read_throttle_reason(const Path& dir) {
    const auto text = TRY(read_sysfs_attr(join(dir, "throttle_reason")));
    const auto words = split_white_space(text);
    const std::string_view word = words.empty() ? std::string_view(text) : words.back();
    const auto mask = parse_int<std::uint32_t>(strip_hex_prefix(word), 16);
    if (!mask) return std::unexpected(SmiError::parse("throttle_reason hex value: " + std::string(word)));
    return ThrottleReason::from_bits(*mask);
}

Result<void> write_power_limit(const Path& dir, std::uint32_t milliwatts) {
    return write_file(join(dir, "power_limit_mw"), std::to_string(milliwatts) + "\n");
}

}  // namespace smi
