// Conversions between core values and Python objects, in both directions,
// and the raising of core errors.
#pragma once

#include <cstdint>
#include <concepts>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "ref.hpp"

namespace py {

// ---- errors

/// The exception class for a core error kind, or `SmiError` itself for
/// nullopt; created once per process. Null, with an exception set, on failure.
PyObject* exception_class(std::optional<smi::SmiError::Kind> kind);

/// The exception that reports `error`: its class chosen by kind, its only
/// argument the error's text.
Ref to_py_err(smi::SmiError error);

/// Sets the exception for `error`; returns an empty reference for the caller to return.
Ref raise(smi::SmiError error);

/// Runs a body that makes a new reference and hands it to the interpreter;
/// a C++ exception (only an allocation failure can arise) becomes MemoryError.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body().release();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::length_error&) {
        return PyErr_NoMemory();
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unexpected C++ exception in tarvina_smi");
        return nullptr;
    }
}

// ---- core values to Python

inline Ref to_py(bool value) { return Ref::borrow(value ? Py_True : Py_False); }

template <std::integral T> requires(!std::same_as<T, bool>)
Ref to_py(T value) {
    if constexpr (std::is_signed_v<T>)
        return Ref::steal(PyLong_FromLongLong(value));
    else
        return Ref::steal(PyLong_FromUnsignedLongLong(value));
}

inline Ref to_py(double value) { return Ref::steal(PyFloat_FromDouble(value)); }

// Core texts are UTF-8; "surrogatepass" returns a str argument's lone
// surrogates unchanged when a message quotes it.
inline Ref to_py(std::string_view text) {
    return Ref::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogatepass"));
}
inline Ref to_py(const std::string& text) { return to_py(std::string_view(text)); }
inline Ref to_py(const char* text) { return to_py(std::string_view(text)); }

// Core records and enumerations, whose classes classes.hpp declares.
template <class T> struct PyClass;
template <class T> concept Wrapped = requires { PyClass<T>::type(); };
template <Wrapped T> Ref to_py(const T& value);
template <class E> struct PyEnum;
template <class E> concept Enumeration = requires { PyEnum<E>::members; };
template <Enumeration E> Ref to_py(E value);

/// A result already converted, passed through.
inline Ref to_py(Ref object) { return object; }

inline Ref none() { return Ref::borrow(Py_None); }

template <class T> Ref to_py(const std::optional<T>& value) { return value ? to_py(*value) : none(); }

template <class T>
Ref to_py(const std::vector<T>& values) {
    auto list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return list;
    for (std::size_t i = 0; i < values.size(); ++i) {
        auto item = to_py(values[i]);
        if (!item) return item;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item.release());
    }
    return list;
}

// An ordered map becomes a dict filled in ascending key order.
template <class K, class V>
Ref to_py(const std::map<K, V>& entries) {
    auto dict = Ref::steal(PyDict_New());
    if (!dict) return dict;
    for (const auto& [key, value] : entries) {
        auto k = to_py(key), v = to_py(value);
        if (!k || !v || PyDict_SetItem(dict.get(), k.get(), v.get()) < 0) return {};
    }
    return dict;
}

template <class T>
Ref to_py(const smi::Result<T>& result) {
    if (!result) return raise(result.error());
    if constexpr (std::is_void_v<T>)
        return none();
    else
        return to_py(*result);
}

// ---- Python arguments to core values

/// A type error in the interpreter's wording: "f() argument 'x' must be str, not int".
void argument_type_error(const char* function, const char* argument, const char* expected, PyObject* given);

// Each reader gives the argument as a core value, or nullopt with TypeError
// (wrong type) or OverflowError (an integer out of range) set; both messages
// name the function and the argument.

inline std::optional<std::string> text_arg(PyObject* object, const char* function, const char* argument) {
    if (!PyUnicode_Check(object)) {
        argument_type_error(function, argument, "str", object);
        return std::nullopt;
    }
    auto bytes = Ref::steal(PyUnicode_AsEncodedString(object, "utf-8", "surrogatepass"));
    if (!bytes) return std::nullopt;
    return std::string(PyBytes_AS_STRING(bytes.get()), PyBytes_GET_SIZE(bytes.get()));
}

template <std::integral T> requires(!std::same_as<T, bool>)
std::optional<T> int_arg(PyObject* object, const char* function, const char* argument) {
    if (!PyIndex_Check(object)) {
        argument_type_error(function, argument, "int", object);
        return std::nullopt;
    }
    auto index = Ref::steal(PyNumber_Index(object));
    if (!index) return std::nullopt;
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (value == -1 && PyErr_Occurred()) return std::nullopt;
    using Limits = std::numeric_limits<T>;
    if (overflow == 0 && value >= static_cast<long long>(Limits::min()) && (std::is_signed_v<T> || value >= 0) &&
        static_cast<unsigned long long>(value) <= static_cast<unsigned long long>(Limits::max()))
        return static_cast<T>(value);
    if constexpr (std::is_same_v<T, std::uint64_t>) {
        // Values above the signed range may still fit 64 unsigned bits.
        if (overflow > 0) {
            const unsigned long long big = PyLong_AsUnsignedLongLong(index.get());
            if (!PyErr_Occurred()) return big;
            PyErr_Clear();
        }
    }
    PyErr_Format(PyExc_OverflowError, "%s() argument '%s' is out of range (%lld to %llu)", function, argument,
                 static_cast<long long>(Limits::min()), static_cast<unsigned long long>(Limits::max()));
    return std::nullopt;
}

/// Parses the arguments of a call by position or keyword, with the
/// interpreter's messages for missing, surplus and unknown arguments.
/// `format` is PyArg_ParseTupleAndKeywords's, e.g. "O:get_pci_device".
template <class... Out>
bool parse_args(PyObject* args, PyObject* kwargs, const char* format, const char* const* keywords, Out**... out) {
    return PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), out...) != 0;
}

}  // namespace py
