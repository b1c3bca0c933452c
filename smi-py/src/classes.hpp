// The two kinds of Python class of the module: value classes that hold a
// copy of a core record, and enumeration classes with shared members. Each
// class's file is a short declaration on these helpers.
#pragma once

#include <algorithm>
#include <compare>
#include <functional>
#include <new>
#include <span>
#include <string>
#include <type_traits>

#include "arch.hpp"
#include "convert.hpp"
#include "device.hpp"
#include "discovery.hpp"
#include "drain.hpp"
#include "pcie.hpp"
#include "siphash.hpp"
#include "topology.hpp"

namespace py {

/// Creates a class from its type spec, once per process: final, immutable, no
/// instance dictionary, no weak references, `__module__` "builtins", and not
/// callable unless its PyType_Spec has a tp_new slot. `type_spec.name` is the bare name.
PyTypeObject* create_type(PyType_Spec& type_spec);

inline PyTypeObject* type_once(PyTypeObject*& type, PyType_Spec& type_spec) {
    if (!type) type = create_type(type_spec);
    return type;
}

/// A name given as a template argument.
template <std::size_t N>
struct Name {
    char text[N];
    constexpr Name(const char (&name)[N]) { std::copy_n(name, N, text); }
};

// ---- value classes

// The Python class of each wrapped core record; defined in the class's file.
template <> struct PyClass<smi::Bdf> { static PyTypeObject* type(); };
template <> struct PyClass<smi::DeviceCoreRange> { static PyTypeObject* type(); };
template <> struct PyClass<smi::DeviceFile> { static PyTypeObject* type(); };
template <> struct PyClass<smi::Device> { static PyTypeObject* type(); };
template <> struct PyClass<smi::DeviceTemperature> { static PyTypeObject* type(); };
template <> struct PyClass<smi::MemoryInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PePerformanceCounter> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PciDevice> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PcieDeviceInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PcieInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PcieLinkInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::PcieRootComplexInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::SriovInfo> { static PyTypeObject* type(); };
template <> struct PyClass<smi::VersionInfo> { static PyTypeObject* type(); };

template <class T> struct Boxed {
    PyObject_HEAD
    T value;
};

template <class T> const T& unbox(PyObject* self) { return reinterpret_cast<Boxed<T>*>(self)->value; }

/// A new instance of `type` holding a copy of `value`.
template <class T>
Ref wrap_as(PyTypeObject* type, const T& value) {
    if (!type) return {};
    auto self = Ref::steal(type->tp_alloc(type, 0));
    if (!self) return self;
    try {
        new (&reinterpret_cast<Boxed<T>*>(self.get())->value) T(value);
    } catch (...) {
        // Not constructed: free the memory without running the destructor.
        type->tp_free(self.release());
        Py_DECREF(type);
        throw;
    }
    return self;
}

template <Wrapped T> Ref to_py(const T& value) { return wrap_as(PyClass<T>::type(), value); }

/// The value held by an instance of T's class, or null with TypeError set.
template <Wrapped T>
const T* instance_arg(PyObject* object, const char* function, const char* argument) {
    PyTypeObject* type = PyClass<T>::type();
    if (!type) return nullptr;
    if (Py_TYPE(object) != type) {
        argument_type_error(function, argument, type->tp_name, object);
        return nullptr;
    }
    return &unbox<T>(object);
}

/// The constructor `Class(value)`, which parses a str with Parse.
template <class T, smi::Result<T> (*Parse)(std::string_view)>
PyObject* parsing_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&]() -> Ref {
        static const char* const keywords[] = {"value", nullptr};
        const std::string format = std::string("O:") + type->tp_name;
        PyObject* value;
        if (!parse_args(args, kwargs, format.c_str(), keywords, &value)) return {};
        const auto text = text_arg(value, type->tp_name, "value");
        if (!text) return {};
        auto parsed = Parse(*text);
        if (!parsed) return raise(std::move(parsed).error());
        return wrap_as(type, *parsed);
    });
}

template <class T>
void dealloc(PyObject* self) noexcept {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<Boxed<T>*>(self)->value.~T();
    type->tp_free(self);
    Py_DECREF(type);  // instances of heap types hold a reference to their class
}

/// A repr or str slot from a function that renders the value.
template <class T, std::string (*Render)(const T&)>
PyObject* text_slot(PyObject* self) noexcept {
    return guarded([&] { return to_py(Render(unbox<T>(self))); });
}

template <class T, Py_hash_t (*Hash)(const T&)>
Py_hash_t hash_slot(PyObject* self) noexcept {
    return Hash(unbox<T>(self));
}

