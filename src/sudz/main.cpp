// sudz: a washing machine for a student's controller program.
//
//   sudz <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the machine and runs it until the user quits.
#include <cstdio>
#include <cstring>
#include <string>

#include <FL/forms.H>

#include "objgraphiques/plant_window.h"
#include "sudz/cycle.h"
#include "sudz/end_guard.h"
#include "sudz/machine_window.h"
#include "sudz/plant.h"
#include "sudz/startup.h"

namespace {

const char help_text[] =
    "usage: sudz <controleur> [arguments...]\n"
    "\n"
    "Shows a washing machine and lets a controller program drive it.\n"
    "The arguments form the command that starts the controller; the simulator\n"
    "appends \"-automemlink <ident>\" and runs it in the background. The two meet\n"
    "in a shared-memory exchange area of 11 inputs and 11 outputs:\n"
    "\n"
    "  inputs:  T Niv Vide Tr St Prel Lav Rinc Ess T1mt T5mt\n"
    "  outputs: nF H Vo So Pw Vi AvL ArL AvR T1m T5m\n"
    "\n"
    "Exit status: 0 when the run ends by \"Quitter\" or the window is closed,\n"
    "1 after the boiling or overflow alarm or when the area cannot be created.\n"
    "See sudz(1).\n";

}  // namespace

int main(int argc, char** argv) {
  // A controller program is never called "--help": the one argument asks for help.
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(help_text, stdout);
    return 0;
  }
  std::string command = controller_command(argc, argv);
  IOsharemem_server* server = init_partage_mem(command.c_str());
  if (server == nullptr) {
    std::fputs("probleme interne de memoire\n\n", stderr);
    return 0;
  }
  install_end_guard(server);

  fl_initialize(&argc, argv, nullptr, nullptr, 0);
  machine_window w = build_machine_window();
  // Lives until the process ends, like the window.
  static machine_plant* plant = new machine_plant(w.window);
  colour_devices(*plant, w.window_colour);
  show_machine_window(w);
  return run_simulation(w, *plant, server);
}
