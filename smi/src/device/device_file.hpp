// A device file of the driver, with the core range its name denotes.
#pragma once

#include "../sysfs.hpp"
#include "core_range.hpp"

namespace smi {

struct DeviceFile {
    DeviceCoreRange core_range;
    Path path;  // the device-file directory joined with the file's name
};

/// Whether two paths name the same file by their components, so that
/// redundant separators and "." components make no difference.
bool same_path(std::string_view a, std::string_view b);

inline bool operator==(const DeviceFile& a, const DeviceFile& b) {
    return a.core_range == b.core_range && same_path(a.path, b.path);
}

}  // namespace smi
