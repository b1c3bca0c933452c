// The PCIe information classes: PcieInfo and the four records it holds.
#include <cstdio>

#include "classes.hpp"
#include "number.hpp"
#include "pcie.hpp"

namespace {

using smi::PcieDeviceInfo;
using smi::PcieInfo;
using smi::PcieLinkInfo;
using smi::PcieRootComplexInfo;
using smi::SriovInfo;

// ---- PcieInfo

std::string repr(const PcieInfo& info) {
    char text[128];
    std::snprintf(text, sizeof text, "PcieInfo(device_id=0x%04x, pcie_gen_status=%u, root_complex=(%u, %u), ",
                  info.device_info.device_id, info.link_info.pcie_gen_status, info.root_complex_info.domain,
                  info.root_complex_info.bus);
    return text + std::string("switch_info=") + (info.switch_info ? smi::to_string(*info.switch_info) : "None") + ")";
}

PyMethodDef pcie_info_methods[] = {
    SMI_METHOD("device_info", &PcieInfo::device_info),
    SMI_METHOD("link_info", &PcieInfo::link_info),
    SMI_METHOD("sriov_info", &PcieInfo::sriov_info),
    SMI_METHOD("root_complex_info", &PcieInfo::root_complex_info),
    SMI_METHOD("switch_info", &PcieInfo::switch_info),
    {},
};

// ---- PcieDeviceInfo

std::string repr(const PcieDeviceInfo& info) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "PcieDeviceInfo(device_id=0x%04x, vendor_id=0x%04x, subsystem_id=0x%04x, revision_id=0x%02x, "
                  "class_id=0x%02x, sub_class_id=0x%02x)",
                  info.device_id, info.vendor_id, info.subsystem_id, info.revision_id, info.class_id,
                  info.sub_class_id);
    return text;
}

PyMethodDef device_info_methods[] = {
    SMI_METHOD("device_id", &PcieDeviceInfo::device_id),
    SMI_METHOD("vendor_id", &PcieDeviceInfo::vendor_id),
    SMI_METHOD("subsystem_id", &PcieDeviceInfo::subsystem_id),
    SMI_METHOD("revision_id", &PcieDeviceInfo::revision_id),
    SMI_METHOD("class_id", &PcieDeviceInfo::class_id),
    SMI_METHOD("sub_class_id", &PcieDeviceInfo::sub_class_id),
    {},
};

// ---- PcieLinkInfo

std::string repr(const PcieLinkInfo& info) {
    return "PcieLinkInfo(pcie_gen_status=" + std::to_string(info.pcie_gen_status) +
           ", link_width_status=" + std::to_string(info.link_width_status) +
           ", link_speed_status=" + smi::format_float(info.link_speed_status) +
           ", max_link_width_capability=" + std::to_string(info.max_link_width_capability) +
           ", max_link_speed_capability=" + smi::format_float(info.max_link_speed_capability) + ")";
}

PyMethodDef link_info_methods[] = {
    SMI_METHOD("pcie_gen_status", &PcieLinkInfo::pcie_gen_status),
    SMI_METHOD("link_width_status", &PcieLinkInfo::link_width_status),
    SMI_METHOD("link_speed_status", &PcieLinkInfo::link_speed_status),
    SMI_METHOD("max_link_width_capability", &PcieLinkInfo::max_link_width_capability),
    SMI_METHOD("max_link_speed_capability", &PcieLinkInfo::max_link_speed_capability),
    {},
};

// ---- SriovInfo

std::string repr(const SriovInfo& info) {
    return "SriovInfo(sriov_total_vfs=" + std::to_string(info.sriov_total_vfs) +
           ", sriov_enabled_vfs=" + std::to_string(info.sriov_enabled_vfs) + ")";
}

PyMethodDef sriov_info_methods[] = {
    SMI_METHOD("sriov_total_vfs", &SriovInfo::sriov_total_vfs),
    SMI_METHOD("sriov_enabled_vfs", &SriovInfo::sriov_enabled_vfs),
    {},
};

// ---- PcieRootComplexInfo

std::string repr(const PcieRootComplexInfo& info) {
    return "PcieRootComplexInfo(domain=" + std::to_string(info.domain) + ", bus=" + std::to_string(info.bus) + ")";
}

PyMethodDef root_complex_info_methods[] = {
    SMI_METHOD("domain", &PcieRootComplexInfo::domain),
    SMI_METHOD("bus", &PcieRootComplexInfo::bus),
    {},
};

}  // namespace

// Records compared by value, unhashable, made only by Device.pcie_info().
PyTypeObject* py::PyClass<PcieInfo>::type() { return value_class<"PcieInfo", PcieInfo, repr, pcie_info_methods>(); }
PyTypeObject* py::PyClass<PcieDeviceInfo>::type() {
    return value_class<"PcieDeviceInfo", PcieDeviceInfo, repr, device_info_methods>();
}
PyTypeObject* py::PyClass<PcieLinkInfo>::type() {
    return value_class<"PcieLinkInfo", PcieLinkInfo, repr, link_info_methods>();
}
PyTypeObject* py::PyClass<SriovInfo>::type() {
    return value_class<"SriovInfo", SriovInfo, repr, sriov_info_methods>();
}
PyTypeObject* py::PyClass<PcieRootComplexInfo>::type() {
    return value_class<"PcieRootComplexInfo", PcieRootComplexInfo, repr, root_complex_info_methods>();
}
