#include "performance.hpp"

namespace smi {

timespec PePerformanceCounter::duration_since(const PePerformanceCounter& earlier) const {
    const timespec& from = earlier.timestamp;
    if (timestamp.tv_sec < from.tv_sec || (timestamp.tv_sec == from.tv_sec && timestamp.tv_nsec <= from.tv_nsec))
        return {};
    timespec elapsed{timestamp.tv_sec - from.tv_sec, timestamp.tv_nsec - from.tv_nsec};
    if (elapsed.tv_nsec < 0) {
        --elapsed.tv_sec;
        elapsed.tv_nsec += 1000000000;
    }
    return elapsed;
}

bool PePerformanceCounter::operator==(const PePerformanceCounter& other) const {
    return cycle_count == other.cycle_count && task_execution_cycle == other.task_execution_cycle &&
           timestamp.tv_sec == other.timestamp.tv_sec && timestamp.tv_nsec == other.timestamp.tv_nsec;
}

double utilization_since(const PePerformanceCounter& counter, const PePerformanceCounter& prev) {
    if (prev.cycle_count >= counter.cycle_count) return 0.0;
    const std::uint64_t tasks = counter.task_execution_cycle > prev.task_execution_cycle
                                    ? counter.task_execution_cycle - prev.task_execution_cycle
                                    : 0;
    return static_cast<double>(tasks) / static_cast<double>(counter.cycle_count - prev.cycle_count);
}

}  // namespace smi
