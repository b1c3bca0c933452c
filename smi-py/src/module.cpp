// The module tarvina_smi: its functions, the registration of its classes and
// exceptions in a fixed order, and the entry point.
#include "classes.hpp"
#include "smi.hpp"

namespace {

PyObject* get_pci_device(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return py::guarded([&]() -> py::Ref {
        static const char* const keywords[] = {"bdf", nullptr};
        PyObject* arg;
        if (!py::parse_args(args, kwargs, "O:get_pci_device", keywords, &arg)) return {};
        const smi::Bdf* bdf = py::instance_arg<smi::Bdf>(arg, "get_pci_device", "bdf");
        if (!bdf) return {};
        return py::to_py(smi::get_pci_device(*bdf));
    });
}

PyMethodDef functions[] = {
    {"list_devices", py::function<smi::list_devices>, METH_NOARGS, "list_devices()\n--\n\n"},
    {"list_pci_devices", py::function<smi::list_pci_devices>, METH_NOARGS, "list_pci_devices()\n--\n\n"},
    {"get_pci_device", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(get_pci_device)),
     METH_VARARGS | METH_KEYWORDS, "get_pci_device(bdf)\n--\n\n"},
    {"list_disabled_devices", py::function<smi::list_disabled_devices>, METH_NOARGS,
     "list_disabled_devices()\n--\n\n"},
    {"driver_info", py::function<smi::driver_info>, METH_NOARGS, "driver_info()\n--\n\n"},
};

// The classes in the order of registration.
PyTypeObject* (*const classes[])() = {
    py::EnumClass<smi::Arch>::get,
    py::PyClass<smi::Bdf>::type,
    py::EnumClass<smi::CoreStatus>::get,
    py::PyClass<smi::DeviceCoreRange>::type,
    py::PyClass<smi::DeviceFile>::type,
    py::PyClass<smi::Device>::type,
    py::PyClass<smi::DeviceTemperature>::type,
    py::EnumClass<smi::GovernorProfile>::get,
    py::EnumClass<smi::LinkType>::get,
    py::PyClass<smi::MemoryInfo>::type,
    py::PyClass<smi::PciDevice>::type,
    py::PyClass<smi::PcieDeviceInfo>::type,
    py::PyClass<smi::PcieInfo>::type,
    py::PyClass<smi::PcieLinkInfo>::type,
    py::PyClass<smi::PcieRootComplexInfo>::type,
    py::PyClass<smi::PePerformanceCounter>::type,
    py::PyClass<smi::SriovInfo>::type,
    py::EnumClass<smi::ThrottleReason>::get,
    py::PyClass<smi::VersionInfo>::type,
};

/// Sets `value` (a new reference, or null on failure) as attribute `name`
/// and appends the name to __all__.
int add(PyObject* module, PyObject* all, const char* name, PyObject* value) {
    auto owned = py::Ref::steal(value);
    auto text = py::to_py(name);
    if (!owned || !text || PyList_Append(all, text.get()) < 0) return -1;
    return PyObject_SetAttr(module, text.get(), owned.get());
}

int exec(PyObject* module) {
    if (!PyModule_Check(module)) {
        PyErr_SetString(PyExc_TypeError, "tarvina_smi can only populate a module");
        return -1;
    }
    auto all = py::Ref::steal(PyList_New(0));
    if (!all || PyModule_AddObjectRef(module, "__all__", all.get()) < 0) return -1;
    PyObject* module_name = PyModule_GetNameObject(module);
    auto owned_name = py::Ref::steal(module_name);
    if (!module_name) return -1;

    for (PyMethodDef& function : functions)
        if (add(module, all.get(), function.ml_name, PyCFunction_NewEx(&function, module, module_name)) < 0)
            return -1;
    for (auto type_of : classes) {
        PyTypeObject* type = type_of();
        if (!type || add(module, all.get(), type->tp_name, Py_NewRef(type)) < 0) return -1;
    }
    using Kind = smi::SmiError::Kind;
    const std::optional<Kind> kinds[] = {std::nullopt,     Kind::UnknownArch,        Kind::Parse,
                                         Kind::Io,         Kind::DeviceNotAvailable, Kind::DeviceNotFound,
                                         Kind::UnexpectedValue};
    for (auto kind : kinds) {
        PyObject* exception = py::exception_class(kind);
        if (!exception) return -1;
        const char* name = reinterpret_cast<PyTypeObject*>(exception)->tp_name;
        if (add(module, all.get(), name, Py_NewRef(exception)) < 0) return -1;
    }
    return add(module, all.get(), "__version__", py::to_py(TARVINA_SMI_VERSION).release());
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec)},
    {},
};

PyModuleDef module_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "tarvina_smi",
    .m_doc = "",
    .m_size = 0,
    .m_slots = module_slots,
};

}  // namespace

PyMODINIT_FUNC PyInit_tarvina_smi() { return PyModuleDef_Init(&module_def); }
