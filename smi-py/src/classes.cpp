#include "classes.hpp"

#include <cstring>

namespace py {

void argument_type_error(const char* function, const char* argument, const char* expected, PyObject* given) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be %s, not %s", function, argument, expected,
                 Py_TYPE(given)->tp_name);
}

PyTypeObject* create_type(PyType_Spec& type_spec) {
    bool constructible = false;
    for (const PyType_Slot* slot = type_spec.slots; slot->slot != 0; ++slot)
        if (slot->slot == Py_tp_new) constructible = true;
    // The interpreter takes a class's __module__ from its name up to the last dot.
    static constexpr std::string_view qualifier = "builtins.";
    const std::string name = std::string(qualifier) + type_spec.name;
    PyType_Spec qualified = type_spec;
    qualified.name = name.c_str();
    qualified.flags |= Py_TPFLAGS_IMMUTABLETYPE;
    if (!constructible) qualified.flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;
    auto* type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&qualified));
    if (!type) return nullptr;
    // The class keeps its own copy of the name; show it without the qualifier,
    // as built-in classes are shown ("cannot create 'Device' instances").
    if (std::strncmp(type->tp_name, qualifier.data(), qualifier.size()) == 0) type->tp_name += qualifier.size();
    return type;
}

PyObject* enum_int(PyObject* self) noexcept { return PyLong_FromLong(ordinal(self)); }

PyObject* enum_compare(PyObject* self, PyObject* other, int op) noexcept {
    if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
    if (Py_TYPE(other) == Py_TYPE(self)) {
        const bool equal = ordinal(self) == ordinal(other);
        return PyBool_FromLong(op == Py_EQ ? equal : !equal);
    }
    if (!PyIndex_Check(other)) Py_RETURN_NOTIMPLEMENTED;
    auto index = Ref::steal(PyNumber_Index(other));
    auto mine = Ref::steal(PyLong_FromLong(ordinal(self)));
    if (!index || !mine) return nullptr;
    return PyObject_RichCompare(mine.get(), index.get(), op);
}

PyTypeObject* create_enum_type(PyType_Spec& type_spec, std::span<const EnumMember> members, PyObject** instances) {
    PyTypeObject* type = create_type(type_spec);
    if (!type) return nullptr;
    for (std::size_t i = 0; i < members.size(); ++i) {
        PyObject* member = type->tp_alloc(type, 0);
        if (!member) return nullptr;
        reinterpret_cast<EnumObject*>(member)->ordinal = static_cast<int>(i);
        instances[i] = member;
        // The class is immutable to Python code, so its members go straight
        // into its dictionary, before anything has looked them up.
        if (PyDict_SetItemString(type->tp_dict, members[i].name, member) < 0) return nullptr;
    }
    PyType_Modified(type);
    return type;
}

}  // namespace py
