#include "drain.hpp"

#include <cerrno>

namespace smi {

// What the kernel's binding files take: the address and a line feed.
static std::string binding_text(const Bdf& bdf) { return to_string(bdf) + "\n"; }

Result<Path> device_dir(const Bdf& bdf) {
    Path dir = pci_function_dir(bdf);
    if (!exists(dir)) return std::unexpected(SmiError::device_not_found("PCI device " + to_string(bdf) + " not found"));
    return dir;
}

Result<void> enable(const PciDevice& device) {
    TRY(device_dir(device.bdf));
    if (is_driver_bound(device.bdf)) return {};
    TRY(write_file(Path(DRIVERS_PROBE), binding_text(device.bdf)));
    // The kernel probes while the write is in progress: a driver that takes
    // the function is bound once the write returns.
    if (is_driver_bound(device.bdf)) return {};
    return std::unexpected(SmiError::device_not_available(to_string(device.bdf)));
}

Result<void> disable(const PciDevice& device) {
    const Path dir = TRY(device_dir(device.bdf));
    if (!is_driver_bound(device.bdf)) return {};
    const Path unbind = join(join(dir, "driver"), "unbind");
    auto written = write_file(unbind, binding_text(device.bdf));
    // The driver let go of the function since the check, and its link went
    // with it: the function is unbound, as asked.
    if (!written && written.error().source.code == ENOENT) return {};
    return written;
}

}  // namespace smi
