// classroom_pairs SIMULATOR CONTROLLER PAIRS [SECONDS]
//
// A classroom on one machine: PAIRS simulators, each with its controller, all under the one X
// server this runs in (scripts/with-xvfb). Once every simulator runs, counts each one's cycles
// by the input clock of its exchange area over SECONDS (20 by default) beside a bare
// usleep(5000) loop, and prints the median and the slowest ratio of a simulator's rate to the
// loop's, the processor use of all the simulators and of the X server (the Xvfb started beside
// this program), and the load average; then, for scale, the processor use of as many processes
// that only run the bare loop, over the same seconds.
#include <dirent.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "rate_measure.h"

namespace {

// The X server started beside this program by the same shell, or 0.
pid_t sibling_named(const std::string& name) {
  const pid_t parent = getppid();
  DIR* proc = opendir("/proc");
  pid_t found = 0;
  while (dirent* e = proc != nullptr && found == 0 ? readdir(proc) : nullptr) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    std::getline(f, stat);
    const auto open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string comm = stat.substr(open + 1, close - open - 1);
    int ppid = 0;
    std::sscanf(stat.c_str() + close + 2, "%*c %d", &ppid);
    if (comm == name && ppid == parent) found = pid;
  }
  if (proc != nullptr) closedir(proc);
  return found;
}

struct simulator {
  pid_t pid = -1;
  const volatile int* clock = nullptr;
  int start = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: classroom_pairs SIMULATOR CONTROLLER PAIRS [SECONDS]\n");
    return 2;
  }
  const int pairs = std::atoi(argv[3]);
  const double seconds = argc > 4 ? std::atof(argv[4]) : 20.0;
  const pid_t xserver = sibling_named("Xvfb");

  std::vector<simulator> sims(pairs);
  for (simulator& s : sims) {
    s.pid = fork();
    if (s.pid == 0) {
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execl(argv[1], argv[1], argv[2], static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  auto stop_all = [&] {
    for (simulator& s : sims) kill(s.pid, SIGTERM);
    for (simulator& s : sims) waitpid(s.pid, nullptr, 0);
    for (simulator& s : sims)
      if (s.clock != nullptr) shmdt(const_cast<int*>(s.clock));
  };
  for (simulator& s : sims) {
    const int id = benchsupport::segment_of(s.pid, 6000);
    if (id >= 0) s.clock = static_cast<const volatile int*>(shmat(id, nullptr, SHM_RDONLY));
    if (s.clock == nullptr || s.clock == reinterpret_cast<void*>(-1)) {
      std::fprintf(stderr, "classroom_pairs: a simulator made no exchange area\n");
      s.clock = nullptr;
      stop_all();
      return 1;
    }
  }
  // Every simulator past its first showing, then a few seconds to settle.
  for (simulator& s : sims)
    while (*s.clock < 10) usleep(10000);
  sleep(3);

  std::vector<pid_t> watched;
  for (const simulator& s : sims) watched.push_back(s.pid);
  watched.push_back(xserver);
  for (simulator& s : sims) s.start = *s.clock;
  // measure_rate counts the first clock; the others are read here at its end.
  const benchsupport::rate_run run = benchsupport::measure_rate(sims[0].clock, seconds, watched);
  std::vector<double> ratios;
  const double bare_rate = run.bare / run.elapsed;
  for (const simulator& s : sims) ratios.push_back((*s.clock - s.start) / run.elapsed / bare_rate);
  double load = 0;
  std::ifstream("/proc/loadavg") >> load;
  stop_all();

  // For scale, as many processes that only pause 5000 microseconds, over the same seconds: what
  // waking 200 times a second costs here before any work.
  std::vector<pid_t> loops(pairs);
  for (pid_t& p : loops) {
    p = fork();
    if (p == 0) {
      for (;;) usleep(5000);
    }
  }
  sleep(3);
  double loops_cpu = 0;
  for (pid_t p : loops) loops_cpu -= benchsupport::cpu_seconds(p);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  for (pid_t p : loops) loops_cpu += benchsupport::cpu_seconds(p);
  for (pid_t p : loops) kill(p, SIGKILL);
  for (pid_t p : loops) waitpid(p, nullptr, 0);

  std::sort(ratios.begin(), ratios.end());
  double sim_cpu = 0;
  for (int k = 0; k < pairs; ++k) sim_cpu += run.cpu[k];
  std::printf("pairs:                             %8d\n", pairs);
  std::printf("bare usleep(5000) loops per second: %8.1f\n", bare_rate);
  std::printf("median ratio:                      %8.3f\n", ratios[ratios.size() / 2]);
  std::printf("slowest ratio:                     %8.3f\n", ratios.front());
  std::printf("simulators' processor use:         %7.1f %% of one core\n",
              100.0 * sim_cpu / run.elapsed);
  if (xserver > 0)
    std::printf("X server's processor use:          %7.1f %% of one core\n",
                100.0 * run.cpu[pairs] / run.elapsed);
  std::printf("as many bare loops' processor use:  %7.1f %% of one core (measured after)\n",
              100.0 * loops_cpu / seconds);
  std::printf("load average (1 min):              %8.2f\n", load);
  return 0;
}
