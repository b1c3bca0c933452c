#include "classes.hpp"

namespace {

using smi::MemoryInfo;

std::string repr(const MemoryInfo& memory) {
    return "MemoryInfo(total_bytes=" + std::to_string(memory.total_bytes) +
           ", in_use_bytes=" + std::to_string(memory.in_use_bytes) + ")";
}

PyMethodDef methods[] = {
    SMI_METHOD("total_bytes", &MemoryInfo::total_bytes),
    SMI_METHOD("in_use_bytes", &MemoryInfo::in_use_bytes),
    {},
};

}  // namespace

PyTypeObject* py::PyClass<MemoryInfo>::type() {
    return py::value_class<"MemoryInfo", MemoryInfo, repr, methods>();
}