/// `==` and `!=` by the record's equality; orderings and other classes give NotImplemented.
template <class T>
PyObject* compare_equal(PyObject* self, PyObject* other, int op) noexcept {
    if (Py_TYPE(other) != Py_TYPE(self) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
    const bool equal = unbox<T>(self) == unbox<T>(other);
    return PyBool_FromLong(op == Py_EQ ? equal : !equal);
}

/// All six comparisons by the record's ordering; other classes give NotImplemented.
template <class T>
PyObject* compare_ordered(PyObject* self, PyObject* other, int op) noexcept {
    if (Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    const auto order = unbox<T>(self) <=> unbox<T>(other);
    Py_RETURN_RICHCOMPARE(order, 0, op);
}

/// The class of a record that is compared by value and has no hash (so its
/// instances are unhashable) and no constructor: its instances come only
/// from the module's functions and methods. `str()` gives Str if given, else
/// what `repr()` gives.
template <Name name, class T, std::string (*Repr)(const T&), PyMethodDef* Methods,
          std::string (*Str)(const T&) = Repr>
PyTypeObject* value_class() {
    static PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(dealloc<T>)},
        {Py_tp_repr, reinterpret_cast<void*>(text_slot<T, Repr>)},
        {Py_tp_str, reinterpret_cast<void*>(text_slot<T, Str>)},
        {Py_tp_richcompare, reinterpret_cast<void*>(compare_equal<T>)},
        {Py_tp_methods, Methods},
        {Py_tp_doc, const_cast<char*>("")},
        {},
    };
    static PyType_Spec type_spec = {
        .name = name.text, .basicsize = sizeof(Boxed<T>), .flags = Py_TPFLAGS_DEFAULT, .slots = slots};
    static PyTypeObject* type = nullptr;
    return type_once(type, type_spec);
}

// ---- methods

/// The cores of a range as a list, or MemoryError for a range too large to list.
Ref core_list(const smi::DeviceCoreRange& range);

template <class F> struct SelfOf;
template <class R, class T> struct SelfOf<R T::*> { using type = T; };
template <class R, class T> struct SelfOf<R (*)(const T&)> { using type = T; };
template <class R, class T> struct SelfOf<R (*)(const T&) noexcept> { using type = T; };
template <class R, class T, class A> struct SelfOf<R (*)(const T&, A)> { using type = T; };

/// A method without arguments that returns F applied to the held value; F
/// is a data member or a function of the record, and its result (a value or
/// a Result) is converted by to_py.
template <auto F>
PyObject* method(PyObject* self, PyObject*) noexcept {
    using T = typename SelfOf<decltype(F)>::type;
    return guarded([&] { return to_py(std::invoke(F, unbox<T>(self))); });
}

/// A module function without arguments that returns F() converted by to_py.
template <auto F>
PyObject* function(PyObject*, PyObject*) noexcept {
    return guarded([&] { return to_py(F()); });
}

// A method table entry for `method<F>` with the text signature "name($self)".
#define SMI_METHOD(name, F) \
    { name, reinterpret_cast<PyCFunction>(py::method<F>), METH_NOARGS, name "($self)\n--\n\n" }

/// A method of one argument, passed by position or keyword, that returns F
/// applied to the held value and the argument. Convert reads the argument
/// (int_arg, member_arg, instance_arg) and returns something empty, with
/// the Python error set, when it cannot.
template <Name function, Name argument, auto F, auto Convert>
PyObject* method_of_one(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    using T = typename SelfOf<decltype(F)>::type;
    return guarded([&]() -> Ref {
        static const char* const keywords[] = {argument.text, nullptr};
        static const std::string format = std::string("O:") + function.text;
        PyObject* object;
        if (!parse_args(args, kwargs, format.c_str(), keywords, &object)) return {};
        const auto value = Convert(object, function.text, argument.text);
        if (!value) return {};
        return to_py(F(unbox<T>(self), *value));
    });
}

// A method table entry for `method_of_one` with the text signature "name($self, argument)".
#define SMI_METHOD_OF_ONE(name, argument, F, Convert)                                                        \
    {                                                                                                        \
        name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(py::method_of_one<name, argument, F, \
                                                                                           Convert>)),      \
            METH_VARARGS | METH_KEYWORDS, name "($self, " argument ")\n--\n\n"                               \
    }

// ---- enumeration classes

struct EnumMember {
    const char* name;  // the class attribute, e.g. "PowerSave"
    const char* text;  // what str() gives
};

struct EnumObject {
    PyObject_HEAD
    int ordinal;
};

inline int ordinal(PyObject* member) { return reinterpret_cast<EnumObject*>(member)->ordinal; }

PyObject* enum_int(PyObject* self) noexcept;
/// `==` and `!=` against a member of the same class or anything with
/// `__index__`; everything else gives NotImplemented.
PyObject* enum_compare(PyObject* self, PyObject* other, int op) noexcept;

