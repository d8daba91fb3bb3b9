// sudz-gate: an automatic sliding gate for a student's controller program.
//
//   sudz-gate <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the gate and runs it until the user quits. The kit does the
// start, the cycle and every end; this file gives the window, its drawing and the hooks that
// join the window's buttons to the model.
//
// The drawing is a plant_drawing: parts painted in order, each only when what it shows has
// changed. The moving parts paint themselves as they move, so their part shows nothing that
// changes: it paints them whole only when everything is painted (at the start, and whenever the
// toolkit has repainted the window over them).
#include <string>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include <formspp/fl_drawing.h>
#include <objgraphiques/plant_drawing.h>
#include <objgraphiques/plant_window.h>
#include <plantkit/plant_cycle.h>
#include <plantkit/plant_start.h>

#include "gate_plant.h"

namespace {

const char help_text[] =
    "usage: sudz-gate <controleur> [arguments...]\n"
    "\n"
    "Shows an automatic sliding gate and lets a controller program drive it.\n"
    "Two motors slide the leaf open and closed between its two end switches; a\n"
    "photocell watches the opening and a lamp warns while the gate moves. The\n"
    "operator sends cars up the road (\"Voiture\") and presses the push button\n"
    "(\"Bouton\"). A car waits at the closed gate and drives through once it is\n"
    "open. Closing the gate onto a car is an alarm.\n"
    "\n"
    "The arguments form the command that starts the controller; the simulator\n"
    "appends \"-automemlink <ident>\" and runs it in the background. The two meet\n"
    "in a shared-memory exchange area of 4 inputs and 3 outputs:\n"
    "\n"
    "  inputs:  Bp Fo Ff Cel\n"
    "  outputs: Mo Mf Cl\n"
    "\n"
    "Exit status: 0 when the run ends by \"Quitter\" or the window is closed,\n"
    "1 when the gate closes onto a car or the area cannot be created.\n"
    "See sudz-gate(1).\n";

const char car_alarm_text[] =
    "Le portail vient de se fermer sur une voiture !!!\n\n"
    " La cellule etait coupee.\n\n"
    "                      ARRET URGENT!!!";

using G = gate_plant;

// A click is shorter than a cycle can be: the push button reads 1 while it is held, and for
// this many cycles after it was released (about as long as a finger stays on a button), so that
// a controller that looks every 10 ms sees it even on a busy machine.
constexpr int click_cycles = 20;

struct gate_window {
  plant_window* window = nullptr;
  Fl_Button* voiture = nullptr;
  Fl_Button* bouton = nullptr;
  Fl_Button* quitter = nullptr;
};

Fl_Button* add_button(int x, const char* label) {
  auto* b = new Fl_Button(x, G::height - 45, 90, 30, label);
  b->labelfont(FL_TIMES);
  b->labelsize(12);
  return b;
}

gate_window build_gate_window() {
  gate_window w;
  // A plant_window: after each repaint of its widgets the kit paints the plant again over them.
  w.window = new plant_window(G::width, G::height);
  // The ground: a flat box as large as the window, first of its children, painted in the
  // window's colour whenever the toolkit repaints the window. The parts erase in that same
  // colour (ground in main), so an erased strip is ground again. The buttons lie on top of it.
  w.window->box(FL_NO_BOX);
  new Fl_Box(FL_FLAT_BOX, 0, 0, G::width, G::height, nullptr);
  w.voiture = add_button(G::width - 300, "Voiture");
  w.bouton = add_button(G::width - 200, "Bouton");
  w.quitter = add_button(G::width - 100, "Quitter");
  w.window->end();
  return w;
}

// What never moves: kerbs, fence, the post the leaf closes on, photocell. None of it lies
// where a part goes or erases, so it is painted once, and again with everything.
void draw_scenery() {
  const int slot_from = G::leaf_x - 6, slot_to = G::leaf_x + G::leaf_w + 1;
  fl_rectf(0, G::road_top - 4, slot_from, 3, FL_DARK3);  // kerbs, the upper one cut by the slot
  fl_rectf(slot_to, G::road_top - 4, G::width - slot_to, 3, FL_DARK3);
  fl_rectf(0, G::road_bottom + 1, G::width, 3, FL_DARK3);
  fl_rectf(G::leaf_x - 5, 20, 4, G::road_top - 24, FL_DARK2);  // fence along the gate's line
  fl_rectf(G::leaf_x - 5, G::road_bottom + 4, 4, 30, FL_DARK2);
  fl_rectf(G::leaf_x, G::road_bottom + 4, G::leaf_w, 10, FL_BLACK);  // the post
  const int cell_x = G::leaf_x + G::leaf_w + 3;
  fl_rectf(cell_x, G::road_top - 14, 6, 9, FL_DARK_RED);  // photocell: emitter and receiver
  fl_rectf(cell_x, G::road_bottom + 5, 6, 9, FL_DARK_RED);
}

void draw_lamp(bool on) {
  const int lamp_x = G::leaf_x + 24, lamp_y = G::road_top - 40, r = 9;
  fl_color(on ? fl_rgb_color(255, 150, 0) : FL_DARK2);
  fl_pie(lamp_x - r, lamp_y - r, 2 * r, 2 * r, 0.0, 360.0);
  fl_color(FL_BLACK);
  fl_circle(lamp_x, lamp_y, r);
}

// The count is painted over a filled box, so painting it again never darkens its text.
void draw_count(int through, Fl_Color ground) {
  const std::string text = "voitures passees " + std::to_string(through);
  fl_rectf(10, G::height - 45, 170, 30, ground);
  fl_drw_String(FL_ALIGN_LEFT, 15, G::height - 45, 165, 30, FL_BLACK, 14, FL_TIMES, text);
}

// The gate's picture, in painting order. No two parts touch, so each is painted alone.
void add_gate_parts(plant_drawing& drawing, gate_plant& plant, Fl_Color ground) {
  drawing.add([](std::string&) {}, [] { draw_scenery(); });
  drawing.add([](std::string&) {}, [&plant] { plant.draw_all(); });
  drawing.add([&plant](std::string& look) { append_look(look, plant.lamp_on()); },
              [&plant] { draw_lamp(plant.lamp_on()); });
  drawing.add([&plant](std::string& look) { append_look(look, plant.cars_through()); },
              [&plant, ground] { draw_count(plant.cars_through(), ground); });
}

}  // namespace

