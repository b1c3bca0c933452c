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
    SMI_METHOD("firmware_version", smi::firmware_version),
    SMI_METHOD("major", smi::major),
    SMI_METHOD("minor", smi::minor),
    SMI_METHOD("device_temperature", smi::device_temperature),
    SMI_METHOD("power_consumption", smi::power_consumption),
    SMI_METHOD("power_limit", smi::power_limit),
    SMI_METHOD_OF_ONE("set_power_limit", "power_limit_mw", smi::set_power_limit, py::int_arg<std::uint32_t>),
    SMI_METHOD("core_status", smi::core_status),
    SMI_METHOD("core_frequency", smi::core_frequency),
    SMI_METHOD("tcp_frequency", smi::tcp_frequency),
    SMI_METHOD("governor_profile", smi::governor_profile),
    SMI_METHOD_OF_ONE("set_governor_profile", "profile", smi::set_governor_profile,
                      py::member_arg<smi::GovernorProfile>),
    SMI_METHOD("liveness", smi::liveness),
    SMI_METHOD("throttle_reason", smi::throttle_reason),
    SMI_METHOD("performance_counter", smi::performance_counter),
    SMI_METHOD("device_files", smi::device_files),
    SMI_METHOD("memory_usage", smi::memory_usage),
    SMI_METHOD_OF_ONE("p2p_accessible", "other", smi::p2p_accessible, py::instance_arg<Device>),
    SMI_METHOD_OF_ONE("device_to_device_link_type", "other", smi::device_to_device_link_type,
                      py::instance_arg<Device>),
    SMI_METHOD("pcie_info", smi::pcie_info),
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
    SMI_METHOD("enable", smi::enable),
    SMI_METHOD("disable", smi::disable),
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
