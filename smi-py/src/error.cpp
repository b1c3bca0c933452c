#include "convert.hpp"

namespace py {

using Kind = smi::SmiError::Kind;

// SmiError first, then one class per kind in the order of the kinds.
static const char* const EXCEPTION_NAMES[] = {
    "tarvina_smi.SmiError",
    "tarvina_smi.UnknownArchError",
    "tarvina_smi.ParseError",
    "tarvina_smi.IoError",
    "tarvina_smi.DeviceNotAvailableError",
    "tarvina_smi.DeviceNotFoundError",
    "tarvina_smi.UnexpectedValueError",
};
static PyObject* exception_classes[std::size(EXCEPTION_NAMES)] = {};

PyObject* exception_class(std::optional<Kind> kind) {
    const std::size_t i = kind ? static_cast<std::size_t>(*kind) + 1 : 0;
    if (!exception_classes[i]) {
        PyObject* base = i == 0 ? PyExc_Exception : exception_class(std::nullopt);
        if (!base) return nullptr;
        exception_classes[i] = PyErr_NewException(EXCEPTION_NAMES[i], base, nullptr);
    }
    return exception_classes[i];
}

Ref to_py_err(smi::SmiError error) {
    PyObject* type = exception_class(error.kind);
    if (!type) return {};
    auto text = to_py(to_string(error));
    if (!text) return {};
    return Ref::steal(PyObject_CallOneArg(type, text.get()));
}

Ref raise(smi::SmiError error) {
    auto exception = to_py_err(std::move(error));
    if (exception) PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.get())), exception.get());
    return {};
}

}  // namespace py
