// Client mode: the bridge polls a Modbus TCP server (a PLC that serves).
//
// Every poll period it writes the simulator's inputs to the server's coils
// from --in-offset (1 when not 0) and reads the simulator's outputs from its
// coils from --out-offset; with --registers, holding registers instead,
// written and read as words. Requests carry --unit (default 1) and time out
// after 300 ms, so the end of the simulation is seen within a second.
//
// A server that cannot be reached at start is fatal (run_poller returns 1
// after a message). One lost later is logged, every output is set to 0, and
// a new connection is tried every second until it succeeds (logged too).
#ifndef SUDZ_MODBUS_MODBUS_POLLER_H
#define SUDZ_MODBUS_MODBUS_POLLER_H

#include "sudz-modbus/options.h"

class area_link;

// Runs client mode until the area's end_fd is readable; the exit status.
int run_poller(area_link& area, const bridge_options& options);

#endif
