// The gate's model stepped without a display through the kit's own cycle, as the program runs
// it: outputs written by name into an exchange area with the gate's names, as a controller
// writes them, and inputs read back by name. Its parts belong to a window that is never shown,
// so they draw nothing.
#include <string>
#include <utility>
#include <vector>

#include <FL/Fl_Window.H>

#include <planttest/plant_test.h>

#include "gate_plant.h"

using namespace planttest;

int main() {
  plant_description gate;
  gate.name = "sudz-gate";
  for (int i = 0; i < gate_input_count; ++i) gate.inputs.emplace_back(gate_signals[i]);
  for (int k = 0; k < gate_output_count; ++k)
    gate.outputs.emplace_back(gate_signals[gate_input_count + k]);

  Fl_Window hidden(gate_plant::width, gate_plant::height);  // never shown
  gate_plant plant(&hidden, FL_BACKGROUND_COLOR);
  plant_hooks hooks;
  hooks.inputs = [&](int* value, bool*) { plant.compute_inputs(false, value); };
  hooks.step = [&](const int* outputs) -> const char* {
    return plant.step(outputs) ? nullptr : "alarm";
  };
  plant_bench bench(gate);

  // One run, step after step: the outputs held, then the input awaited, and the cycles it took
  // to show in the area (-1: the alarm must come instead; -2: never within 500 cycles). A cycle
  // publishes the inputs before it steps: the area shows a step one cycle later.
  struct row {
    const char* what;
    std::vector<std::pair<std::string, int>> outputs;
    bool car;  // the operator sends a car first
    const char* input;
    int value, cycles;
  };
  const int travel =
      (gate_plant::closed_top - gate_plant::open_top - 1) * gate_plant::leaf_period + 1;
  const row rows[] = {
      {"at rest the gate is closed", {}, false, "Ff", 1, 1},
      {"opening reaches Fo", {{"Mo", 1}}, false, "Fo", 1, travel + 1},
      {"both motors: the leaf stays open", {{"Mf", 1}}, false, "Fo", 0, -2},
      {"closing reaches Ff", {{"Mo", 0}}, false, "Ff", 1, travel + 1},
      // From x = 66 to the beam at 276, half a pixel a cycle.
      {"a car drives up to the closed gate and cuts the beam", {{"Mf", 0}}, true, "Cel", 1, 422},
      {"opened, the car drives through", {{"Mo", 1}}, false, "Cel", 0, 252},
      {"a second car, the gate open: it enters the beam", {}, true, "Cel", 1, 422},
      {"closing onto it is the alarm", {{"Mo", 0}, {"Mf", 1}}, false, "Ff", 1, -1},
  };
  for (const row& r : rows) {
    for (const auto& o : r.outputs) bench.set_output(o.first, o.second);
    if (r.car) check(plant.add_car(), std::string(r.what) + ": the car came up");
    if (r.cycles == -2) {
      // Never reached: the input keeps its value for a long while.
      check(bench.cycles_until(hooks, r.input, r.value, 500) == -1, r.what);
      continue;
    }
    const int n = bench.cycles_until(hooks, r.input, r.value, 2000);
    check(n == r.cycles, std::string(r.what) + ": " + std::to_string(n) + " cycles, not " +
                             std::to_string(r.cycles));
  }
  check(bench.inputs_clock() > 0, "every cycle raised the input clock");
  return result();
}
