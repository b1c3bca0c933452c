#include "classes.hpp"

namespace {

using smi::DeviceCoreRange;

std::string repr(const DeviceCoreRange& range) { return "DeviceCoreRange('" + smi::to_string(range) + "')"; }

Py_hash_t hash(const DeviceCoreRange& range) {
    return py::hash_of(range.dev_node_index, range.start_core, range.end_core);
}

// DeviceCoreRange.new(dev_node_index, start_core, end_core): no check beyond the widths.
PyObject* core_range_from_fields(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return py::guarded([&]() -> py::Ref {
        static const char* const keywords[] = {"dev_node_index", "start_core", "end_core", nullptr};
        PyObject *node, *start, *end;
        if (!py::parse_args(args, kwargs, "OOO:new", keywords, &node, &start, &end)) return {};
        const auto index = py::int_arg<std::uint8_t>(node, "new", "dev_node_index");
        if (!index) return {};
        const auto first = py::int_arg<std::uint32_t>(start, "new", "start_core");
        if (!first) return {};
        const auto last = py::int_arg<std::uint32_t>(end, "new", "end_core");
        if (!last) return {};
        return py::to_py(DeviceCoreRange{*index, *first, *last});
    });
}

PyMethodDef methods[] = {
    {"new", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(core_range_from_fields)),
     METH_STATIC | METH_VARARGS | METH_KEYWORDS, "new(dev_node_index, start_core, end_core)\n--\n\n"},
    SMI_METHOD("dev_node_index", &DeviceCoreRange::dev_node_index),
    SMI_METHOD("start_core", &DeviceCoreRange::start_core),
    SMI_METHOD("end_core", &DeviceCoreRange::end_core),
    SMI_METHOD("cores", py::core_list),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(py::parsing_new<DeviceCoreRange, smi::parse_core_range>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<DeviceCoreRange>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<DeviceCoreRange, repr>)},
    {Py_tp_str, reinterpret_cast<void*>(py::text_slot<DeviceCoreRange, smi::to_string>)},
    {Py_tp_hash, reinterpret_cast<void*>(py::hash_slot<DeviceCoreRange, hash>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(py::compare_ordered<DeviceCoreRange>)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("DeviceCoreRange(value)\n--\n\n")},
    {},
};

PyType_Spec type_spec = {
    .name = "DeviceCoreRange", .basicsize = sizeof(py::Boxed<DeviceCoreRange>), .flags = Py_TPFLAGS_DEFAULT, .slots = slots};
PyTypeObject* type = nullptr;

}  // namespace

namespace py {

Ref core_list(const DeviceCoreRange& range) {
    const auto list = smi::cores(range);
    if (!list) {
        PyErr_Format(PyExc_MemoryError, "%s covers too many cores to list", smi::to_string(range).c_str());
        return {};
    }
    return to_py(*list);
}

}  // namespace py

PyTypeObject* py::PyClass<DeviceCoreRange>::type() { return type_once(::type, type_spec); }
