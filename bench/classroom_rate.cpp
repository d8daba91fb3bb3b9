// classroom_rate SECONDS SHMID...
//
// Counts the steps of the input clock of every exchange area named over
// SECONDS, while a bare usleep(5000) loop runs beside them, and prints one
// line: elapsed seconds, rounds of the bare loop, then the steps of each area
// in the order given. Used by classroom_bench.py, which runs the class.
#include <sys/shm.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: classroom_rate SECONDS SHMID...\n");
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  std::vector<const volatile int*> clocks;
  for (int i = 2; i < argc; ++i) {
    void* p = shmat(std::atoi(argv[i]), nullptr, SHM_RDONLY);
    if (p == reinterpret_cast<void*>(-1)) {
      std::fprintf(stderr, "classroom_rate: cannot attach %s\n", argv[i]);
      return 1;
    }
    clocks.push_back(static_cast<const volatile int*>(p));
  }
  std::atomic<bool> stop{false};
  long bare = 0;
  std::thread loop([&] {
    while (!stop) {
      usleep(5000);
      ++bare;
    }
  });
  const auto t0 = std::chrono::steady_clock::now();
  std::vector<int> c0;
  for (auto* c : clocks) c0.push_back(static_cast<int>(*c));
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  std::vector<int> c1;
  for (auto* c : clocks) c1.push_back(static_cast<int>(*c));
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  stop = true;
  loop.join();
  std::printf("%.3f %ld", elapsed, bare);
  for (size_t k = 0; k < clocks.size(); ++k) std::printf(" %d", c1[k] - c0[k]);
  std::printf("\n");
  return 0;
}
