// The washing machine's physical model, free of drawing.
//
// machine_plant holds the eight devices and the state of the cycle
// (temperature, programme step, the two timers) and applies the rules of
// one simulation cycle to them. It never draws and never touches the
// toolkit, so a test steps it without a display; the machine window only
// paints what it holds.
#ifndef SUDZ_PLANT_H
#define SUDZ_PLANT_H

#include <cstdint>
#include <functional>

#include "objgraphiques/cuve.h"
#include "objgraphiques/melangeur.h"
#include "objgraphiques/resistor.h"
#include "objgraphiques/trappe.h"
#include "objgraphiques/vanne.h"

class Fl_Window;

// Inputs and outputs by index on their side of the exchange area.
enum plant_input { IN_T, IN_NIV, IN_VIDE, IN_TR, IN_ST, IN_PREL, IN_LAV, IN_RINC, IN_ESS, IN_T1MT, IN_T5MT };
enum plant_output { OUT_NF, OUT_H, OUT_VO, OUT_SO, OUT_PW, OUT_VI, OUT_AVL, OUT_ARL, OUT_AVR, OUT_T1M, OUT_T5M };
constexpr int plant_signal_count = 11;

// The operator's controls as the cycle reads them from the window.
struct operator_controls {
  double setpoint = 60.0;    // thermostat slider, 30.0 to 90.0
  bool door_open = false;    // "Ouvrir" pressed in
  bool start = false;        // "Demarrer" pressed in
  bool timer1_held = false;  // "Timer 1 min termine" held down
  bool timer5_held = false;  // "Timer 5 min termine" held down
};

// Whole seconds of the system clock; 64-bit so deadlines survive 2038.
std::int64_t system_seconds();

// A timer started by the rising edge of its output. Its input is 1 during
// the seconds strictly between deadline and deadline + 5.
class plant_timer {
 public:
  explicit plant_timer(int delay_seconds) : delay_(delay_seconds) {}
  // One evaluation: the button held forces 1 and leaves the output unwatched.
  int evaluate(bool button_held, int output, std::int64_t now);
  bool started() const { return started_; }
  std::int64_t deadline() const { return deadline_; }

 private:
  int delay_;
  int previous_ = 0;
  bool started_ = false;
  std::int64_t deadline_ = 0;
};

enum class plant_alarm { none, boiling, overflow };

// The 11 inputs of one cycle; write[i] is false when input i keeps its
// last value (the thermostat inside its hysteresis band).
struct plant_inputs {
  int value[plant_signal_count] = {};
  bool write[plant_signal_count] = {};
};

class machine_plant {
 public:
  static constexpr double start_temperature = 10.0;
  static constexpr double temperature_step = 0.05;
  static constexpr double boiling_limit = 100.0;
  static constexpr double hysteresis = 10.0;
  static constexpr double inflow = 5.0;
  static constexpr double outflow = 3.0;
  static constexpr double pump_speed = 100.0;
  static constexpr double detergent_flow = 5.0;
  static constexpr double fast_speed = 0.1;
  static constexpr double slow_speed = 0.02;
  static constexpr int short_delay = 10;
  static constexpr int long_delay = 30;

  using clock_fn = std::function<std::int64_t()>;

  // The devices are built with the machine's geometry and drawn into
  // window (null for a model without display). now gives whole seconds.
  explicit machine_plant(Fl_Window* window = nullptr, clock_fn now = system_seconds);

  // Inputs of one cycle from the plant as the previous cycle left it and
  // from the outputs read in the previous cycle (for the timers).
  plant_inputs compute_inputs(const operator_controls& controls, const int outputs[plant_signal_count]);

  // Applies one cycle's outputs and advances the plant. Stops at the first
  // alarm, leaving the rest of the cycle undone.
  plant_alarm apply_outputs(const int outputs[plant_signal_count]);

  double temperature() const { return temperature_; }
  int step() const { return step_; }
  // The thermostat input as last written (0 before any write).
  int thermostat() const { return thermostat_; }

  cuve tank;
  cuve white;
  cuve yellow;
  vanne valve;
  melangeur drum;
  melangeur pump;
  resistor heater;
  trappe hatch;

 private:
  clock_fn now_;
  double temperature_ = start_temperature;
  int step_ = 0;
  int previous_nf_ = 0;
  int thermostat_ = 0;
  plant_timer short_timer_{short_delay};
  plant_timer long_timer_{long_delay};
};

#endif
