#include "classes.hpp"

namespace {

using smi::VersionInfo;

std::string repr(const VersionInfo& version) { return "VersionInfo('" + smi::to_string(version) + "')"; }

PyMethodDef methods[] = {
    SMI_METHOD("major", &VersionInfo::major),
    SMI_METHOD("minor", &VersionInfo::minor),
    SMI_METHOD("patch", &VersionInfo::patch),
    SMI_METHOD("metadata", &VersionInfo::metadata),
    SMI_METHOD("prerelease", &VersionInfo::prerelease),
    {},
};

}  // namespace

PyTypeObject* py::PyClass<VersionInfo>::type() {
    return py::value_class<"VersionInfo", VersionInfo, repr, methods, smi::to_string>();
}
