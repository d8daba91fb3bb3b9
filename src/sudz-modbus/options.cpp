#include "sudz-modbus/options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

const char kHelpText[] =
    "usage: sudz sudz-modbus [options]          (started by a simulator)\n"
    "       sudz-modbus --help\n"
    "\n"
    "Bridges a simulator's exchange area to Modbus TCP, so that a PLC, a soft\n"
    "PLC or an HMI drives the machine. The map follows the simulator's signal\n"
    "table (n inputs, m outputs, in table order) and is printed at start:\n"
    "  discrete inputs 0..n-1   the inputs (1 when not 0)\n"
    "  coils 0..m-1             the outputs (read: 1 when exactly 1)\n"
    "  input registers 0..n-1   the inputs as words\n"
    "  holding registers 0..m-1 the outputs as words, written as they are\n"
    "  input registers 20, 21   the input clock, high word first\n"
    "                           (n, n+1 when there are more than 20 inputs)\n"
    "Other addresses: exception 02; other functions: exception 01.\n"
    "\n"
    "Server mode (default):\n"
    "  --listen ADDR       address to listen on (default 127.0.0.1; 0.0.0.0 or\n"
    "                      :: for every interface)\n"
    "  --port N            TCP port (default 5020; 0 picks a free one)\n"
    "  --unit N            answer unit N only (default: any unit)\n"
    "  --max-clients N     clients served at once (default 8); one more is\n"
    "                      refused and closed\n"
    "  --watchdog MS       once a write request has come, MS milliseconds\n"
    "                      without one set every output to 0, logged (default:\n"
    "                      off)\n"
    "\n"
    "Client mode (the bridge polls a Modbus server, a PLC that serves):\n"
    "  --client HOST[:PORT]  the server (port 502 by default; [v6addr]:PORT)\n"
    "  --poll MS           poll period (default 10)\n"
    "  --in-offset N       the inputs are written to its coils N.. (default 0)\n"
    "  --out-offset N      the outputs are read from its coils N.. (default 100)\n"
    "  --registers         holding registers instead of coils\n"
    "  --unit N            unit id of the requests (default 1)\n"
    "A lost server is retried every second, with every output at 0 meanwhile.\n"
    "\n"
    "The bridge ends, closing every connection, when the simulation ends.\n"
    "Exit status: 0 at the end of the simulation; 1 on a bad command line, a\n"
    "port in use, a bad address or a server unreachable at start.\n"
    "See sudz-modbus(1).\n";

namespace {

bool parse_int(const char* text, int low, int high, int* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

// HOST, HOST:PORT, [V6]:PORT or [V6]. A bare address with several colons is
// an IPv6 address without a port.
bool parse_host_port(const std::string& text, std::string* host, int* port) {
  std::string port_text;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    *host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      port_text = text.substr(close + 2);
      if (port_text.empty()) return false;
    }
  } else {
    const size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
      *host = text.substr(0, colon);
      port_text = text.substr(colon + 1);
      if (port_text.empty()) return false;
    } else {
      *host = text;
    }
  }
  if (host->empty()) return false;
  return port_text.empty() || parse_int(port_text.c_str(), 1, 65535, port);
}

}  // namespace

bool parse_options(int argc, char** argv, bridge_options* o, std::string* error) {
  bool unit_given = false, server_only = false, client_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o->help = true;
      continue;
    }
    if (arg == "-automemlink") {  // the simulator's; read by automemlink_ident
      ++i;
      continue;
    }
    if (arg == "--registers") {
      o->registers = true;
      client_only = true;
      continue;
    }
    struct int_option {
      const char* name;
      int* value;
      int low, high;
      bool* mode;
    } ints[] = {
        {"--port", &o->port, 0, 65535, &server_only},
        {"--unit", &o->unit, 0, 255, nullptr},
        {"--max-clients", &o->max_clients, 1, 1000, &server_only},
        {"--watchdog", &o->watchdog_ms, 1, INT_MAX, &server_only},
        {"--poll", &o->poll_ms, 1, 3600000, &client_only},
        {"--in-offset", &o->in_offset, 0, 65535, &client_only},
        {"--out-offset", &o->out_offset, 0, 65535, &client_only},
    };
    bool known = false;
    for (const int_option& opt : ints) {
      if (arg != opt.name) continue;
      known = true;
      if (i + 1 >= argc || !parse_int(argv[i + 1], opt.low, opt.high, opt.value)) {
        *error = arg + " needs a whole number from " + std::to_string(opt.low) + " to " +
                 std::to_string(opt.high);
        return false;
      }
      ++i;
      if (opt.mode != nullptr) *opt.mode = true;
      if (opt.value == &o->unit) unit_given = true;
    }
    if (known) continue;
    if (arg == "--listen" || arg == "--client") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = arg + " needs a value";
        return false;
      }
      const std::string value = argv[++i];
      if (arg == "--listen") {
        o->listen = value;
        server_only = true;
      } else {
        o->client = true;
        if (!parse_host_port(value, &o->host, &o->client_port)) {
          *error = "bad server for --client: " + value + " (HOST[:PORT])";
          return false;
        }
      }
      continue;
    }
    *error = "unknown argument " + arg;
    return false;
  }
  if (o->help) return true;
  if (o->client && server_only) {
    *error =
        "--listen, --port, --max-clients and --watchdog are for server mode, not with --client";
    return false;
  }
  if (!o->client && client_only) {
    *error = "--poll, --in-offset, --out-offset and --registers need --client";
    return false;
  }
  if (o->client && unit_given) o->client_unit = o->unit;
  return true;
}
