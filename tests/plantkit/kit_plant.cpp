// The smallest plant on the kit, for the kit's own tests. Input "Echo" is output "Sortie" as
// the previous cycle read it; output "Alarme" at 1 raises the alarm "Alarme de test".
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include "plantkit/plant_cycle.h"
#include "plantkit/plant_start.h"

int main(int argc, char** argv) {
  const plant_description kit{"kit_plant", "usage: kit_plant <controleur>\n", {"Marche", "Echo"},
                              {"Alarme", "Sortie"}};
  IOsharemem_server* server = start_plant(kit, argc, argv);
  if (server == nullptr) return 0;

  auto* window = new Fl_Double_Window(200, 100);
  auto* quit = new Fl_Button(110, 60, 80, 30, "Quitter");
  window->end();
  fl_show_form(window, FL_PLACE_CENTER, FL_FULLBORDER, "kit");

  int echo = 0;
  plant_hooks hooks;
  hooks.inputs = [&](int* value, bool*) {
    value[0] = 1;
    value[1] = echo;
  };
  hooks.step = [&](const int* outputs) -> const char* {
    echo = outputs[1];
    return outputs[0] == 1 ? "Alarme de test" : nullptr;
  };
  hooks.draw = [&] { fl_rectf(10, 10, 40, 40, echo ? FL_RED : FL_BLUE); };
  return run_plant(kit, hooks, *server, window, quit);
}
