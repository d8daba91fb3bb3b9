#include "sudz/machine_window.h"

#include <cmath>
#include <memory>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include "Stringpp/Stringpp.h"
#include "formspp/fl_drawing.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "sudz/plant.h"

namespace {

Fl_Button* add_button(int x, int y, int w, int h, const char* label, bool toggle, int size) {
  auto* b = new Fl_Button(x, y, w, h, label);
  if (toggle) b->type(FL_TOGGLE_BUTTON);
  b->labelfont(FL_TIMES);
  b->labelsize(size);
  return b;
}

}  // namespace

machine_window build_machine_window() {
  machine_window w;
  w.window = new plant_window(500, 560);
  w.window->box(FL_NO_BOX);
  w.window_colour = w.window->color();

  w.background = new Fl_Box(FL_UP_BOX, 0, 0, 500, 560, nullptr);

  w.label_prelavage = new Fl_Box(70, 100, 100, 20, "Prelavage");
  w.label_prelavage->box(FL_FLAT_BOX);
  w.label_prelavage->selection_color(50);
  w.label_prelavage->labelfont(FL_TIMES);
  w.label_prelavage->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);

  w.timer1 = add_button(20, 520, 140, 30, "Timer 1 min termine", false, 12);
  w.timer5 = add_button(180, 520, 140, 30, "Timer 5 min termine", false, 12);
  w.ouvrir = add_button(20, 470, 70, 30, "Ouvrir", true, 12);
  w.charger = add_button(130, 470, 70, 30, "Charger", false, 12);
  w.demarrer = add_button(240, 470, 80, 30, "Demarrer", true, 12);
  w.quitter = add_button(380, 485, 90, 50, "Quitter", false, 12);
  w.a_propos = add_button(400, 20, 70, 30, "A propos", false, 10);

  w.setpoint = new Fl_Value_Slider(340, 140, 100, 30, "");
  w.setpoint->type(FL_HOR_SLIDER);
  w.setpoint->bounds(30.0, 90.0);
  w.setpoint->value(60.0);

  w.frame = new Fl_Box(FL_ENGRAVED_BOX, 340, 190, 100, 130, nullptr);
  w.frame->labelfont(FL_TIMES);

  static const char* const names[4] = {"Prelavage", "Lavage", "Rincage", "Essorage"};
  for (int i = 0; i < 4; ++i) {
    Fl_Box* b = new Fl_Box(350, 200 + 30 * i, 10, 15, names[i]);
    b->box(FL_FLAT_BOX);
    b->selection_color(50);
    b->labelfont(FL_TIMES);
    b->color(FL_BLUE);
    b->align(FL_ALIGN_RIGHT);
    w.indicator[i] = b;
  }
  w.window->end();
  return w;
}

void colour_devices(machine_plant& plant, Fl_Color c) {
  plant.tank.change_background(c);
  plant.tank.change_foreground(FL_BLUE);
  plant.white.change_background(c);
  plant.white.change_foreground(FL_WHITE);
  plant.yellow.change_background(c);
  plant.yellow.change_foreground(FL_YELLOW);
  plant.valve.change_background(c);
  plant.valve.change_foreground(FL_BLACK);
  plant.drum.change_background(c);
  plant.drum.change_foreground(FL_BLACK);
  plant.pump.change_background(c);
  plant.pump.change_foreground(FL_BLACK);
  plant.heater.change_background(c);
  plant.heater.change_foreground(FL_BLACK);
  plant.hatch.change_background(c);
  plant.hatch.change_foreground(FL_BLACK);
  plant.hatch.close();
}

void show_machine_window(machine_window& w) {
  fl_show_form(w.window, FL_PLACE_CENTER | FL_FREE_SIZE, FL_FULLBORDER, "machine");
}

void dessin_environnement() {
  static const int lines[12][4] = {
      {35, 100, 35, 90},    {45, 100, 45, 90},    {65, 100, 65, 90},    {75, 100, 75, 90},
      {320, 415, 340, 415}, {380, 415, 400, 415}, {400, 415, 420, 435}, {420, 435, 420, 460},
      {320, 425, 340, 425}, {380, 425, 395, 425}, {395, 425, 410, 440}, {410, 440, 410, 460}};
  for (const auto& l : lines) fl_line(l[0], l[1], l[2], l[3], static_cast<unsigned>(FL_BLACK));
}

void add_machine_parts(plant_drawing& drawing, machine_plant& p) {
  drawing.add([&p](std::string& look) { p.pump.look(look); },
              [&p] {
                dessin_environnement();
                p.pump.draw();
              });
  drawing.add([&p](std::string& look) { p.white.look(look); }, [&p] { p.white.draw(); });
  drawing.add([&p](std::string& look) { p.yellow.look(look); }, [&p] { p.yellow.draw(); });
  drawing.add([&p](std::string& look) { p.valve.look(look); }, [&p] { p.valve.draw(); });
  drawing.add(
      [&p](std::string& look) {
        p.tank.look(look);
        p.heater.look(look);
        p.drum.look(look);
        p.hatch.look(look);
      },
      [&p] {
        p.tank.draw();
        p.heater.draw();
        p.drum.draw();
        p.hatch.draw();
      });
}

void add_readout(plant_drawing& drawing, const machine_window& w, const machine_plant& plant) {
  const Fl_Color background = w.window_colour;
  // The text is the look, made again only when the temperature moved; the painting takes it
  // from there.
  auto text = std::make_shared<std::string>();
  drawing.add(
      [text, &plant, shown = std::nan("")](std::string& look) mutable {
        const double t = plant.temperature();
        if (!(t == shown)) {
          *text = dtoS(t, 1) + " deg";
          shown = t;
        }
        look = *text;
      },
      [text, background] {
        fl_rectf(340, 105, 100, 20, background);
        fl_rect(340, 105, 100, 20, FL_BLACK);
        fl_drw_String(FL_ALIGN_LEFT, 345, 100, 100, 30, FL_BLACK, 16, FL_TIMES, *text);
      });
}
