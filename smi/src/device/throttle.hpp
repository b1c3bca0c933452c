// Why a device lowered its clocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smi {

struct ThrottleReason {
    // In mask-bit order: Idle is bit 0, OtherReason bit 8; Unknown stands
    // for any one of bits 9 to 31.
    enum class Kind {
        Idle, ThermalSlowdown, AppPowerCap, AppClockCap, HwClockCap, HwBusLimit, HwPowerCap, GovClockCap,
        OtherReason, Unknown
    };
    Kind kind;
    std::uint32_t bit = 0;  // the mask bit an `Unknown` stands for

    /// The reasons a mask holds: the known ones in order, then one `Unknown`
    /// per remaining bit, lowest first.
    static std::vector<ThrottleReason> from_bits(std::uint32_t mask);

    bool operator==(const ThrottleReason&) const = default;
};

/// "Thermal Slowdown", "HW Power Cap", ... and "Unknown(0x00000200)".
std::string to_string(const ThrottleReason& reason);

}  // namespace smi
