// Timing helpers shared by the benchmarks that compare against another program: wall-clock
// time and processor time, best of several runs.
#ifndef TSARIN_BENCH_BENCH_TIMING_H
#define TSARIN_BENCH_BENCH_TIMING_H

#include <sys/resource.h>

#include <algorithm>
#include <chrono>

using BenchClock = std::chrono::steady_clock;

inline double Seconds(BenchClock::time_point start) {
  return std::chrono::duration<double>(BenchClock::now() - start).count();
}

// Wall-clock time, and the processor time (user and system), which a busy machine disturbs
// less. Negative when the run failed.
struct Timing {
  double wall = -1;
  double cpu = -1;
};

inline double CpuSeconds(const struct rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Keeps the shortest of each time; a failed run (negative times) never counts.
inline void KeepBest(Timing* best, const Timing& run) {
  best->wall = best->wall < 0 ? run.wall : std::min(best->wall, run.wall);
  best->cpu = best->cpu < 0 ? run.cpu : std::min(best->cpu, run.cpu);
}

#endif  // TSARIN_BENCH_BENCH_TIMING_H
