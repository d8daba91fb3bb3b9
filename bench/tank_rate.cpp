// tank_rate SUDZ WASHING_PROGRAMME SUDZ_TANK TANK_PID [SECONDS] [ROUNDS]
//
// The heated tank's cycle cost beside the washing machine's, in the same run: each round runs
// the washing machine with its programme, then the tank with its PID controller (filling from
// empty, trend chart drawing), each for SECONDS (10 by default) beside a bare usleep(5000)
// loop. For each it prints the cycles per second against the bare loop's and the processor
// time per cycle, read from the scheduler's nanosecond count; then the median over the ROUNDS
// (3 by default) of the tank's cost over the washing machine's, and of each ratio to the loop.
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "rate_measure.h"

namespace {

// Nanoseconds the process has run on a processor (first field of its schedstat).
double run_ns(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/schedstat");
  double ns = 0;
  f >> ns;
  return ns;
}

struct plant_run {
  double ratio = 0;    // cycles per second over the bare loop's rounds per second
  double cost_us = 0;  // processor microseconds per cycle
};

bool run_plant(const char* plant, const char* controller, double seconds, plant_run* out) {
  std::fflush(stdout);  // or the child would write what is buffered once more
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execl(plant, plant, controller, static_cast<char*>(nullptr));
    _exit(127);
  }
  const int id = benchsupport::segment_of(pid, 500);
  if (id < 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
  }
  auto* area = static_cast<const volatile int*>(shmat(id, nullptr, SHM_RDONLY));
  while (area[0] < 10) usleep(10000);  // past the first showing
  const double ns0 = run_ns(pid);
  const benchsupport::rate_run run = benchsupport::measure_rate(area, seconds, {});
  const double ns1 = run_ns(pid);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  shmdt(const_cast<int*>(area));
  out->ratio = static_cast<double>(run.cycles) / static_cast<double>(run.bare);
  out->cost_us = run.cycles > 0 ? (ns1 - ns0) / 1e3 / run.cycles : 0;
  return true;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: tank_rate SUDZ WASHING_PROGRAMME SUDZ_TANK TANK_PID [SECONDS] [ROUNDS]\n");
    return 2;
  }
  const double seconds = argc > 5 ? std::atof(argv[5]) : 10.0;
  const int rounds = argc > 6 ? std::atoi(argv[6]) : 3;
  std::vector<double> costs, washing_ratios, tank_ratios;
  for (int r = 0; r < rounds; ++r) {
    plant_run washing, tank;
    if (!run_plant(argv[1], argv[2], seconds, &washing) ||
        !run_plant(argv[3], argv[4], seconds, &tank)) {
      std::fprintf(stderr, "tank_rate: a plant made no exchange area\n");
      return 1;
    }
    std::printf(
        "round %d: washing machine %.1f us/cycle, ratio %.3f; tank %.1f us/cycle, "
        "ratio %.3f; tank/washing %.2f\n",
        r + 1, washing.cost_us, washing.ratio, tank.cost_us, tank.ratio,
        tank.cost_us / washing.cost_us);
    costs.push_back(tank.cost_us / washing.cost_us);
    washing_ratios.push_back(washing.ratio);
    tank_ratios.push_back(tank.ratio);
  }
  std::printf("median tank/washing cycle cost: %.2f (goal: at most 1.5)\n", median(costs));
  std::printf(
      "median ratio to the bare loop: tank %.3f, washing machine %.3f (goal: at least "
      "0.99)\n",
      median(tank_ratios), median(washing_ratios));
  return 0;
}
