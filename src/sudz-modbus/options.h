// The bridge's command line.
//
// Server mode (default) serves the exchange area over Modbus TCP; client mode
// (--client) polls a Modbus server instead. "-automemlink <ident>", added by
// the simulator, may stand anywhere and is read by automemlink_ident.
#ifndef SUDZ_MODBUS_OPTIONS_H
#define SUDZ_MODBUS_OPTIONS_H

#include <string>

struct bridge_options {
  bool help = false;
  // Server mode.
  std::string listen = "127.0.0.1";
  int port = 5020;  // 0: a free port chosen by the system
  int unit = -1;    // -1: any unit
  int max_clients = 8;
  int watchdog_ms = 0;  // 0: no watchdog
  // Client mode.
  bool client = false;
  std::string host;  // without brackets
  int client_port = 502;
  int client_unit = 1;
  int poll_ms = 10;
  int in_offset = 0;
  int out_offset = 100;
  bool registers = false;
};

// Parses argv. On a bad command line returns false with a one-line reason in
// *error (no "sudz-modbus: " prefix).
bool parse_options(int argc, char** argv, bridge_options* options, std::string* error);

// The --help text.
extern const char kHelpText[];

#endif
