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

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace {

using clock_type = std::chrono::steady_clock;

double cpu_seconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(f, stat);
  std::istringstream in(stat.substr(stat.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

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
  int id = -1;
  for (int i = 0; i < 500 && id < 0; ++i) {
    std::vector<int> ids = testsupport::segments_created_by({pid});
    if (!ids.empty()) {
      id = ids.front();
    } else {
      usleep(10000);
    }
  }
  if (id < 0) {
    std::fprintf(stderr, "sim_rate: the simulator made no exchange area\n");
    kill(pid, SIGKILL);
    return 1;
  }
  auto* area = static_cast<const volatile int*>(shmat(id, nullptr, SHM_RDONLY));
  while (area[0] < 10) usleep(10000);  // past the first showing
  const pid_t controller = controller_of(id);

  // The bare loop runs beside the simulator, over the same seconds.
  std::atomic<bool> stop{false};
  long bare = 0;
  std::thread loop([&] {
    while (!stop) {
      usleep(5000);
      ++bare;
    }
  });
  auto t0 = clock_type::now();
  int c0 = area[0];
  double cpu0 = cpu_seconds(pid);
  double ctrl0 = controller > 0 ? cpu_seconds(controller) : 0.0;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  int c1 = area[0];
  double cpu1 = cpu_seconds(pid);
  double ctrl1 = controller > 0 ? cpu_seconds(controller) : 0.0;
  auto t1 = clock_type::now();
  stop = true;
  loop.join();
  double elapsed = std::chrono::duration<double>(t1 - t0).count();

  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  shmdt(const_cast<int*>(area));

  double sim_rate = (c1 - c0) / elapsed;
  double bare_rate = bare / elapsed;
  std::printf("simulator cycles per second:      %8.1f\n", sim_rate);
  std::printf("bare usleep(5000) loops per second: %8.1f\n", bare_rate);
  std::printf("ratio:                             %8.3f\n", sim_rate / bare_rate);
  std::printf("simulator processor use:          %7.1f %% of one core\n",
              100.0 * (cpu1 - cpu0) / elapsed);
  if (controller > 0) {
    std::printf("controller processor use:         %7.1f %% of one core\n",
                100.0 * (ctrl1 - ctrl0) / elapsed);
  }
  return 0;
}
