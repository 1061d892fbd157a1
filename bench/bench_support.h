// Small pieces shared by the benchmark files.
#ifndef BENCH_SUPPORT_H
#define BENCH_SUPPORT_H

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Largest of the repetitions, beside mean, median and spread.
double maxOf(const std::vector<double>& v);

}  // namespace bench

#endif
