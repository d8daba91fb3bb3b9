// trace_bench SUDZ SUDZ_TRACE CONTROLLER [SECONDS] [OUTDIR]
//
// Two measures of the sudz-trace proxy.
// 1. Latency and processor use, without a display: this program plays a
//    simulator cycling every 5 ms; each cycle it publishes inputs and times
//    how long the proxy takes to raise the controller's clock, then writes
//    an output in the controller's area and times how long the proxy takes
//    to carry it up. It looks every 20 us while it waits (spinning would take
//    a core from a two-core machine), so the figures include up to ~0.1 ms
//    of its own.
// 2. A real run: SUDZ with the proxy and CONTROLLER (fast timers, start
//    pressed) for SECONDS (60 by default): the simulator's cycle rate
//    against a bare usleep(5000) loop measured beside it, the proxy's
//    processor use, and the size of the VCD trace, also scaled to 10 min.
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"
#include "plantkit/plant_start.h"
#include "rate_measure.h"

namespace {

using benchsupport::cpu_seconds;
using clock_type = std::chrono::steady_clock;

// The process that attached an area last, once it is attached `attaches` times.
pid_t last_attacher(int ident, unsigned attaches) {
  for (int i = 0; i < 1000; ++i) {
    shmid_ds ds;
    if (shmctl(ident, IPC_STAT, &ds) == 0 && ds.shm_nattch >= attaches) return ds.shm_lpid;
    usleep(10000);
  }
  return 0;
}

double micros(clock_type::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

void print_latency(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  std::printf("%-28s mean %6.0f us  median %6.0f us  p99 %6.0f us  max %6.0f us\n", what,
              sum / v.size(), v[v.size() / 2], v[v.size() * 99 / 100], v.back());
}

int latency(const std::string& trace) {
  // An area the size of the washing machine's.
  const std::list<std::string> in = {"T",   "Niv", "Vide", "Tr",   "St",  "Prel",
                                     "Lav", "Rinc", "Ess", "T1mt", "T5mt"};
  const std::list<std::string> out = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                      "AvL", "ArL", "AvR", "T1m", "T5m"};
  IOsharemem_server up(in, out);
  const char* poll = std::getenv("TRACE_POLL_US");
  const std::string command =
      trace + (poll != nullptr ? std::string(" --poll-us ") + poll : "") + " -- /bin/true ";
  if (std::system(launch_text(command, up.memory_ident()).c_str()) != 0) return 1;
  const pid_t proxy = last_attacher(up.memory_ident(), 3);
  const int down_id = benchsupport::segment_of(proxy, 1000);
  if (proxy <= 0 || down_id < 0) {
    std::fprintf(stderr, "trace_bench: the proxy did not start\n");
    up.sharing_terminate();
    return 1;
  }
  auto* down = static_cast<ioshare::exchange_area*>(shmat(down_id, nullptr, 0));
  std::vector<double> in_us, out_us;
  const int rounds = 2000;
  double cpu0 = 0;
  clock_type::time_point start = clock_type::now();
  std::srand(1);
  // Cycles every 5 ms on a fixed schedule, as the simulator's pace; the
  // output is written at a random moment between two cycles.
  for (int r = 0; r < rounds + 20; ++r) {
    if (r == 20) {  // past the start
      cpu0 = cpu_seconds(proxy);
      start = clock_type::now();
    }
    const auto cycle_at = start + std::chrono::microseconds(5000 * (r - (r >= 20 ? 20 : 0)));
    std::this_thread::sleep_until(cycle_at);
    up.setreset_input(r % 11, r & 1);
    up.inputs_go();
    const int target = r + 1;
    auto t0 = clock_type::now();
    while (__atomic_load_n(&down->inputs_clock, __ATOMIC_ACQUIRE) < target) usleep(20);
    if (r >= 20) in_us.push_back(micros(clock_type::now() - t0));
    std::this_thread::sleep_until(cycle_at + std::chrono::microseconds(1000 + std::rand() % 3000));
    const int value = r + 100;
    t0 = clock_type::now();
    __atomic_store_n(&down->output_values[r % 11], value, __ATOMIC_RELAXED);
    while (up.output_value(r % 11) != value) usleep(20);
    if (r >= 20) out_us.push_back(micros(clock_type::now() - t0));
  }
  const double elapsed = std::chrono::duration<double>(clock_type::now() - start).count();
  const double cpu = cpu_seconds(proxy) - cpu0;
  up.sharing_terminate();
  shmdt(down);
  print_latency("added latency, inputs down:", in_us);
  print_latency("added latency, outputs up:", out_us);
  std::printf(
      "proxy processor use at 200 cycles/s, an output change each: %.2f %% of one core\n"
      "(the measuring side looks every 20 us while it waits)\n",
      100.0 * cpu / elapsed);
  return 0;
}

int real_run(const std::string& sudz, const std::string& trace, const std::string& controller,
             double seconds, const std::string& dir) {
  const std::string vcd = dir + "/bench-trace.vcd";
  const std::string command =
      trace + " --fast-timers --set St=1@0 --vcd " + vcd + " -- " + controller;
  std::fflush(nullptr);
  const pid_t sim = fork();
  if (sim == 0) {
    if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
    execl(sudz.c_str(), sudz.c_str(), command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const int up_id = benchsupport::segment_of(sim, 1000);
  const pid_t proxy = up_id >= 0 ? last_attacher(up_id, 3) : 0;
  if (proxy <= 0) {
    std::fprintf(stderr, "trace_bench: no proxy in the real run\n");
    kill(sim, SIGKILL);
    waitpid(sim, nullptr, 0);
    return 1;
  }
  auto* area = static_cast<const volatile int*>(shmat(up_id, nullptr, SHM_RDONLY));
  while (area[0] < 10) usleep(10000);
  const benchsupport::rate_run run = benchsupport::measure_rate(area, seconds, {proxy});
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);
  shmdt(const_cast<int*>(area));
  struct stat st = {};
  for (int i = 0; i < 500 && (stat(vcd.c_str(), &st) != 0 || st.st_size == 0); ++i) usleep(10000);
  usleep(200000);  // written whole
  stat(vcd.c_str(), &st);

  const double elapsed = run.elapsed;
  const double rate = run.cycles / elapsed, bare_rate = run.bare / elapsed;
  std::printf("simulator with the proxy, cycles per second: %8.1f\n", rate);
  std::printf("bare usleep(5000) loops per second:          %8.1f\n", bare_rate);
  std::printf("ratio:                                       %8.3f\n", rate / bare_rate);
  std::printf("proxy processor use in the run:              %7.2f %% of one core\n",
              100.0 * run.cpu[0] / elapsed);
  std::printf("VCD of the %.0f s run: %ld bytes; scaled to 10 min: %.0f kB\n", seconds,
              static_cast<long>(st.st_size), st.st_size * 600.0 / seconds / 1000.0);
  if (std::getenv("TRACE_KEEP") == nullptr) unlink(vcd.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  double load = 0;
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  std::printf("load average at the start: %.2f on %ld cores\n", load,
              sysconf(_SC_NPROCESSORS_ONLN));
  if (argc < 4) {
    std::fprintf(stderr, "usage: trace_bench SUDZ SUDZ_TRACE CONTROLLER [SECONDS] [OUTDIR]\n");
    return 2;
  }
  const double seconds = argc > 4 ? std::atof(argv[4]) : 60.0;
  const std::string dir = argc > 5 ? argv[5] : "/tmp";
  if (latency(argv[2]) != 0) return 1;
  return real_run(argv[1], argv[2], argv[3], seconds, dir);
}
