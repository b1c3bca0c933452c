// The cycle counters of one core, with the moment they were read.
#pragma once

#include <cstdint>
#include <ctime>

namespace smi {

struct PePerformanceCounter {
    std::uint64_t cycle_count = 0;
    std::uint64_t task_execution_cycle = 0;  // cycles spent executing tasks
    timespec timestamp{};                    // monotonic clock, when the reading began

    /// The time from `earlier`'s reading to this one; zero when `earlier` is later.
    timespec duration_since(const PePerformanceCounter& earlier) const;

    bool operator==(const PePerformanceCounter& other) const;
};

/// The share of the cycles since `prev` spent executing tasks; 0 when the
/// cycle counter has not grown.
double utilization_since(const PePerformanceCounter& counter, const PePerformanceCounter& prev);

}  // namespace smi
