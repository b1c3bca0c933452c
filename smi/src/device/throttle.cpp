#include "throttle.hpp"

#include <cstdio>

namespace smi {

std::vector<ThrottleReason> ThrottleReason::from_bits(std::uint32_t mask) {
    std::vector<ThrottleReason> reasons;
    constexpr int known = static_cast<int>(Kind::Unknown);
    for (int bit = 0; bit < 32; ++bit) {
        const std::uint32_t value = std::uint32_t(1) << bit;
        if (!(mask & value)) continue;
        if (bit < known)
            reasons.push_back({static_cast<Kind>(bit)});
        else
            reasons.push_back({Kind::Unknown, value});
    }
    return reasons;
}

std::string to_string(const ThrottleReason& reason) {
    static constexpr const char* texts[] = {"Idle",         "Thermal Slowdown", "App Power Cap",
                                            "App Clock Cap", "HW Clock Cap",     "HW Bus Limit",
                                            "HW Power Cap",  "Gov Clock Cap",    "Other Reason"};
    if (reason.kind != ThrottleReason::Kind::Unknown) return texts[static_cast<int>(reason.kind)];
    char text[24];
    std::snprintf(text, sizeof text, "Unknown(0x%08x)", static_cast<unsigned>(reason.bit));
    return text;
}

}  // namespace smi
