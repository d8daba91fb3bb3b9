// sudz-tank: a heated tank for a student's controller program, for process-control lessons.
//
//   sudz-tank [--seed N] <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the tank and runs it until the user quits. The kit does the
// start, the cycle and every end; this file gives the window, its drawing and the hooks that
// join the operator's controls to the model.
//
// The drawing is a plant_drawing: parts painted in order, each only when what it shows has
// changed. The trend chart is two parts over the same pixels: one paints it whole, only when
// everything is painted, the other the columns completed since its last painting.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_draw.H>
#include <FL/forms.H>

#include <formspp/fl_drawing.h>
#include <objgraphiques/plant_drawing.h>
#include <objgraphiques/plant_window.h>
#include <plantkit/plant_cycle.h>
#include <plantkit/plant_start.h>

#include "tank_model.h"
#include "trend_chart.h"

namespace {

const char help_text[] =
    "usage: sudz-tank [--seed N] <controleur> [arguments...]\n"
    "\n"
    "Shows a heated tank and lets a controller program drive it: an inlet valve\n"
    "fills it, the operator's draw-off valve (\"Soutirage\") empties it, a heater\n"
    "and a stirrer warm the water. The operator sets the level and temperature\n"
    "set points and an auto/manual switch; a trend chart shows the last minute.\n"
    "Values are whole numbers in engineering units:\n"
    "\n"
    "  Lt level (mm, 0 to 1000)       Tt temperature (0.1 degC)\n"
    "  Ft outflow (0.1 l/min)         Lh high level switch (1 at 900 mm or more)\n"
    "  Ll low level switch (1 at 150 mm or less)\n"
    "  SPl level set point (mm)       SPt temperature set point (0.1 degC)\n"
    "  Aut auto (1) or manual (0)\n"
    "  Vin inlet valve (0 to 100 %)   Pch heater power (0 to 100 %)\n"
    "  Agi stirrer (0 or 1)\n"
    "\n"
    "Outputs out of range are clamped. The measurements carry noise drawn from\n"
    "the seed N (1 without --seed): one seed, one run.\n"
    "\n"
    "The arguments form the command that starts the controller; the simulator\n"
    "appends \"-automemlink <ident>\" and runs it in the background. The two meet\n"
    "in a shared-memory exchange area of 8 inputs and 3 outputs:\n"
    "\n"
    "  inputs:  Lt Tt Ft Lh Ll SPl SPt Aut\n"
    "  outputs: Vin Pch Agi\n"
    "\n"
    "Exit status: 0 when the run ends by \"Quitter\" or the window is closed,\n"
    "1 when the tank overflows, the heater is powered above the water, or the\n"
    "area cannot be created. See sudz-tank(1).\n";

const char overflow_text[] =
    "La cuve deborde !!!\n\n"
    " Le niveau a atteint le bord.\n\n"
    "                      ARRET URGENT!!!";
const char dry_heater_text[] =
    "La resistance chauffe hors de l'eau !!!\n\n"
    " Le niveau est sous l'element chauffant.\n\n"
    "                      ARRET URGENT!!!";

constexpr int width = 790, height = 480;
// The tank's inside, 0.3 pixel per mm.
constexpr int tank_x = 60, tank_y = 60, tank_w = 160, tank_h = 300;
constexpr double px_per_mm = tank_h / tank_model::height_mm;
constexpr int pipe_y = 30, pipe_w = 6;  // inlet pipe along y, then down at inlet_x
constexpr int inlet_x = 104;
constexpr int outlet_y = tank_y + tank_h - 20;  // draw-off pipe leaves the right wall
constexpr int shaft_x = 178;
constexpr int chart_x = 350, chart_y = 40, panel_h = 130, panel_gap = 40;

const Fl_Color orange = 0xff960000;  // fl_rgb_color(255, 150, 0)

int mm_to_y(double mm) {
  return tank_y + tank_h - static_cast<int>(std::lround(mm * px_per_mm));
}

struct tank_window {
  plant_window* window = nullptr;
  Fl_Value_Slider* level_sp = nullptr;
  Fl_Value_Slider* temperature_sp = nullptr;
  Fl_Value_Slider* draw_off = nullptr;
  Fl_Light_Button* automatic = nullptr;
  Fl_Button* quitter = nullptr;
};

Fl_Value_Slider* add_slider(int x, const char* label, double lo, double hi, double step,
                            double value) {
  auto* s = new Fl_Value_Slider(x, 395, 130, 25, label);
  s->type(FL_HOR_NICE_SLIDER);
  s->align(FL_ALIGN_TOP);
  s->labelfont(FL_TIMES);
  s->labelsize(12);
  s->bounds(lo, hi);
  s->step(step);
  s->value(value);
  // Read every cycle: no event of its own in the read queue.
  s->when(FL_WHEN_NEVER);
  return s;
}

tank_window build_tank_window(const tank_operator& op) {
  tank_window w;
  w.window = new plant_window(width, height);
  // The ground: a flat box as large as the window, painted whenever the toolkit repaints it.
  w.window->box(FL_NO_BOX);
  new Fl_Box(FL_FLAT_BOX, 0, 0, width, height, nullptr);
  w.level_sp = add_slider(chart_x, "Consigne niveau", 0, 1000, 10, op.level_set_point);
  w.temperature_sp = add_slider(chart_x + 150, "Consigne temperature", 0, 90, 0.5,
                                op.temperature_set_point / 10.0);
  w.draw_off = add_slider(chart_x + 300, "Soutirage (%)", 0, 100, 5, op.draw_off);
  w.automatic = new Fl_Light_Button(chart_x, 440, 90, 30, "Auto");
  w.automatic->labelfont(FL_TIMES);
  w.automatic->labelsize(12);
  w.automatic->value(op.automatic ? 1 : 0);
  w.quitter = new Fl_Button(width - 100, 440, 90, 30, "Quitter");
  w.quitter->labelfont(FL_TIMES);
  w.quitter->labelsize(12);
  w.window->end();
  return w;
}

tank_operator read_operator(const tank_window& w) {
  tank_operator op;
  op.level_set_point = static_cast<int>(std::lround(w.level_sp->value()));
  op.temperature_set_point = static_cast<int>(std::lround(w.temperature_sp->value() * 10));
  op.automatic = w.automatic->value() != 0;
  op.draw_off = static_cast<int>(std::lround(w.draw_off->value()));
  return op;
}

void text(int x, int y, int w, const std::string& s, Fl_Color ground,
          unsigned align = FL_ALIGN_LEFT) {
  fl_rectf(x, y, w, 18, ground);
  fl_drw_String(align | FL_ALIGN_INSIDE, x, y, w, 18, FL_BLACK, 12, FL_TIMES, s);
}

// A valve on a horizontal pipe, centred at (x, y): two triangles, filled when open.
void draw_valve(int x, int y, bool open) {
  fl_color(open ? FL_DARK_GREEN : FL_DARK3);
  fl_polygon(x - 14, y - 9, x, y, x - 14, y + 9);
  fl_polygon(x + 14, y - 9, x, y, x + 14, y + 9);
  fl_color(FL_BLACK);
  fl_loop(x - 14, y - 9, x, y, x - 14, y + 9);
  fl_loop(x + 14, y - 9, x, y, x + 14, y + 9);
}

// A bar of the opening, 0 to 100 %.
void draw_bar(int x, int y, int percent) {
  fl_rectf(x, y, 50, 5, FL_WHITE);
  fl_rectf(x, y, percent / 2, 5, FL_DARK_GREEN);
  fl_color(FL_BLACK);
  fl_rect(x - 1, y - 1, 52, 7);
}

// What never changes: walls, pipes, the stirrer's motor, the probe, the chart's frames and
// legends.
void draw_scenery() {
  fl_rectf(tank_x - 3, tank_y - 6, 3, tank_h + 9, FL_DARK3);  // walls and bottom
  fl_rectf(tank_x + tank_w, tank_y - 6, 3, tank_h + 9, FL_DARK3);
  fl_rectf(tank_x - 3, tank_y + tank_h, tank_w + 6, 3, FL_DARK3);
  fl_rectf(10, pipe_y - pipe_w / 2, inlet_x - 10 + pipe_w, pipe_w, FL_DARK2);  // inlet pipe
  fl_rectf(inlet_x, pipe_y, pipe_w, tank_y - pipe_y, FL_DARK2);
  fl_rectf(tank_x + tank_w + 3, outlet_y - pipe_w / 2, 90, pipe_w, FL_DARK2);  // draw-off pipe
  fl_rectf(shaft_x - 10, tank_y - 26, 20, 16, FL_DARK3);  // the stirrer's motor
  fl_rectf(shaft_x - 1, tank_y - 10, 3, 10, FL_BLACK);
  fl_rectf(tank_x - 12, mm_to_y(400), 9, 4, FL_BLACK);  // the probe, through the wall
  fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, 10, mm_to_y(400) - 20, 40, 16, FL_BLACK, 11,
                FL_TIMES, "TT");
  fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, tank_x + tank_w + 18, mm_to_y(900) - 8, 30, 16,
                FL_BLACK, 11, FL_TIMES, "Lh");
  fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, tank_x + tank_w + 18, mm_to_y(150) - 8, 30, 16,
                FL_BLACK, 11, FL_TIMES, "Ll");

  const char* titles[2] = {"Niveau (mm), vanne (%)", "Temperature (C), chauffage (%)"};
  const char* tops[2] = {"1000", "100"};
  const char* names[2][3] = {{"SPl", "Vin", "Lt"}, {"SPt", "Pch", "Tt"}};
  const Fl_Color colours[2][3] = {{FL_DARK_CYAN, FL_DARK_GREEN, FL_BLUE},
                                  {FL_DARK_MAGENTA, orange, FL_RED}};
  for (int p = 0; p < 2; ++p) {
    const int y = chart_y + p * (panel_h + panel_gap);
    fl_color(FL_BLACK);
    fl_rect(chart_x - 1, y - 1, trend_chart::columns + 2, panel_h + 2);
    fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, chart_x, y - 20, 300, 18, FL_BLACK, 12, FL_TIMES,
                  titles[p]);
    fl_drw_String(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE, chart_x - 45, y - 6, 40, 14, FL_BLACK, 11,
                  FL_TIMES, tops[p]);
    fl_drw_String(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE, chart_x - 45, y + panel_h - 8, 40, 14, FL_BLACK,
                  11, FL_TIMES, "0");
    for (int i = 0; i < 3; ++i) {
      const int ly = y + 10 + 22 * i;
      fl_rectf(chart_x + trend_chart::columns + 12, ly + 6, 16, 4, colours[p][i]);
      fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, chart_x + trend_chart::columns + 32, ly, 60,
                    16, FL_BLACK, 12, FL_TIMES, names[p][i]);
    }
  }
  fl_drw_String(FL_ALIGN_LEFT | FL_ALIGN_INSIDE, chart_x, chart_y + 2 * panel_h + panel_gap + 4,
                300, 16, FL_BLACK, 11, FL_TIMES, "la derniere minute");
}

