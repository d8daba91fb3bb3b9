// The command line of the manual plant:
//
//   sudz-panel [--inputs A,B,...] [--outputs X,Y,...] <controleur> [arguments...]
//
// The options come first; the first other argument and everything after it form the controller
// command, as for the simulator. Without the options the names are the washing machine's 11
// inputs and 11 outputs.
#ifndef SUDZ_PANEL_PANEL_OPTIONS_H
#define SUDZ_PANEL_PANEL_OPTIONS_H

#include <list>
#include <string>

struct panel_options {
  bool help = false;
  std::list<std::string> inputs;
  std::list<std::string> outputs;
  std::string command;  // every controller argument followed by one blank; empty when none
  std::string error;    // why the command line was refused; empty when it was not
};

// Reads the command line. A name list is refused when it holds an empty name, a name of 50
// characters or more, or more than 41 names (the exchange area has no room for them).
panel_options parse_panel_options(int argc, char** argv);

// Splits "A,B,C" at commas into names, refusing what the area cannot hold (as above); option
// names the list in the message.
bool panel_names(const std::string& list, const char* option, std::list<std::string>* names,
                 std::string* error);

#endif
