// The smallest plant on the kit, for the kit's own tests. Input "Echo" is output "Sortie" as
// the previous cycle read it; output "Alarme" at 1 raises the alarm "Alarme de test". It paints
// every cycle (a square showing Echo, a bar growing by the cycle), and input "Envoye" tells
// whether, when the cycle computes its inputs, all that the previous one painted was sent.
#include <string>

#include <FL/Fl_Button.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>
#include <FL/x.H>

#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "plantkit/plant_cycle.h"
#include "plantkit/plant_start.h"

// Last: it defines macros that the standard headers do not expect.
#include <X11/Xlibint.h>

int main(int argc, char** argv) {
  const plant_description kit{"kit_plant",
                              "usage: kit_plant <controleur>\n",
                              {"Marche", "Echo", "Envoye"},
                              {"Alarme", "Sortie"}};
  IOsharemem_server* server = start_plant(kit, argc, argv);
  if (server == nullptr) return 0;

  auto* window = new plant_window(200, 100);
  auto* quit = new Fl_Button(110, 60, 80, 30, "Quitter");
  window->end();
  fl_show_form(window, FL_PLACE_CENTER, FL_FULLBORDER, "kit");

  int echo = 0, cycle = 0;
  plant_hooks hooks;
  hooks.inputs = [&](int* value, bool*) {
    value[0] = 1;
    value[1] = echo;
    value[2] = fl_display->bufptr == fl_display->buffer ? 1 : 0;
    ++cycle;
  };
  hooks.step = [&](const int* outputs) -> const char* {
    echo = outputs[1];
    return outputs[0] == 1 ? "Alarme de test" : nullptr;
  };
  plant_drawing drawing;
  drawing.add(
      [&](std::string& look) {
        append_look(look, echo);
        append_look(look, cycle % 40);
      },
      [&] {
        fl_rectf(10, 10, 40, 40, echo ? FL_RED : FL_BLUE);
        fl_rectf(60, 10, 40, 10, FL_WHITE);
        fl_rectf(60, 10, cycle % 40, 10, FL_BLACK);
      });
  hooks.drawing = &drawing;
  return run_plant(kit, hooks, *server, window, quit);
}
