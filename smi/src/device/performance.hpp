// The cycle counters of one core, with the moment they were read.
#pragma once

#include <cstdint>
#include <ctime>

namespace smi {

struct PePerformanceCounter {
    std::uint64_t cycle_count = 0;
    std::uint64_t task_execution_cycle = 0;
    timespec timestamp{};  // monotonic clock
};

}  // namespace smi
