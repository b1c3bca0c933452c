// Why a device lowered its clocks.
#pragma once

#include <cstdint>

namespace smi {

struct ThrottleReason {
    enum class Kind {
        Idle, ThermalSlowdown, AppPowerCap, AppClockCap, HwClockCap, HwBusLimit, HwPowerCap, GovClockCap,
        OtherReason, Unknown
    };
    Kind kind;
    std::uint32_t bit = 0;  // the mask bit an `Unknown` stands for

    bool operator==(const ThrottleReason&) const = default;
};

}  // namespace smi
