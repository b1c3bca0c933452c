#include "classes.hpp"
#include "number.hpp"

namespace {

using smi::DeviceTemperature;

std::string repr(const DeviceTemperature& temperature) {
    return "DeviceTemperature(soc_peak=" + smi::format_float(temperature.soc_peak) +
           ", ambient=" + smi::format_float(temperature.ambient) + ")";
}

PyMethodDef methods[] = {
    SMI_METHOD("soc_peak", &DeviceTemperature::soc_peak),
    SMI_METHOD("ambient", &DeviceTemperature::ambient),
    {},
};

}  // namespace

PyTypeObject* py::PyClass<DeviceTemperature>::type() {
    return py::value_class<"DeviceTemperature", DeviceTemperature, repr, methods>();
}