// The water's colour: from blue when cold to red when hot, in steps of 10 degC.
int water_shade(double c) {
  return std::min(std::max(static_cast<int>(c / 10), 0), 9);
}

// The tank's inside: air, water, the inflow's stream, the heating element, the stirrer.
struct tank_look {
  int water_px, shade, stream, heat, stirrer;
};

tank_look look_of(const tank_model& m, long cycle) {
  tank_look l;
  l.water_px = static_cast<int>(std::lround(m.level() * px_per_mm));
  l.shade = water_shade(m.temperature());
  l.stream = m.valve() > 0.5 ? 1 : 0;
  l.heat = static_cast<int>(std::lround(m.heater() / 25));  // five glows
  l.stirrer = m.stirring() ? 1 + static_cast<int>(cycle / 10 % 2) : 0;
  return l;
}

void draw_inside(const tank_look& l, Fl_Color ground) {
  const int surface = tank_y + tank_h - l.water_px;
  fl_rectf(tank_x, tank_y, tank_w, tank_h - l.water_px, ground);
  const double t = l.shade / 9.0;
  const Fl_Color water =
      fl_rgb_color(static_cast<uchar>(60 + 170 * t), 110, static_cast<uchar>(230 - 150 * t));
  fl_rectf(tank_x, surface, tank_w, l.water_px, water);
  if (l.stream) fl_rectf(inlet_x, tank_y, pipe_w, surface - tank_y, fl_rgb_color(120, 170, 255));
  const int element_y = mm_to_y(tank_model::element_mm);
  fl_rectf(tank_x + 15, element_y, tank_w - 30, 6,
           l.heat == 0 ? FL_DARK3 : fl_color_average(FL_RED, FL_DARK3, l.heat / 4.0f));
  fl_rectf(shaft_x - 1, tank_y, 3, mm_to_y(250) - tank_y, FL_BLACK);  // shaft and paddle
  const int paddle = l.stirrer == 2 ? 8 : 22;
  fl_rectf(shaft_x - paddle, mm_to_y(250), 2 * paddle + 1, 5, l.stirrer ? FL_BLACK : FL_DARK3);
}

