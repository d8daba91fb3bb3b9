// sudz-panel: a plant driven by hand, for trying a controller one signal at a time.
//
//   sudz-panel [--inputs A,B,...] [--outputs X,Y,...] <controleur> [arguments...]
//
// Creates the exchange area, starts the controller as the simulator does and shows its outputs
// beside the inputs that a person sets and sends.
#include <cstdio>

#include "IOshare/IOsharemem_server.h"
#include "plantkit/end_guard.h"
#include "plantkit/plant_start.h"
#include "sudz-panel/manual_plant.h"
#include "sudz-panel/panel_options.h"

namespace {

const char help_text[] =
    "usage: sudz-panel [--inputs A,B,...] [--outputs X,Y,...] <controleur> [arguments...]\n"
    "\n"
    "A plant driven by hand. Creates an exchange area with the washing machine's\n"
    "11 inputs and 11 outputs (or the names given, at most 41 a side), starts the\n"
    "controller with \"-automemlink <ident>\" in the background, and opens a window:\n"
    "  left:  the controller's outputs, live (blue 1, yellow 0);\n"
    "  right: a tick per input. \"GO\" publishes them and raises the input clock\n"
    "         (ticks marked \"Sticky\" stay), \"INIT\" clears the ticks, \"QUIT\" ends.\n"
    "\n"
    "Exit status: 0 when the run ends by \"QUIT\" or the window is closed (the\n"
    "controller then reads the end), 1 when the area cannot be created or a name\n"
    "list is refused. See sudz-panel(1).\n";

}  // namespace

int main(int argc, char** argv) {
  panel_options o = parse_panel_options(argc, argv);
  if (o.help) {
    std::fputs(help_text, stdout);
    return 0;
  }
  if (!o.error.empty()) {
    std::fprintf(stderr, "sudz-panel: %s\n", o.error.c_str());
    return 1;
  }
  const plant_description panel{"sudz-panel", help_text,
                                 {o.inputs.begin(), o.inputs.end()},
                                 {o.outputs.begin(), o.outputs.end()}};
  // Without a controller, the usage text; the area is complete before the controller starts.
  IOsharemem_server* server = open_plant_area(panel, o.command);
  if (server == nullptr) return 0;
  install_end_guard(server);

  run_manual_plant(*server, o.inputs, o.outputs);
  server->sharing_terminate();
  return 0;
}