/// Makes the class from `type_spec` and one instance per ordinal into
/// `instances`, each set as the class attribute of its name.
PyTypeObject* create_enum_type(PyType_Spec& type_spec, std::span<const EnumMember> members, PyObject** instances);

template <Enumeration E>
struct EnumClass {
    static constexpr auto& members = PyEnum<E>::members;
    static constexpr std::size_t size = std::size(members);
    static inline PyTypeObject* type = nullptr;
    static inline PyObject* instances[size] = {};

    static PyObject* repr(PyObject* self) noexcept {
        return PyUnicode_FromFormat("%s.%s", PyEnum<E>::name, members[ordinal(self)].name);
    }
    static PyObject* str(PyObject* self) noexcept { return PyUnicode_FromString(members[ordinal(self)].text); }
    // The hash of a lone member covers nothing at all, as that member has no
    // ordinal worth hashing; otherwise the ordinal as 8 bytes.
    static Py_hash_t hash(PyObject* self) noexcept {
        return size == 1 ? hash_of() : hash_of(static_cast<std::int64_t>(ordinal(self)));
    }

    static inline PyType_Slot slots[] = {
        {Py_tp_repr, reinterpret_cast<void*>(repr)},
        {Py_tp_str, reinterpret_cast<void*>(str)},
        {Py_tp_hash, reinterpret_cast<void*>(hash)},
        {Py_tp_richcompare, reinterpret_cast<void*>(enum_compare)},
        {Py_nb_int, reinterpret_cast<void*>(enum_int)},
        {Py_tp_doc, const_cast<char*>("")},
        {0, nullptr},
    };
    static inline PyType_Spec type_spec = {
        .name = PyEnum<E>::name,
        .basicsize = sizeof(EnumObject),
        .flags = Py_TPFLAGS_DEFAULT,
        .slots = slots,
    };

    static PyTypeObject* get() {
        if (!type) type = create_enum_type(type_spec, members, instances);
        return type;
    }
};

/// The shared member for `value`, by its ordinal (which PyEnum<E>::ordinal
/// gives where the core value is not a plain enumeration).
template <Enumeration E>
Ref to_py(E value) {
    if (!EnumClass<E>::get()) return {};
    std::size_t index;
    if constexpr (requires { PyEnum<E>::ordinal(value); })
        index = static_cast<std::size_t>(PyEnum<E>::ordinal(value));
    else
        index = static_cast<std::size_t>(value);
    return Ref::borrow(EnumClass<E>::instances[index]);
}

/// The member passed as an argument, or nullopt with TypeError set; an int is not a member.
template <Enumeration E>
std::optional<E> member_arg(PyObject* object, const char* function, const char* argument) {
    PyTypeObject* type = EnumClass<E>::get();
    if (!type) return std::nullopt;
    if (Py_TYPE(object) != type) {
        argument_type_error(function, argument, type->tp_name, object);
        return std::nullopt;
    }
    return static_cast<E>(reinterpret_cast<EnumObject*>(object)->ordinal);
}

// The Python class of each core enumeration: its name and its members in
// declared order.
template <> struct PyEnum<smi::Arch> {
    static constexpr const char* name = "Arch";
    static constexpr EnumMember members[] = {{"Zelk", "ZELK"}};
};
template <> struct PyEnum<smi::CoreStatus> {
    static constexpr const char* name = "CoreStatus";
    static constexpr EnumMember members[] = {{"Available", "Available"}, {"Occupied", "Occupied"}};
};
template <> struct PyEnum<smi::GovernorProfile> {
    static constexpr const char* name = "GovernorProfile";
    static constexpr EnumMember members[] = {{"Performance", "Performance"}, {"PowerSave", "PowerSave"}};
};
// Every core Unknown, whatever bit it carries, is the one member Unknown.
template <> struct PyEnum<smi::ThrottleReason> {
    static constexpr const char* name = "ThrottleReason";
    static constexpr EnumMember members[] = {
        {"Idle", "Idle"},
        {"ThermalSlowdown", "Thermal Slowdown"},
        {"AppPowerCap", "App Power Cap"},
        {"AppClockCap", "App Clock Cap"},
        {"HwClockCap", "HW Clock Cap"},
        {"HwBusLimit", "HW Bus Limit"},
        {"HwPowerCap", "HW Power Cap"},
        {"GovClockCap", "Gov Clock Cap"},
        {"OtherReason", "Other Reason"},
        {"Unknown", "Unknown"},
    };
    static int ordinal(const smi::ThrottleReason& reason) { return static_cast<int>(reason.kind); }
};
template <> struct PyEnum<smi::LinkType> {
    static constexpr const char* name = "LinkType";
    static constexpr EnumMember members[] = {
        {"Unknown", "Unknown"}, {"Interconnect", "Interconnect"}, {"Cpu", "Cpu"}, {"Bridge", "Bridge"}, {"Noc", "Noc"},
    };
};

}  // namespace py
