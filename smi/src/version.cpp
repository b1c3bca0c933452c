#include "version.hpp"

#include "number.hpp"
#include "text.hpp"

namespace smi {

Result<VersionInfo> VersionInfo::parse(std::string_view text) {
    const std::string quoted(text);
    // The three numbers: runs of any decimal digits separated by dots. Only
    // ASCII digits convert, so other digits fail as an invalid field.
    std::string_view numbers[3];
    std::string_view rest = text;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t digits = decimal_digit_run(rest);
        if (digits == 0 || (i < 2 && rest.substr(digits, 1) != "."))
            return std::unexpected(SmiError::parse("couldn't parse version: " + quoted));
        numbers[i] = rest.substr(0, digits);
        rest.remove_prefix(i < 2 ? digits + 1 : digits);
    }
    VersionInfo version;
    std::uint32_t* fields[] = {&version.major, &version.minor, &version.patch};
    static constexpr const char* names[] = {"major", "minor", "patch"};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto value = parse_int<std::uint32_t>(numbers[i]);
        if (!value)
            return std::unexpected(
                SmiError::parse(std::string("invalid '") + names[i] + "' field in version: " + quoted));
        *fields[i] = *value;
    }
    // "~" and everything up to the first comma.
    if (rest.starts_with('~')) {
        const std::string_view tag = rest.substr(1, rest.find(',') - 1);
        if (!tag.empty()) version.prerelease = std::string(tag);
        rest.remove_prefix(1 + tag.size());
    }
    // ", " and at least one character before the end of the line.
    if (rest.starts_with(", ")) {
        const std::string_view metadata = rest.substr(2, rest.find('\n', 2) - 2);
        if (!metadata.empty()) version.metadata = std::string(metadata);
    }
    return version;
}

std::string to_string(const VersionInfo& version) {
    std::string text = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                       std::to_string(version.patch);
    if (version.prerelease) text += "(" + *version.prerelease + ")";
    if (version.metadata) text += ", " + *version.metadata;
    return text;
}

}  // namespace smi
