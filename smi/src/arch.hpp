// The architecture family of the accelerator.
#pragma once

namespace smi {

/// Both supported device IDs belong to the one family, rendered "ZELK".
enum class Arch { Zelk };

}  // namespace smi