void draw_lamp(int x, int y, bool on) {
  fl_color(on ? FL_YELLOW : FL_DARK3);
  fl_pie(x - 5, y - 5, 10, 10, 0, 360);
  fl_color(FL_BLACK);
  fl_arc(x - 5, y - 5, 10, 10, 0, 360);
}

std::string tenths(int v) {
  char b[32];
  std::snprintf(b, sizeof b, "%d.%d", v / 10, std::abs(v % 10));
  return b;
}

// The model as the window shows it, and the chart's samples.
struct tank_view {
  tank_model* model;
  trend_chart* chart;
  int inputs[tank_input_count] = {};
  int draw_off = 0;
  long cycles = 0;
};

void add_tank_parts(plant_drawing& d, tank_view& v, Fl_Color ground) {
  d.add([](std::string&) {}, [] { draw_scenery(); });
  d.add(
      [&v](std::string& look) {
        const tank_look l = look_of(*v.model, v.cycles);
        append_look(look, l);
      },
      [&v, ground] { draw_inside(look_of(*v.model, v.cycles), ground); });
  d.add(
      [&v](std::string& look) {
        append_look(look, static_cast<int>(std::lround(v.model->valve())));
      },
      [&v, ground] {
        const int open = static_cast<int>(std::lround(v.model->valve()));
        draw_valve(45, pipe_y, open > 0);
        draw_bar(20, pipe_y + 14, open);
        text(20, 2, 80, "Vin " + std::to_string(open) + " %", ground);
      });
  d.add([&v](std::string& look) { append_look(look, v.draw_off); },
        [&v, ground] {
          draw_valve(tank_x + tank_w + 50, outlet_y, v.draw_off > 0);
          draw_bar(tank_x + tank_w + 25, outlet_y + 14, v.draw_off);
          text(tank_x + tank_w + 8, outlet_y + 24, 95,
               "Soutirage " + std::to_string(v.draw_off) + " %", ground);
        });
  d.add(
      [&v](std::string& look) {
        append_look(look, v.inputs[IN_LH]);
        append_look(look, v.inputs[IN_LL]);
      },
      [&v] {
        draw_lamp(tank_x + tank_w + 10, mm_to_y(tank_model::high_switch_mm), v.inputs[IN_LH] == 1);
        draw_lamp(tank_x + tank_w + 10, mm_to_y(tank_model::low_switch_mm), v.inputs[IN_LL] == 1);
      });
  // The read-outs show the process as it is, without the measurements' noise.
  d.add(
      [&v](std::string& look) {
        append_look(look, static_cast<int>(std::lround(v.model->level())));
      },
      [&v, ground] {
        text(20, 385, 250, "Niveau  " + std::to_string(std::lround(v.model->level())) + " mm",
             ground);
      });
  d.add(
      [&v](std::string& look) {
        append_look(look, static_cast<int>(std::lround(v.model->temperature() * 10)));
      },
      [&v, ground] {
        const int t = static_cast<int>(std::lround(v.model->temperature() * 10));
        text(20, 408, 250, "Temperature  " + tenths(t) + " C", ground);
      });
  d.add(
      [&v](std::string& look) {
        append_look(look, static_cast<int>(std::lround(v.model->outflow() * 600)));
      },
      [&v, ground] {
        const int f = static_cast<int>(std::lround(v.model->outflow() * 600));
        text(20, 431, 250, "Debit sortant  " + tenths(f) + " l/min", ground);
      });
  // The chart: whole when everything is painted, else only its new columns.
  d.add([](std::string&) {}, [&v] { v.chart->paint_all(); });
  d.add([&v](std::string& look) { append_look(look, v.chart->written()); },
        [&v] { v.chart->paint_new(); });
}

