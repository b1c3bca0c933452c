// The values the management-node attributes hold.
#pragma once

#include <cstdint>
#include <map>

namespace smi {

enum class CoreStatus { Available, Occupied };

/// Status by core index, ascending.
using CoreStatusMap = std::map<std::uint32_t, CoreStatus>;

/// Clock frequency in megahertz by core index, ascending.
using FrequencyTable = std::map<std::uint32_t, std::uint32_t>;

}  // namespace smi
