// An owned reference to a Python object.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace py {

class Ref {
public:
    Ref() = default;
    /// Takes over a new reference (which may be null, with an exception set).
    static Ref steal(PyObject* object) { return Ref(object); }
    /// Adds a reference to a borrowed object.
    static Ref borrow(PyObject* object) {
        Py_XINCREF(object);
        return Ref(object);
    }

    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        Py_XDECREF(std::exchange(object_, std::exchange(other.object_, nullptr)));
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    /// Hands the reference to the caller.
    PyObject* release() { return std::exchange(object_, nullptr); }
    explicit operator bool() const { return object_ != nullptr; }

private:
    explicit Ref(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

}  // namespace py
