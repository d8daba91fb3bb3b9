// Start-up of the washing machine: its signal table and description, the
// exchange area and the controller's launch (through the plant kit), and
// the copy of the outputs.
#ifndef SUDZ_STARTUP_H
#define SUDZ_STARTUP_H

#include <string>

#include "plantkit/plant_start.h"

class IOsharemem_server;
struct plant_inputs;

// The 22 signal names, NUL-padded to 22 bytes: entries 0 to 10 are the
// inputs, 11 to 21 the outputs; input i and output i of the exchange area
// are entries i and 11 + i.
extern const char table_signaux[22][22];

// The outputs as last read by actuator_set; the cycle treats exactly 1 as on.
extern int actionneur[11];

// The washing machine for the kit: "sudz", its help text and the names of
// table_signaux.
const plant_description& washing_machine();

// Creates the exchange area with the 22 names and launches the controller
// in the background through the shell. With an empty command, writes the
// usage text on standard error and returns null; nothing is created.
IOsharemem_server* init_partage_mem(const char* controller_command);

// Copies the 11 outputs of the exchange area into actionneur.
void actuator_set(IOsharemem_server* server);

// Writes one cycle's inputs in order (those marked to keep their value are
// left alone), then raises the input clock.
void publish_inputs(IOsharemem_server* server, const plant_inputs& inputs);

#endif
