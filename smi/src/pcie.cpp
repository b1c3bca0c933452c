#include "pcie.hpp"

#include "number.hpp"
#include "sysfs.hpp"
#include "text.hpp"

namespace smi {

namespace {

// The non-empty components of a path, from the root down.
std::vector<std::string_view> path_components(std::string_view path) {
    std::vector<std::string_view> components;
    while (!path.empty()) {
        const auto end = path.find('/');
        const auto component = path.substr(0, end);
        if (!component.empty()) components.push_back(component);
        path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    }
    return components;
}

template <class T>
Result<T> read_hex_attr(const Bdf& bdf, std::string_view name, std::string_view message) {
    const auto text = TRY(read_attr(bdf, name));
    if (const auto value = parse_int<T>(strip_hex_prefix(trim_white_space(text)), 16)) return *value;
    return std::unexpected(SmiError::parse(std::string(message)));
}

template <class T> std::optional<T> parse_token(std::string_view token);
template <> std::optional<std::uint32_t> parse_token(std::string_view token) {
    return parse_int<std::uint32_t>(token, 10);
}
template <> std::optional<double> parse_token(std::string_view token) { return parse_float(token); }

template <class T>
Result<T> read_first_token(const Bdf& bdf, std::string_view name, std::string_view missing,
                           std::string_view not_a_number) {
    const auto text = TRY(read_attr(bdf, name));
    return parse_first_token<T>(text, missing, not_a_number);
}

Result<std::uint32_t> parse_count(std::string_view text, std::string_view message) {
    if (const auto value = parse_int<std::uint32_t>(trim_white_space(text), 10)) return *value;
    return std::unexpected(SmiError::parse(std::string(message)));
}

// The nearest bridge that spans more than one bus below it. A switch's
// downstream port spans only the bus of its device, so the walk goes on to
// the upstream port; a root port above a lone endpoint does not match.
Result<std::optional<Bdf>> find_switch(const std::vector<Bdf>& bridges) {
    for (auto bridge = bridges.rbegin(); bridge != bridges.rend(); ++bridge) {
        // A bridge whose bus numbers cannot be read is not judged, and skipped.
        const auto secondary = read_bridge_bus_number(*bridge, "secondary_bus_number");
        if (!secondary && secondary.error().kind == SmiError::Kind::Io) continue;
        if (!secondary) return std::unexpected(secondary.error());
        const auto subordinate = read_bridge_bus_number(*bridge, "subordinate_bus_number");
        if (!subordinate && subordinate.error().kind == SmiError::Kind::Io) continue;
        if (!subordinate) return std::unexpected(subordinate.error());
        if (*subordinate > *secondary) return *bridge;
    }
    return std::nullopt;
}

}  // namespace

Result<std::string> read_attr(const Bdf& bdf, std::string_view name) {
    const Path path = join(pci_function_dir(bdf), name);
    auto content = TRY(read_file(path));
    if (!is_valid_utf8(content))
        return std::unexpected(SmiError::io_error(path, "stream did not contain valid UTF-8"));
    return content;
}

std::string read_attr_or_default(const Bdf& bdf, std::string_view name) {
    // Functions without SR-IOV have no such files; any failure counts as none.
    return read_attr(bdf, name).value_or("0");
}

Result<std::uint16_t> read_hex_u16_attr(const Bdf& bdf, std::string_view name, std::string_view message) {
    return read_hex_attr<std::uint16_t>(bdf, name, message);
}

Result<std::uint32_t> read_bridge_bus_number(const Bdf& bdf, std::string_view name) {
    // The kernel writes bus numbers in decimal.
    return parse_count(TRY(read_attr(bdf, name)), "couldn't parse " + std::string(name) + " to u32");
}

template <class T>
Result<T> parse_first_token(std::string_view text, std::string_view missing, std::string_view not_a_number) {
    // The kernel writes a unit after the number, as in "8.0 GT/s PCIe".
    const auto tokens = split_white_space(text);
    if (tokens.empty()) return std::unexpected(SmiError::parse(std::string(missing)));
    if (const auto value = parse_token<T>(tokens.front())) return *value;
    return std::unexpected(SmiError::parse(std::string(not_a_number)));
}

template Result<std::uint32_t> parse_first_token<std::uint32_t>(std::string_view, std::string_view,
                                                                 std::string_view);
template Result<double> parse_first_token<double>(std::string_view, std::string_view, std::string_view);

Result<std::uint8_t> parse_pcie_gen_status(double speed) {
    // The signalling rate of each generation, in GT/s, compared exactly.
    constexpr double RATES[] = {2.5, 5.0, 8.0, 16.0, 32.0};
    for (std::uint8_t gen = 1; gen <= std::size(RATES); ++gen)
        if (speed == RATES[gen - 1]) return gen;
    return std::unexpected(SmiError::parse("Invalid PCIe link speed: " + format_float(speed)));
}

Result<PcieRootComplexInfo> parse_root_complex(std::string_view canonical_path) {
    for (const auto component : path_components(canonical_path)) {
        // Bytes that are not text cannot pass the hex parses either.
        if (component.size() < 3 || !component.starts_with("pci")) continue;
        const auto rest = component.substr(3);
        const auto colon = rest.find(':');
        if (colon == std::string_view::npos) continue;
        const auto domain = parse_int<std::uint16_t>(rest.substr(0, colon), 16);
        const auto bus = parse_int<std::uint8_t>(rest.substr(colon + 1), 16);
        if (domain && bus) return PcieRootComplexInfo{*domain, *bus};
    }
    return std::unexpected(SmiError::parse("couldn't find root complex"));
}

std::vector<Bdf> bridges_above(std::string_view canonical_path, const Bdf& bdf) {
    std::vector<Bdf> bridges;
    for (const auto component : path_components(canonical_path)) {
        // Components such as "devices" or "pci0000:3a" are not addresses.
        const auto address = parse_bdf(component);
        if (address && *address != bdf) bridges.push_back(*address);
    }
    return bridges;
}

Result<PcieInfo> read_pcie_info(const Bdf& bdf) {
    // Attributes are read through the uncanonical directory; the canonical
    // path tells the hierarchy above the function.
    const Path canonical = TRY(canonical_path(pci_function_dir(bdf)));
    PcieInfo info;

    auto& device = info.device_info;
    device.device_id = TRY(read_hex_u16_attr(bdf, "device", "couldn't parse device ID to u16"));
    device.vendor_id = TRY(read_hex_u16_attr(bdf, "subsystem_vendor", "couldn't parse subsystem vendor ID to u16"));
    device.subsystem_id =
        TRY(read_hex_u16_attr(bdf, "subsystem_device", "couldn't parse subsystem device ID to u16"));
    device.revision_id = TRY(read_hex_attr<std::uint8_t>(bdf, "revision", "couldn't parse revision ID to u8"));
    // Base class, sub-class and programming interface, from the top byte down.
    const auto class_code = TRY(read_hex_attr<std::uint32_t>(bdf, "class", "couldn't parse class ID to u32"));
    device.class_id = class_code >> 16 & 0xff;
    device.sub_class_id = class_code >> 8 & 0xff;

    auto& link = info.link_info;
    link.link_width_status = TRY(read_first_token<std::uint32_t>(
        bdf, "current_link_width", "couldn't parse current link width", "couldn't parse current link width to number"));
    link.link_speed_status = TRY(read_first_token<double>(
        bdf, "current_link_speed", "couldn't parse current link speed", "couldn't parse current link speed to number"));
    link.max_link_width_capability = TRY(read_first_token<std::uint32_t>(
        bdf, "max_link_width", "couldn't parse max link width", "couldn't parse max link width to number"));
    link.max_link_speed_capability = TRY(read_first_token<double>(
        bdf, "max_link_speed", "couldn't parse max link speed", "couldn't parse max link speed to number"));
    link.pcie_gen_status = TRY(parse_pcie_gen_status(link.max_link_speed_capability));

    const auto total_vfs = read_attr_or_default(bdf, "sriov_totalvfs");
    const auto enabled_vfs = read_attr_or_default(bdf, "sriov_numvfs");
    info.sriov_info.sriov_total_vfs = TRY(parse_count(total_vfs, "couldn't parse SR-IOV total VFs to u32"));
    info.sriov_info.sriov_enabled_vfs = TRY(parse_count(enabled_vfs, "couldn't parse SR-IOV number of VFs to u32"));

    info.root_complex_info = TRY(parse_root_complex(canonical));
    info.switch_info = TRY(find_switch(bridges_above(canonical, bdf)));
    return info;
}

Result<PcieInfo> pcie_info(const Device& device) { return read_pcie_info(device.bdf); }

}  // namespace smi
