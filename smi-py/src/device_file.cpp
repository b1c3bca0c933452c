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

// Equality without a hash: instances are unhashable.
PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<DeviceFile>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<DeviceFile, repr>)},
    {Py_tp_str, reinterpret_cast<void*>(py::text_slot<DeviceFile, repr>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(py::compare_equal<DeviceFile>)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {},
};

PyType_Spec type_spec = {
    .name = "DeviceFile", .basicsize = sizeof(py::Boxed<DeviceFile>), .flags = Py_TPFLAGS_DEFAULT, .slots = slots};
PyTypeObject* type = nullptr;

}  // namespace

PyTypeObject* py::PyClass<DeviceFile>::type() { return type_once(::type, type_spec); }
