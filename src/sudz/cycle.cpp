#include "sudz/cycle.h"

#include <algorithm>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include "IOshare/IOsharemem_server.h"
#include "Stringpp/Stringpp.h"
#include "formspp/fl_drawing.h"
#include "formspp/fl_show_ms.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "plantkit/plant_cycle.h"
#include "sudz/machine_window.h"
#include "sudz/plant.h"
#include "sudz/startup.h"

const char* const boiling_alarm_text =
    "Vous commencez a faire bouillir l'eau de votre machine a laver !!!\n\n"
    "                      ARRET URGENT!!!";
const char* const overflow_alarm_text =
    "Vous venez de faire deborder votre machine a laver !!!\n\n"
    " Vous avez le droit d'appeler votre assurance habitation\n\n"
    "         pour degats des eaux !!!";

namespace {

operator_controls read_controls(const machine_window& w) {
  operator_controls c;
  c.setpoint = w.setpoint->value();
  c.door_open = w.ouvrir->value() != 0;
  c.start = w.demarrer->value() != 0;
  c.timer1_held = w.timer1->value() != 0;
  c.timer5_held = w.timer5->value() != 0;
  return c;
}

void update_indicators(machine_window& w, int step) {
  for (int i = 0; i < 4; ++i) {
    Fl_Color wanted = (i == step) ? FL_RED : FL_BLUE;
    if (w.indicator[i]->color() != wanted) {
      w.indicator[i]->color(wanted);
      w.indicator[i]->redraw();
    }
  }
}

}  // namespace

int run_simulation(machine_window& w, machine_plant& plant, IOsharemem_server* server) {
  plant_hooks hooks;
  hooks.event = [&](Fl_Widget* event) {
    if (event == w.a_propos) fl_show_ms();
    if (event == w.ouvrir) {
      if (w.ouvrir->value()) {
        plant.hatch.open();
      } else {
        plant.hatch.close();
      }
    }
  };
  hooks.inputs = [&](int* value, bool* write) {
    const plant_inputs in = plant.compute_inputs(read_controls(w), actionneur);
    std::copy(in.value, in.value + plant_signal_count, value);
    std::copy(in.write, in.write + plant_signal_count, write);
  };
  hooks.step = [&](const int* outputs) -> const char* {
    std::copy(outputs, outputs + plant_signal_count, actionneur);
    const plant_alarm alarm = plant.apply_outputs(actionneur);
    update_indicators(w, plant.step());
    if (alarm == plant_alarm::boiling) return boiling_alarm_text;
    if (alarm == plant_alarm::overflow) return overflow_alarm_text;
    return nullptr;
  };
  // The readout, painted before the inputs, shows the temperature they are computed from.
  plant_drawing readout;
  add_readout(readout, w, plant);
  plant_drawing machine;
  add_machine_parts(machine, plant);
  hooks.readout = &readout;
  hooks.drawing = &machine;
  return run_plant(washing_machine(), hooks, *server, w.window, w.quitter);
}
