// sim_rate SUDZ CONTROLLER [SECONDS]
//
// Runs the simulator with a controller for SECONDS (10 by default), counts
// its cycles by the input clock of the exchange area and its processor
// time, and measures a bare loop of usleep(5000) over the same seconds.
// Prints both rates, their ratio, the simulator's share of one core and the
// controller's (found by the "-automemlink <id>" it was started with).
#include <dirent.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "rate_measure.h"

namespace {

// The process started with "-automemlink" and id among its arguments, or 0.
pid_t controller_of(int id) {
  const std::string ident = std::to_string(id);
  DIR* proc = opendir("/proc");
  pid_t found = 0;
  while (dirent* e = proc != nullptr && found == 0 ? readdir(proc) : nullptr) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/cmdline");
    std::string previous;
    for (std::string arg; std::getline(f, arg, '\0');) {
      if (previous == "-automemlink" && arg == ident) found = pid;
      previous = arg;
    }
  }
  if (proc != nullptr) closedir(proc);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: sim_rate SUDZ CONTROLLER [SECONDS]\n");
    return 2;
  }
  double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;

  pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    execl(argv[1], argv[1], argv[2], static_cast<char*>(nullptr));
    _exit(127);
  }
  const int id = benchsupport::segment_of(pid, 500);
  if (id < 0) {
    std::fprintf(stderr, "sim_rate: the simulator made no exchange area\n");
    kill(pid, SIGKILL);
    return 1;
  }
  auto* area = static_cast<const volatile int*>(shmat(id, nullptr, SHM_RDONLY));
  while (area[0] < 10) usleep(10000);  // past the first showing
  const pid_t controller = controller_of(id);

  // The bare loop runs beside the simulator, over the same seconds.
  const benchsupport::rate_run run = benchsupport::measure_rate(area, seconds, {pid, controller});

  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  shmdt(const_cast<int*>(area));

  const double elapsed = run.elapsed;
  double sim_rate = run.cycles / elapsed;
  double bare_rate = run.bare / elapsed;
  std::printf("simulator cycles per second:      %8.1f\n", sim_rate);
  std::printf("bare usleep(5000) loops per second: %8.1f\n", bare_rate);
  std::printf("ratio:                             %8.3f\n", sim_rate / bare_rate);
  std::printf("simulator processor use:          %7.1f %% of one core\n",
              100.0 * run.cpu[0] / elapsed);
  std::printf("bare loop's processor use:        %7.1f %% of one core\n",
              100.0 * run.bare_cpu / elapsed);
  if (controller > 0) {
    std::printf("controller processor use:         %7.1f %% of one core\n",
                100.0 * run.cpu[1] / elapsed);
  }
  return 0;
}
