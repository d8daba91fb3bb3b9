#include "sudz/cycle.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
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


[[noreturn]] void alarm_end(machine_window& w, IOsharemem_server* server, const char* text) {
  fl_alert("%s", text);
  fl_hide_form(w.window);
  server->sharing_terminate();
  std::exit(1);
}

}  // namespace

int run_simulation(machine_window& w, machine_plant& plant, IOsharemem_server* server) {
  // The readout shows the temperature the inputs are computed from, the devices the state the
  // outputs left: two drawings, painted before and after the step.
  plant_drawing readout;
  add_readout(readout, w, plant);
  plant_drawing machine;
  add_machine_parts(machine, plant);
  const bool full = full_redraw_forced();
  w.window->on_repaint([&] {
    readout.paint(true);
    machine.paint(true);
  });
  bool quit = false;
  do {
    if (w.window->shown()) {
      w.window->make_current();
    } else {
      quit = true;
    }
    Fl::check();

    // At most one operator event per cycle.
    Fl_Widget* event = Fl::readqueue();
    if (event == w.a_propos) fl_show_ms();
    if (event == w.quitter) quit = true;
    if (event == w.ouvrir) {
      if (w.ouvrir->value()) {
        plant.hatch.open();
      } else {
        plant.hatch.close();
      }
    }

    if (w.window->shown()) {
      // A modal dialog of this cycle may have taken the drawing target.
      w.window->make_current();
      readout.paint(full);
    }
    publish_inputs(server, plant.compute_inputs(read_controls(w), actionneur));
    actuator_set(server);

    plant_alarm alarm = plant.apply_outputs(actionneur);
    update_indicators(w, plant.step());
    if (alarm == plant_alarm::boiling) alarm_end(w, server, boiling_alarm_text);
    if (alarm == plant_alarm::overflow) alarm_end(w, server, overflow_alarm_text);

    if (w.window->shown()) {
      w.window->make_current();
      machine.paint(full);
    }
    usleep(5000);
  } while (!quit && w.window->shown());

  w.window->on_repaint(nullptr);
  if (w.window->shown()) fl_hide_form(w.window);
  server->sharing_terminate();
  return 0;
}
