// sudz: a washing machine for a student's controller program.
//
//   sudz <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the machine and runs it until the user quits.
#include <cstdio>
#include <string>

#include <FL/Fl_Double_Window.H>
#include <FL/forms.H>

#include "sudz/cycle.h"
#include "sudz/end_guard.h"
#include "sudz/machine_window.h"
#include "sudz/plant.h"
#include "sudz/startup.h"

int main(int argc, char** argv) {
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
