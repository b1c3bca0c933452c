// The management node's attributes: the values they hold, and their readers
// and writers. Each reader and writer takes the directory to work in.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "../../device/governor.hpp"
#include "../../device/throttle.hpp"
#include "../../error.hpp"
#include "../../sysfs.hpp"
#include "../../version.hpp"

namespace smi {

enum class CoreStatus { Available, Occupied };

/// Status by core index, ascending.
using CoreStatusMap = std::map<std::uint32_t, CoreStatus>;

/// Clock frequency in megahertz by core index, ascending.
using FrequencyTable = std::map<std::uint32_t, std::uint32_t>;

/// Whether "device_state" reads exactly 0; false when it cannot be read.
bool read_liveness(const Path& dir);

/// "pe_occupancy": one line per core, 0 for available and 1 for occupied.
Result<CoreStatusMap> read_core_status(const Path& dir);

/// "dev": the node's character-device numbers as "major:minor".
Result<std::pair<std::uint16_t, std::uint16_t>> read_major_minor(const Path& dir);

/// "fw_version" and "version": the firmware's and the driver's version lines.
Result<VersionInfo> read_firmware_version(const Path& dir);
Result<VersionInfo> read_driver_version(const Path& dir);

/// "npu_clocks": one line per core, the clock in hertz.
Result<FrequencyTable> read_core_frequency(const Path& dir);

/// One line of "npu_clocks": (core, megahertz), the hertz rounded down.
Result<std::pair<std::uint32_t, std::uint32_t>> parse_frequency_line(std::uint32_t number, std::string_view line);

/// "npu_governor", recognised by how its first line ends.
Result<GovernorProfile> read_governor_profile(const Path& dir);
Result<void> write_governor_profile(const Path& dir, GovernorProfile profile);

/// "throttle_reason": a hexadecimal mask, the last word of the file.
Result<std::vector<ThrottleReason>> read_throttle_reason(const Path& dir);

/// "power_limit_mw" of the node's debug directory.
Result<void> write_power_limit(const Path& dir, std::uint32_t milliwatts);

}  // namespace smi
