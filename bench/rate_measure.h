// Measuring helpers for the benchmark programs that run the simulator for
// real: a process's processor time, the exchange area a process made, and
// the simulator's cycle rate against a bare usleep(5000) loop run beside it.
#ifndef BENCH_RATE_MEASURE_H
#define BENCH_RATE_MEASURE_H

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace benchsupport {

// Processor seconds (user and system) that the process or thread whose stat file is at `path`
// has used; 0 when it is gone.
inline double cpu_seconds_at(const std::string& path) {
  std::ifstream f(path);
  std::string stat;
  std::getline(f, stat);
  if (stat.empty()) return 0;
  std::istringstream in(stat.substr(stat.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

inline double cpu_seconds(pid_t pid) {
  return cpu_seconds_at("/proc/" + std::to_string(pid) + "/stat");
}

// The first shared-memory segment `creator` made, looked for `tries` times
// 10 ms apart; -1 when there is none.
inline int segment_of(pid_t creator, int tries) {
  for (int i = 0; i < tries; ++i) {
    std::vector<int> ids = testsupport::segments_created_by({creator});
    if (!ids.empty()) return ids.front();
    usleep(10000);
  }
  return -1;
}

// What measure_rate saw over its seconds.
struct rate_run {
  double elapsed = 0;       // seconds, as measured
  int cycles = 0;           // steps of the input clock
  long bare = 0;            // rounds of the bare usleep(5000) loop
  double bare_cpu = 0;      // processor seconds of the bare loop, counted as for the others
  std::vector<double> cpu;  // processor seconds of each watched process
};

// Sleeps `seconds` while a bare usleep(5000) loop runs beside, and counts
// the steps of `clock` (the input clock of an exchange area) and the
// processor time of each of `pids` (0 where the pid is not above 0).
inline rate_run measure_rate(const volatile int* clock, double seconds,
                             const std::vector<pid_t>& pids) {
  using clock_type = std::chrono::steady_clock;
  auto cpu_now = [&] {
    std::vector<double> v;
    for (pid_t p : pids) v.push_back(p > 0 ? cpu_seconds(p) : 0.0);
    return v;
  };
  std::atomic<bool> stop{false};
  std::atomic<long> loop_tid{0};
  rate_run run;
  std::thread loop([&] {
    loop_tid = syscall(SYS_gettid);
    while (!stop) {
      usleep(5000);
      ++run.bare;
    }
  });
  while (loop_tid == 0) std::this_thread::yield();
  const std::string loop_stat = "/proc/self/task/" + std::to_string(loop_tid) + "/stat";
  const auto t0 = clock_type::now();
  const int c0 = *clock;
  const std::vector<double> cpu0 = cpu_now();
  const double bare_cpu0 = cpu_seconds_at(loop_stat);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  run.cycles = *clock - c0;
  run.cpu = cpu_now();
  run.bare_cpu = cpu_seconds_at(loop_stat) - bare_cpu0;
  run.elapsed = std::chrono::duration<double>(clock_type::now() - t0).count();
  stop = true;
  loop.join();
  for (size_t k = 0; k < pids.size(); ++k) run.cpu[k] -= cpu0[k];
  return run;
}

}  // namespace benchsupport

#endif  // BENCH_RATE_MEASURE_H
