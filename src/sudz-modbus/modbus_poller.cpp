#include "sudz-modbus/modbus_poller.h"

#include <modbus.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sudz-modbus/area_link.h"

namespace {

constexpr int kRetryMs = 1000;
constexpr uint32_t kTimeoutUs = 300000;

// Waits up to ms for the end; true once it has come.
bool wait_for_end(const area_link& area, int ms) {
  pollfd fd{area.end_fd(), POLLIN, 0};
  return poll(&fd, 1, ms) > 0;
}

// One exchange: inputs out, outputs in. False when the server is lost.
bool exchange(modbus_t* ctx, area_link& area, const bridge_options& o) {
  const std::vector<int> in = area.inputs(nullptr);
  const int n = static_cast<int>(in.size()), m = area.output_count();
  if (o.registers) {
    std::vector<uint16_t> words(in.begin(), in.end());
    if (n > 0 && modbus_write_registers(ctx, o.in_offset, n, words.data()) != n) return false;
    words.assign(m, 0);
    if (m > 0 && modbus_read_registers(ctx, o.out_offset, m, words.data()) != m) return false;
    for (int i = 0; i < m; ++i) area.set_output(i, words[i]);
  } else {
    std::vector<uint8_t> bits(n);
    for (int i = 0; i < n; ++i) bits[i] = in[i] != 0;
    if (n > 0 && modbus_write_bits(ctx, o.in_offset, n, bits.data()) != n) return false;
    bits.assign(m, 0);
    if (m > 0 && modbus_read_bits(ctx, o.out_offset, m, bits.data()) != m) return false;
    for (int i = 0; i < m; ++i) area.set_output(i, bits[i] ? 1 : 0);
  }
  return true;
}

}  // namespace

int run_poller(area_link& area, const bridge_options& o) {
  const std::string server = (o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host) +
                             ":" + std::to_string(o.client_port);
  modbus_t* ctx = modbus_new_tcp_pi(o.host.c_str(), std::to_string(o.client_port).c_str());
  if (ctx == nullptr) {
    std::fprintf(stderr, "sudz-modbus: cannot set up libmodbus: %s\n", modbus_strerror(errno));
    return 1;
  }
  modbus_set_slave(ctx, o.client_unit);
  modbus_set_response_timeout(ctx, 0, kTimeoutUs);
  if (modbus_connect(ctx) != 0) {
    std::fprintf(stderr, "sudz-modbus: cannot reach the Modbus server %s: %s\n", server.c_str(),
                 modbus_strerror(errno));
    modbus_free(ctx);
    return 1;
  }
  std::printf("sudz-modbus: polling %s every %d ms (unit %d, %s from %d in, from %d out)\n",
              server.c_str(), o.poll_ms, o.client_unit, o.registers ? "holding registers" : "coils",
              o.in_offset, o.out_offset);
  std::fflush(stdout);

  bool connected = true;
  for (;;) {
    if (connected) {
      if (!exchange(ctx, area, o)) {
        std::fprintf(stderr,
                     "sudz-modbus: lost the Modbus server %s (%s): outputs set to 0, "
                     "retrying every second\n",
                     server.c_str(), modbus_strerror(errno));
        std::fflush(stderr);
        area.zero_outputs();
        modbus_close(ctx);
        connected = false;
        continue;
      }
      if (wait_for_end(area, o.poll_ms)) break;
    } else {
      if (wait_for_end(area, kRetryMs)) break;
      if (modbus_connect(ctx) == 0) {
        connected = true;
        std::fprintf(stderr, "sudz-modbus: connected again to %s\n", server.c_str());
        std::fflush(stderr);
      }
    }
  }
  modbus_close(ctx);
  modbus_free(ctx);
  return 0;
}
