// modbus_rate SUDZ_MODBUS [ROUNDS]
//
// Loopback round trips of "read 11 discrete inputs + write 11 coils" through
// the bridge, beside the same requests to a bare libmodbus server in this
// process, in alternating batches of the same run; prints both times and
// their ratio. Then the time from a coil write's reply to the cycle of a
// stand-in simulator (the real cycle's exchange and 5 ms pause) that reads
// it, in milliseconds and in cycles.
#include <fcntl.h>
#include <modbus.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "IOshare/IOsharemem_server.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point t) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - t).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The bridge on a free port of the area; returns its pid and port.
pid_t start_bridge(const char* path, int ident, int* port) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl(path, path, "--port", "0", "-automemlink", std::to_string(ident).c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[512];
  ssize_t got;
  while (text.find("listening on") == std::string::npos ||
         text.find(", unit") == std::string::npos) {
    if ((got = read(out[0], buf, sizeof buf)) <= 0) break;
    text.append(buf, got);
  }
  close(out[0]);
  const size_t at = text.find("listening on");
  const size_t colon = text.find(':', at);
  *port = colon == std::string::npos ? 0 : std::atoi(text.c_str() + colon + 1);
  return pid;
}

// A bare libmodbus server answering one client from a mapping.
struct bare_server {
  bare_server() {
    ctx = modbus_new_tcp_pi("127.0.0.1", "0");
    mapping = modbus_mapping_new(11, 11, 11, 22);
    listen_fd = modbus_tcp_pi_listen(ctx, 1);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(listen_fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    thread = std::thread([this] {
      modbus_tcp_pi_accept(ctx, &listen_fd);
      uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
      for (;;) {
        const int rc = modbus_receive(ctx, query);
        if (rc > 0) modbus_reply(ctx, query, rc, mapping);
        if (rc < 0) break;
      }
    });
  }
  ~bare_server() {
    thread.join();
    close(listen_fd);
    modbus_mapping_free(mapping);
    modbus_free(ctx);
  }
  modbus_t* ctx;
  modbus_mapping_t* mapping;
  int listen_fd = -1, port = 0;
  std::thread thread;
};

modbus_t* connect_to(int port) {
  modbus_t* c = modbus_new_tcp("127.0.0.1", port);
  if (c == nullptr || modbus_connect(c) != 0) {
    std::fprintf(stderr, "modbus_rate: cannot connect to port %d\n", port);
    std::exit(1);
  }
  return c;
}

// Microseconds per round trip over a batch.
double batch(modbus_t* c, int trips) {
  uint8_t in[11], coils[11];
  const auto t = clock_type::now();
  for (int k = 0; k < trips; ++k) {
    for (int i = 0; i < 11; ++i) coils[i] = (k + i) & 1;
    if (modbus_read_input_bits(c, 0, 11, in) != 11 || modbus_write_bits(c, 0, 11, coils) != 11) {
      std::fprintf(stderr, "modbus_rate: request failed: %s\n", modbus_strerror(errno));
      std::exit(1);
    }
  }
  return ms_since(t) * 1000.0 / trips;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: modbus_rate SUDZ_MODBUS [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
  std::list<std::string> in = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                               "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
  std::list<std::string> out = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                "AvL", "ArL", "AvR", "T1m", "T5m"};
  IOsharemem_server area(in, out);

  // The stand-in simulator: each cycle publishes, raises the clock, reads
  // the outputs, pauses 5 ms; it notes when output 0 changes.
  std::atomic<bool> stop{false};
  std::atomic<int> cycle{0}, seen_value{0}, seen_cycle{0};
  std::atomic<long> seen_at_ns{0};
  std::thread sim([&] {
    int last = 0;
    while (!stop) {
      for (int i = 0; i < 11; ++i) area.setreset_input(i, i & 1);
      area.inputs_go();
      const int c = ++cycle;
      const int v = area.output_value(0);
      if (v != last) {
        last = v;
        seen_at_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         clock_type::now().time_since_epoch())
                         .count();
        seen_cycle = c;
        seen_value = v;
      }
      usleep(5000);
    }
  });

  int port = 0;
  const pid_t bridge = start_bridge(argv[1], area.memory_ident(), &port);
  if (bridge < 0 || port == 0) {
    std::fprintf(stderr, "modbus_rate: the bridge did not start\n");
    stop = true;
    sim.join();
    return 1;
  }
  int bare_port = 0;
  {
    bare_server bare;
    bare_port = bare.port;
    modbus_t* through = connect_to(port);
    modbus_t* direct = connect_to(bare_port);
    batch(through, 50);  // warm up both
    batch(direct, 50);
    std::vector<double> bridge_us, bare_us, ratios;
    for (int r = 0; r < rounds; ++r) {
      bridge_us.push_back(batch(through, 200));
      bare_us.push_back(batch(direct, 200));
      ratios.push_back(bridge_us.back() / bare_us.back());
    }
    const double b = median(bridge_us), d = median(bare_us);
    std::printf("round trip (read 11 inputs + write 11 coils), median of %d batches of 200:\n",
                rounds);
    std::printf("  through the bridge:       %8.1f us\n", b);
    std::printf("  bare libmodbus server:    %8.1f us\n", d);
    // Neighbouring batches share the machine's load: their ratio is steadier.
    const double ratio = median(ratios);
    std::printf("  ratio, median of the batch pairs: %5.3f (overhead %+.1f %%)\n", ratio,
                100.0 * (ratio - 1.0));

    // Write's reply to the simulator cycle that reads it.
    modbus_write_bits(through, 0, 11, std::vector<uint8_t>(11, 0).data());
    std::vector<double> latency_ms, cycles;
    double worst_cycles = 0;
    for (int k = 1; k <= 100; ++k) {
      const int value = k & 1;
      if (modbus_write_bit(through, 0, value) != 1) break;
      const auto replied = clock_type::now();
      const int at_reply = cycle;
      while (seen_value != value) usleep(50);
      const double ms = (seen_at_ns - std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          replied.time_since_epoch())
                                          .count()) /
                        1e6;
      latency_ms.push_back(std::max(0.0, ms));
      const double c = seen_cycle - at_reply;
      cycles.push_back(c);
      worst_cycles = std::max(worst_cycles, c);
      usleep(1000 * (k % 7));  // writes land at every point of the cycle
    }
    std::sort(latency_ms.begin(), latency_ms.end());
    std::printf("coil write's reply to the simulator's cycle reading it, %zu writes:\n",
                latency_ms.size());
    std::printf(
        "  median %.2f ms, worst %.2f ms; cycles after the reply: median %.0f, worst %.0f\n",
        median(latency_ms), latency_ms.back(), median(cycles), worst_cycles);
    modbus_close(through);
    modbus_free(through);
    modbus_close(direct);
    modbus_free(direct);
  }
  stop = true;
  sim.join();
  area.sharing_terminate();
  int status = 0;
  waitpid(bridge, &status, 0);
  return 0;
}
