// sudz: a washing machine for a student's controller program.
//
//   sudz <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the machine and runs it until the user quits.
#include "objgraphiques/plant_window.h"
#include "sudz/cycle.h"
#include "sudz/machine_window.h"
#include "sudz/plant.h"
#include "sudz/startup.h"

int main(int argc, char** argv) {
  IOsharemem_server* server = start_plant(washing_machine(), argc, argv);
  if (server == nullptr) return 0;

  machine_window w = build_machine_window();
  // Lives until the process ends, like the window.
  static machine_plant* plant = new machine_plant(w.window);
  colour_devices(*plant, w.window_colour);
  show_machine_window(w);
  return run_simulation(w, *plant, server);
}
