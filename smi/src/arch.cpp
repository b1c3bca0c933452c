#include "arch.hpp"

#include "arch/zelk.hpp"

namespace smi {

std::string_view to_string(Arch) { return "ZELK"; }

Result<const ArchConfig*> select_arch_config(std::uint16_t device_id) {
    switch (device_id) {
    case 1: return &ZELK_ARCH_CONFIG;
    case 2: return &ZELK_PLUS_ARCH_CONFIG;
    default: return std::unexpected(SmiError::unknown_arch(device_id));
    }
}

}  // namespace smi
