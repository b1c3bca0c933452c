#include "classes.hpp"

namespace {

using smi::Bdf;

std::string repr(const Bdf& bdf) { return "Bdf('" + smi::to_string(bdf) + "')"; }

Py_hash_t hash(const Bdf& bdf) { return py::hash_of(bdf.domain, bdf.bus, bdf.device, bdf.function); }

PyMethodDef methods[] = {
    SMI_METHOD("domain", &Bdf::domain),
    SMI_METHOD("bus", &Bdf::bus),
    SMI_METHOD("device", &Bdf::device),
    SMI_METHOD("function", &Bdf::function),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(py::parsing_new<Bdf, smi::parse_bdf>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(py::dealloc<Bdf>)},
    {Py_tp_repr, reinterpret_cast<void*>(py::text_slot<Bdf, repr>)},
    {Py_tp_str, reinterpret_cast<void*>(py::text_slot<Bdf, smi::to_string>)},
    {Py_tp_hash, reinterpret_cast<void*>(py::hash_slot<Bdf, hash>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(py::compare_ordered<Bdf>)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("Bdf(value)\n--\n\n")},
    {},
};

PyType_Spec type_spec = {.name = "Bdf", .basicsize = sizeof(py::Boxed<Bdf>), .flags = Py_TPFLAGS_DEFAULT, .slots = slots};
PyTypeObject* type = nullptr;

}  // namespace

PyTypeObject* py::PyClass<Bdf>::type() { return type_once(::type, type_spec); }
