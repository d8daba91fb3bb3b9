// Start-up of the simulator: the signal table, the controller command, the
// exchange area and the controller's launch.
#ifndef SUDZ_STARTUP_H
#define SUDZ_STARTUP_H

#include <string>

class IOsharemem_server;
struct plant_inputs;

// The 22 signal names, NUL-padded to 22 bytes: entries 0 to 10 are the
// inputs, 11 to 21 the outputs; input i and output i of the exchange area
// are entries i and 11 + i.
extern const char table_signaux[22][22];

// The outputs as last read by actuator_set; the cycle treats exactly 1 as on.
extern int actionneur[11];

// Every argument after the program name followed by one blank, unquoted,
// so the shell later splits the command at blanks.
std::string controller_command(int argc, char** argv);

// The controller command, " -automemlink ", the identifier and " &".
std::string launch_text(const std::string& command, int ident);

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
