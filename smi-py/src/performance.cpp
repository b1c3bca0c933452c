#include "classes.hpp"

namespace {

using smi::PePerformanceCounter;

std::string repr(const PePerformanceCounter& counter) {
    return "PePerformanceCounter(cycle_count=" + std::to_string(counter.cycle_count) +
           ", task_execution_cycle=" + std::to_string(counter.task_execution_cycle) + ")";
}

// Seconds, as a float.
double duration_since(const PePerformanceCounter& counter, const PePerformanceCounter& prev) {
    const timespec elapsed = counter.duration_since(prev);
    return static_cast<double>(elapsed.tv_sec) + static_cast<double>(elapsed.tv_nsec) / 1e9;
}

PyMethodDef methods[] = {
    SMI_METHOD("cycle_count", &PePerformanceCounter::cycle_count),
    SMI_METHOD("task_execution_cycle", &PePerformanceCounter::task_execution_cycle),
    SMI_METHOD_OF_ONE("duration_since", "prev", duration_since, py::instance_arg<PePerformanceCounter>),
    SMI_METHOD_OF_ONE("utilization_since", "prev", smi::utilization_since, py::instance_arg<PePerformanceCounter>),
    {},
};

}  // namespace

PyTypeObject* py::PyClass<PePerformanceCounter>::type() {
    return py::value_class<"PePerformanceCounter", PePerformanceCounter, repr, methods>();
}
