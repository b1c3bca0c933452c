#include <cstdio>

#include "classes.hpp"

namespace {

using smi::PciDevice;

std::string repr(const PciDevice& device) {
    char id[8];
    std::snprintf(id, sizeof id, "%04x", device.device_id);
    return "PciDevice(bdf='" + smi::to_string(device.bdf) + "', device_id=0x" + id + ")";
}

PyMethodDef methods[] = {
    SMI_METHOD("bdf", &PciDevice::bdf),
    SMI_METHOD("device_id", &PciDevice::device_id),
    SMI_METHOD("vendor_id", &PciDevice::vendor_id),
    {},
};

// No comparison and no hash: PciDevice objects compare and hash by identity.
PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<PciDevice>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<PciDevice, repr>)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {},
};

PyType_Spec spec = {
    .name = "PciDevice", .basicsize = sizeof(py::Boxed<PciDevice>), .flags = Py_TPFLAGS_DEFAULT, .slots = slots};
PyTypeObject* type = nullptr;

}  // namespace

PyTypeObject* py::PyClass<PciDevice>::type() { return type_once(::type, spec); }