int main(int argc, char** argv) {
  plant_description gate;
  gate.name = "sudz-gate";
  gate.help = help_text;
  for (int i = 0; i < gate_input_count; ++i) gate.inputs.emplace_back(gate_signals[i]);
  for (int k = 0; k < gate_output_count; ++k)
    gate.outputs.emplace_back(gate_signals[gate_input_count + k]);
  // The operator's buttons, which a scenario may press as a person would.
  gate.buttons = {"Voiture", "Bouton"};

  IOsharemem_server* server = start_plant(gate, argc, argv);
  if (server == nullptr) return 0;

  gate_window w = build_gate_window();
  const Fl_Color ground = w.window->color();
  // Made once and never destroyed, like the window: an alarm ends the process with exit() from
  // inside run_plant, which never returns here, so the model must not depend on main's frame;
  // static storage lets the hooks use it without capturing it.
  static gate_plant* plant = new gate_plant(w.window, ground);
  int click_left = 0;

  plant_hooks hooks;
  hooks.event = [&](Fl_Widget* e) {
    if (e == w.voiture) plant->add_car();
    if (e == w.bouton) click_left = click_cycles;
  };
  hooks.inputs = [&](int* value, bool*) {
    const bool held = w.bouton->value() != 0 || click_left > 0;
    if (click_left > 0) --click_left;
    plant->compute_inputs(held, value);
  };
  hooks.step = [&](const int* outputs) -> const char* {
    return plant->step(outputs) ? nullptr : car_alarm_text;
  };
  plant_drawing drawing;
  add_gate_parts(drawing, *plant, ground);
  hooks.drawing = &drawing;  // run_plant connects the window's repaint to it

  // Shows the window centred on the screen, with a border and the title "portail", by which
  // tests and tools find the window.
  fl_show_form(w.window, FL_PLACE_CENTER | FL_FREE_SIZE, FL_FULLBORDER, "portail");
  return run_plant(gate, hooks, *server, w.window, w.quitter);
}
