// A version line of the driver or the firmware, such as "1.2.3~rc1, 4a5b6c".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "error.hpp"

namespace smi {

struct VersionInfo {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::optional<std::string> metadata;    // the text after ", "; never empty
    std::optional<std::string> prerelease;  // the text after "~"; never empty

    /// Reads "MAJOR.MINOR.PATCH" with an optional "~PRERELEASE" (up to a
    /// comma) and an optional ", METADATA" (up to the end of the line), from
    /// the start of `text`; whatever follows is ignored.
    static Result<VersionInfo> parse(std::string_view text);

    bool operator==(const VersionInfo&) const = default;
};

/// "1.2.3", with "(PRERELEASE)" after the numbers and ", METADATA" at the end when present.
std::string to_string(const VersionInfo& version);

}  // namespace smi
