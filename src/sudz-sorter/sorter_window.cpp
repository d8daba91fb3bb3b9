#include "sudz-sorter/sorter_window.h"

#include <cstdio>
#include <string>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include "formspp/fl_drawing.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "plantkit/plant_cycle.h"
#include "plantkit/plant_start.h"
#include "sudz-sorter/sorter_plant.h"

const char* const floor_alarm_text =
    "Une caisse vient de tomber par terre !!!\n\n"
    " Le chariot n'etait pas sous la caisse.\n\n"
    "                      ARRET URGENT!!!";

namespace {

using P = sorter_plant;

const char* kind_name(box_kind k) {
  return k == box_kind::large ? "grande" : "petite";
}

void report_delivery(const delivery& d) {
  std::printf("caisse %d %s -> bac %s\n", d.number, kind_name(d.kind),
              d.bin == bin_side::left ? "gauche" : "droit");
  std::fflush(stdout);
}

void report_counts(const sorter_plant& plant) {
  std::printf(
      "bac gauche: %d grandes, %d petites; bac droit: %d grandes, %d petites\n",
      plant.count(bin_side::left, box_kind::large), plant.count(bin_side::left, box_kind::small),
      plant.count(bin_side::right, box_kind::large), plant.count(bin_side::right, box_kind::small));
  std::fflush(stdout);
}

void draw_counter(int x, const sorter_plant& plant, bin_side bin, Fl_Color background) {
  const std::string text = "grandes " + std::to_string(plant.count(bin, box_kind::large)) +
                           "   petites " + std::to_string(plant.count(bin, box_kind::small));
  fl_rectf(x, 412, 170, 22, background);
  fl_rect(x, 412, 170, 22, FL_BLACK);
  fl_drw_String(FL_ALIGN_LEFT, x + 5, 412, 165, 22, FL_BLACK, 14, FL_TIMES, text);
}

}  // namespace

sorter_window build_sorter_window() {
  sorter_window w;
  w.window = new plant_window(P::width, P::height);
  w.window->box(FL_NO_BOX);
  w.window_colour = w.window->color();
  new Fl_Box(FL_FLAT_BOX, 0, 0, P::width, P::height, nullptr);
  w.quitter = new Fl_Button(P::width - 100, 10, 90, 30, "Quitter");
  w.quitter->labelfont(FL_TIMES);
  w.quitter->labelsize(12);
  w.window->end();
  return w;
}

void show_sorter_window(sorter_window& w) {
  fl_show_form(w.window, FL_PLACE_CENTER | FL_FREE_SIZE, FL_FULLBORDER, "trieuse");
}

namespace {

// The scenery's texts, each in its box.
struct label {
  int x, y, w, h;
  const char* text;
};
const label labels[] = {
    {P::left_bin_in - 40, P::floor_y - 85, 160, 20, "Bac des grandes"},
    {P::right_bin_in - 40, P::floor_y - 85, 160, 20, "Bac des petites"},
    {P::belt_x - 10, P::belt_y + 10, 120, 20, "Arrivee"},
};
constexpr int left_counter_x = P::left_bin_in - 60, right_counter_x = P::right_bin_in - 60;

void draw_rail() {
  // Under the wheels, cut where the bins' mouths are.
  const int rail_y = P::wagon_y + P::wheel + 1;
  fl_line(P::left_limit, rail_y, P::left_bin_in - 6, rail_y, FL_BLACK);
  fl_line(P::left_bin_out + 6, rail_y, P::right_bin_in - 6, rail_y, FL_BLACK);
  fl_line(P::right_bin_out + 6, rail_y, P::right_limit, rail_y, FL_BLACK);
}

void draw_label(const label& l) {
  fl_drw_String(FL_ALIGN_LEFT, l.x, l.y, l.w, l.h, FL_BLACK, 12, FL_TIMES, l.text);
}

void draw_counters(const sorter_plant& plant) {
  draw_counter(left_counter_x, plant, bin_side::left, FL_WHITE);
  draw_counter(right_counter_x, plant, bin_side::right, FL_WHITE);
}

}  // namespace

void add_sorter_parts(plant_drawing& drawing, sorter_plant& plant) {
  // Painting everything (the window was repainted) includes the devices that the step paints.
  drawing.add([](std::string&) {}, [&plant] { plant.repaint_devices(); });
  drawing.add([&plant](std::string& look) { plant.look(look); },
              [&plant] {
                plant.draw_all();
                draw_rail();
              });
  // The labels are smoothed text drawn over what lies there: while a part reaches into one, it
  // is painted every cycle, as whatever painted that part may have painted over it. Each label
  // is a part of its own, so that it settles alone.
  for (const label& l : labels) {
    drawing.add(
        [&plant, &l, cycle = 0UL](std::string& look) mutable {
          plant.look_within(l.x, l.y, l.w, l.h, look);
          if (!look.empty()) append_look(look, ++cycle);
        },
        [&l] { draw_label(l); }, 255);
  }
  drawing.add(
      [&plant, cycle = 0UL](std::string& look) mutable {
        for (int x : {left_counter_x, right_counter_x}) plant.look_within(x, 412, 170, 22, look);
        if (!look.empty()) append_look(look, ++cycle);
        for (bin_side bin : {bin_side::left, bin_side::right})
          for (box_kind kind : {box_kind::large, box_kind::small})
            append_look(look, plant.count(bin, kind));
      },
      [&plant] { draw_counters(plant); });
}

int run_sorter(const plant_description& line, sorter_window& w, sorter_plant& plant,
               IOsharemem_server& server) {
  size_t reported = 0;
  plant_hooks hooks;
  hooks.inputs = [&](int* value, bool*) { plant.compute_inputs(value); };
  hooks.step = [&](const int* outputs) -> const char* {
    const bool safe = plant.step(outputs);
    for (; reported < plant.deliveries().size(); ++reported)
      report_delivery(plant.deliveries()[reported]);
    return safe ? nullptr : floor_alarm_text;
  };
  plant_drawing drawing;
  add_sorter_parts(drawing, plant);
  hooks.drawing = &drawing;
  hooks.at_end = [&] { report_counts(plant); };
  return run_plant(line, hooks, server, w.window, w.quitter);
}
