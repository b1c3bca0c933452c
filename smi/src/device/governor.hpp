// The power-management policy of a device.
#pragma once

namespace smi {

enum class GovernorProfile { Performance, PowerSave };

}  // namespace smi
