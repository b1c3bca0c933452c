#include "hwmon.hpp"

#include "../../number.hpp"
#include "../../text.hpp"

namespace smi {

Result<Path> find_sensor_path(const Path& hwmon, std::string_view prefix, std::string_view label,
                              std::string_view suffix) {
    static constexpr std::string_view label_suffix = "_label";
    for (const auto& entry : TRY(list_dir(hwmon))) {
        const std::string name = to_text_lossy(entry.name);
        if (!name.starts_with(prefix) || name.size() < prefix.size() + label_suffix.size() ||
            !name.ends_with(label_suffix))
            continue;
        const auto text = read_sysfs_attr(join(hwmon, entry.name));
        if (!text || *text != label) continue;
        const std::string_view index = std::string_view(name).substr(
            prefix.size(), name.size() - prefix.size() - label_suffix.size());
        return join(hwmon, std::string(prefix).append(index).append("_").append(suffix));
    }
    return std::unexpected(SmiError::io_error(
        hwmon, std::string(prefix).append(" sensor '").append(label).append("' not found")));
}

Result<double> read_sensor_value(const Path& path) {
    const auto value = parse_float(TRY(read_sysfs_attr(path)));
    if (!value) return std::unexpected(SmiError::parse("invalid sensor value: " + to_text_lossy(path)));
    return *value;
}

// A sensor's reading divided by `scale`, which turns it into the unit we report.
static Result<double> read_sensor(const Path& hwmon, std::string_view prefix, std::string_view label,
                                  std::string_view suffix, double scale) {
    return TRY(read_sensor_value(TRY(find_sensor_path(hwmon, prefix, label, suffix)))) / scale;
}

Result<DeviceTemperature> read_device_temperature(const Path& hwmon) {
    // Millidegrees Celsius.
    const double soc_peak = TRY(read_sensor(hwmon, "temp", "PEAK", "input", 1000.0));
    const double ambient = TRY(read_sensor(hwmon, "temp", "AMBIENT", "input", 1000.0));
    return DeviceTemperature{soc_peak, ambient};
}

Result<double> read_power_consumption(const Path& hwmon) {
    return read_sensor(hwmon, "power", "RMS_TOTAL", "average", 1000000.0);  // microwatts
}

Result<std::uint32_t> read_power_limit(const Path& hwmon) {
    const auto text = TRY(read_sysfs_attr(join(hwmon, "power1_max")));
    const auto microwatts = parse_int<std::uint64_t>(trim_white_space(text));
    // The milliwatts must fit 32 bits.
    if (!microwatts || *microwatts >= 4294967296000)
        return std::unexpected(SmiError::parse("power1_max value: '" + text + "'"));
    return static_cast<std::uint32_t>(*microwatts / 1000);
}

}  // namespace smi
