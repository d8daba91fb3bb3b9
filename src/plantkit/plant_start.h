// Start-up of a plant program: its description, the command line, the
// exchange area with the plant's names, and the controller's launch.
//
// A plant's main:
//
//   IOsharemem_server* server = start_plant(gate, argc, argv);
//   if (server == nullptr) return 0;   // help shown, or no controller given
//   ... build the window, then run_plant (plant_cycle.h)
#ifndef PLANTKIT_PLANT_START_H
#define PLANTKIT_PLANT_START_H

#include <string>
#include <vector>

class IOsharemem_server;

// What the kit needs to know of a plant. Input i and output k of the
// exchange area are inputs[i] and outputs[k] (at most 41 a side).
struct plant_description {
  std::string name;  // the program's name, as in the usage error
  std::string help;  // the text "--help" writes on standard output
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;
  // The labels of the operator buttons that a scenario may press (sudz-trace's "press
  // LABEL@T"): buttons of the plant's window, found there by label when run_plant starts.
  // Leave out those that open a dialog or end the run.
  std::vector<std::string> buttons = {};
};

// Every argument after the program name followed by one blank, unquoted,
// so the shell later splits the command at blanks.
std::string controller_command(int argc, char** argv);

// The controller command, " -automemlink ", the identifier and " &".
std::string launch_text(const std::string& command, int ident);

// Creates the exchange area with the plant's names and launches the
// controller in the background through the shell. With an empty command,
// writes the usage error ("ERREUR de parametre:", " <name> <controleur>",
// an empty line) on standard error and returns null; nothing is created.
IOsharemem_server* open_plant_area(const plant_description& plant, const std::string& command);

// The whole start of a plant, in order: "--help" as the only argument
// writes the help text; otherwise the arguments become the controller
// command, the area is opened and the controller launched, the end guard
// installed, and the toolkit initialised with argc and argv (it takes its
// own switches out). Returns null when the program is to end now with
// status 0: after the help, or after the usage error followed by
// "probleme interne de memoire" and an empty line.
IOsharemem_server* start_plant(const plant_description& plant, int& argc, char** argv);

#endif
