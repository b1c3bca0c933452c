#include "classes.hpp"
#include "text.hpp"

namespace {

using smi::DeviceFile;

std::string repr(const DeviceFile& file) {
    return "DeviceFile(core_range='" + smi::to_string(file.core_range) + "', path='" + smi::to_text_lossy(file.path) +
           "')";
}

py::Ref path(const DeviceFile& file) { return py::to_py(smi::to_text_lossy(file.path)); }

py::Ref cores(const DeviceFile& file) { return py::core_list(file.core_range); }

PyMethodDef methods[] = {
    SMI_METHOD("core_range", &DeviceFile::core_range),
    SMI_METHOD("path", path),
    SMI_METHOD("cores", cores),
    {},
};

}  // namespace

PyTypeObject* py::PyClass<DeviceFile>::type() {
    return py::value_class<"DeviceFile", DeviceFile, repr, methods>();
}
