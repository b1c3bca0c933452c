// A version line of the driver or the firmware.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace smi {

struct VersionInfo {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::optional<std::string> metadata;    // the text after ", "
    std::optional<std::string> prerelease;  // the text after "~"

    bool operator==(const VersionInfo&) const = default;
};

}  // namespace smi
