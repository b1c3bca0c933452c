#include <cstdio>

#include "classes.hpp"

namespace {

using smi::Device;
using smi::PciDevice;

std::string device_repr(const Device& device) {
    return "Device(name='" + device.device_name + "', bdf='" + smi::to_string(device.bdf) + "')";
}

// Both configurations belong to the one family.
smi::Arch arch(const Device&) { return smi::Arch::Zelk; }

PyMethodDef device_methods[] = {
    SMI_METHOD("bdf", &Device::bdf),
    SMI_METHOD("device_id", &Device::device_id),
    SMI_METHOD("vendor_id", &Device::vendor_id),
    SMI_METHOD("uuid", &Device::uuid),
    SMI_METHOD("serial", &Device::serial),
    SMI_METHOD("core_num", &Device::core_num),
    SMI_METHOD("numa_node", &Device::numa_node),
    SMI_METHOD("dev_node_index", &Device::dev_node_index),
    SMI_METHOD("arch", arch),
    SMI_METHOD("product_name", smi::product_name),
    SMI_METHOD("device_name", &Device::device_name),
    SMI_METHOD("device_files", smi::device_files),
    {},
};

// No comparison and no hash: Device objects compare and hash by identity.
PyType_Slot device_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<Device>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<Device, device_repr>)},
    {Py_tp_methods, device_methods},
    {Py_tp_doc, const_cast<char*>("")},
    {},
};

PyType_Spec device_spec = {
    .name = "Device", .basicsize = sizeof(py::Boxed<Device>), .flags = Py_TPFLAGS_DEFAULT, .slots = device_slots};
PyTypeObject* device_type = nullptr;

std::string repr(const PciDevice& device) {
    char id[8];
    std::snprintf(id, sizeof id, "%04x", device.device_id);
    return "PciDevice(bdf='" + smi::to_string(device.bdf) + "', device_id=0x" + id + ")";
}

PyMethodDef pci_device_methods[] = {
    SMI_METHOD("bdf", &PciDevice::bdf),
    SMI_METHOD("device_id", &PciDevice::device_id),
    SMI_METHOD("vendor_id", &PciDevice::vendor_id),
    {},
};

// No comparison and no hash: PciDevice objects compare and hash by identity.
PyType_Slot pci_device_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<PciDevice>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<PciDevice, repr>)},
    {Py_tp_methods, pci_device_methods},
    {Py_tp_doc, const_cast<char*>("")},
    {},
};

PyType_Spec pci_device_spec = {.name = "PciDevice",
                               .basicsize = sizeof(py::Boxed<PciDevice>),
                               .flags = Py_TPFLAGS_DEFAULT,
                               .slots = pci_device_slots};
PyTypeObject* pci_device_type = nullptr;

}  // namespace

PyTypeObject* py::PyClass<Device>::type() { return type_once(device_type, device_spec); }
PyTypeObject* py::PyClass<PciDevice>::type() { return type_once(pci_device_type, pci_device_spec); }