// "--seed N": N a decimal number that fits 64 bits.
bool parse_seed(const char* text, std::uint64_t* seed) {
  if (*text == '\0') return false;
  for (const char* c = text; *c; ++c)
    if (*c < '0' || *c > '9') return false;
  errno = 0;
  const unsigned long long v = std::strtoull(text, nullptr, 10);
  if (errno == ERANGE) return false;
  *seed = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  plant_description tank;
  tank.name = "sudz-tank";
  tank.help = help_text;
  for (int i = 0; i < tank_input_count; ++i) tank.inputs.emplace_back(tank_signals[i]);
  for (int k = 0; k < tank_output_count; ++k)
    tank.outputs.emplace_back(tank_signals[tank_input_count + k]);
  // The operator's switch, which a scenario may press as a person would.
  tank.buttons = {"Auto"};

  // "--seed N" before the controller command draws the noise; it is taken out of the arguments
  // that the controller and the toolkit see.
  std::vector<char*> args(argv, argv + argc);
  std::uint64_t seed = 1;
  if (args.size() >= 2 && std::strcmp(args[1], "--seed") == 0) {
    if (args.size() < 3 || !parse_seed(args[2], &seed)) {
      std::fputs("sudz-tank: --seed takes a decimal number\n", stderr);
      return 1;
    }
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  args.push_back(nullptr);
  int count = static_cast<int>(args.size()) - 1;

  IOsharemem_server* server = start_plant(tank, count, args.data());
  if (server == nullptr) return 0;

  const tank_operator start;
  tank_window w = build_tank_window(start);
  const Fl_Color ground = w.window->color();
  // Made once and never destroyed, like the window: an alarm ends the process from inside
  // run_plant, which never returns here.
  static tank_model* model = new tank_model(seed);
  static trend_chart* chart = new trend_chart(
      chart_x, chart_y, panel_h, panel_gap, {1000, 100, 1000, 1000, 100, 1000},
      {FL_DARK_CYAN, FL_DARK_GREEN, FL_BLUE, FL_DARK_MAGENTA, orange, FL_RED}, FL_WHITE);
  static tank_view view{model, chart};

  plant_hooks hooks;
  hooks.inputs = [&](int* value, bool*) {
    model->compute_inputs(read_operator(w), value);
    std::copy(value, value + tank_input_count, view.inputs);
  };
  hooks.step = [&](const int* outputs) -> const char* {
    view.draw_off = static_cast<int>(std::lround(w.draw_off->value()));
    const tank_alarm alarm = model->step(outputs, view.draw_off);
    ++view.cycles;
    const int* in = view.inputs;
    chart->record({in[IN_SPL], std::min(std::max(outputs[OUT_VIN], 0), 100), in[IN_LT], in[IN_SPT],
                   std::min(std::max(outputs[OUT_PCH], 0), 100), in[IN_TT]});
    if (alarm == tank_alarm::overflow) return overflow_text;
    if (alarm == tank_alarm::dry_heater) return dry_heater_text;
    return nullptr;
  };
  plant_drawing drawing;
  add_tank_parts(drawing, view, ground);
  hooks.drawing = &drawing;

  // Shown centred, with a border and the title "cuve", by which tests and tools find it.
  fl_show_form(w.window, FL_PLACE_CENTER | FL_FREE_SIZE, FL_FULLBORDER, "cuve");
  return run_plant(tank, hooks, *server, w.window, w.quitter);
}
