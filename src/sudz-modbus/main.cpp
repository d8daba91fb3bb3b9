// sudz-modbus: a controller that bridges a simulator's exchange area to
// Modbus TCP, as a server (a PLC or an HMI connects) or as a client (the
// bridge polls a PLC that serves). See kHelpText and sudz-modbus(1).
#include <signal.h>

#include <cstdio>
#include <string>

#include "IOshare/IOsharemem_client.h"
#include "sudz-modbus/area_link.h"
#include "sudz-modbus/modbus_poller.h"
#include "sudz-modbus/modbus_server.h"
#include "sudz-modbus/options.h"
#include "sudz-modbus/register_map.h"

namespace {

area_link* the_area = nullptr;

void on_signal(int) {
  if (the_area != nullptr) the_area->stop();
}

}  // namespace

int main(int argc, char** argv) {
  bridge_options options;
  std::string error;
  if (!parse_options(argc, argv, &options, &error)) {
    std::fprintf(stderr, "sudz-modbus: %s (see sudz-modbus --help)\n", error.c_str());
    return 1;
  }
  if (options.help) {
    std::fputs(kHelpText, stdout);
    return 0;
  }
  signal(SIGPIPE, SIG_IGN);

  area_link area(automemlink_ident(argc, argv));
  the_area = &area;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);

  const register_map map(area.input_count(), area.output_count());
  std::fputs(map.describe(area).c_str(), stdout);
  std::fflush(stdout);

  int status = 0;
  if (options.client) {
    status = run_poller(area, options);
  } else {
    modbus_server server(area, map, options);
    if (!server.listen(&error)) {
      std::fprintf(stderr, "sudz-modbus: %s\n", error.c_str());
      status = 1;
    } else {
      std::printf(
          "sudz-modbus: listening on %s, unit %s, at most %d clients, watchdog %s\n",
          server.where().c_str(), options.unit < 0 ? "any" : std::to_string(options.unit).c_str(),
          options.max_clients,
          options.watchdog_ms > 0 ? (std::to_string(options.watchdog_ms) + " ms").c_str() : "off");
      std::fflush(stdout);
      server.run();
    }
  }
  the_area = nullptr;
  return status;
}
