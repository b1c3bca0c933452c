#include "topology.hpp"

#include <algorithm>
#include <bit>

#include "number.hpp"
#include "pcie.hpp"
#include "text.hpp"

namespace smi {

std::string_view to_string(LinkType type) {
    switch (type) {
    case LinkType::Unknown: return "Unknown";
    case LinkType::Interconnect: return "Interconnect";
    case LinkType::Cpu: return "Cpu";
    case LinkType::Bridge: return "Bridge";
    case LinkType::Noc: return "Noc";
    }
    return "Unknown";
}

Result<std::vector<Bdf>> pci_ancestors(const Path& function_dir, const Bdf& bdf) {
    // The kernel nests each function's directory under those of the bridges above it.
    return bridges_above(TRY(canonical_path(function_dir)), bdf);
}

Result<std::vector<Bdf>> pci_ancestors(const Bdf& bdf) { return pci_ancestors(pci_function_dir(bdf), bdf); }

std::optional<std::uint64_t> lowest_cpu(std::string_view mask) {
    // Groups of 32 CPUs, the most significant first: read from the last.
    mask = trim_white_space(mask);
    for (std::uint64_t groups_after = 0;; ++groups_after) {
        const std::size_t comma = mask.rfind(',');
        const auto group = comma == std::string_view::npos ? mask : mask.substr(comma + 1);
        const auto bits = parse_int<std::uint32_t>(trim_white_space(group), 16);
        if (!bits) return std::nullopt;
        if (*bits != 0) return 32 * groups_after + std::countr_zero(*bits);
        if (comma == std::string_view::npos) return std::nullopt;
        mask = mask.substr(0, comma);
    }
}

Result<std::optional<std::uint32_t>> pci_device_socket(const Path& function_dir, const Path& cpu_dir) {
    const std::string mask = TRY(read_file(join(function_dir, "local_cpus")));
    const auto cpu = lowest_cpu(mask);
    if (!cpu) return std::optional<std::uint32_t>();
    const Path package_path = join(cpu_dir, "cpu" + std::to_string(*cpu) + "/topology/physical_package_id");
    const std::string content = TRY(read_file(package_path));
    const auto text = trim_white_space(content);
    const auto package = parse_int<std::uint32_t>(text);
    if (!package) return std::unexpected(SmiError::parse("invalid physical_package_id: '" + to_text_lossy(text) + "'"));
    return package;
}

Result<std::optional<std::uint32_t>> pci_device_socket(const Bdf& bdf) {
    return pci_device_socket(pci_function_dir(bdf), Path(CPU_DIR));
}

Result<LinkType> get_link_type(const Bdf& a, const Bdf& b) {
    if (a == b) return LinkType::Noc;
    const auto above_a = TRY(pci_ancestors(a));
    const auto above_b = TRY(pci_ancestors(b));
    for (const Bdf& bridge : above_a)
        if (std::find(above_b.begin(), above_b.end(), bridge) != above_b.end()) return LinkType::Bridge;
    // A socket that cannot be read leaves the relation undetermined; it is
    // no failure of the question.
    const auto socket_a = pci_device_socket(a);
    const auto socket_b = pci_device_socket(b);
    if (!socket_a || !socket_b || !*socket_a || !*socket_b) return LinkType::Unknown;
    return **socket_a == **socket_b ? LinkType::Cpu : LinkType::Interconnect;
}

Result<LinkType> device_to_device_link_type(const Device& device, const Device& other) {
    return get_link_type(device.bdf, other.bdf);
}

// Whether the device's configuration finds its peer-to-peer files; a device
// ID without configuration has none.
static bool has_p2p_files(const Device& device) {
    const auto config = select_arch_config(device.device_id);
    return config && (*config)->devfs_ops->has_p2p_interfaces(Path((*config)->dev_root), device.dev_node_index);
}

bool p2p_accessible(const Device& device, const Device& other) { return has_p2p_files(device) && has_p2p_files(other); }

}  // namespace smi
