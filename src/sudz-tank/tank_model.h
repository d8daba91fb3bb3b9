// The heated tank's process, stepped once per cycle and read without a display.
//
// A vertical tank of 0.1 m2 section and 1000 mm height is filled through an inlet valve and
// drained at the bottom through the operator's draw-off valve; an electric heating element lies
// near the bottom, a stirrer mixes the water, and a temperature probe on the wall reads it.
//
// One cycle stands for 5 ms of the process. The level follows the mass balance: inflow
// proportional to the inlet valve's actual opening, which moves towards the commanded one at a
// limited rate, and outflow through the draw-off valve growing with the square root of the
// level. The temperature follows the heat balance of two zones: the water around the heating
// element, which the element heats, and the bulk, into which cold water flows and which loses
// heat to the room; the two exchange heat quickly with the stirrer running and slowly without.
// The probe sees the bulk after a transport delay and with a first-order lag. The measurements
// carry noise from a generator seeded at construction, so that one seed always gives the same
// run.
#ifndef SUDZ_TANK_TANK_MODEL_H
#define SUDZ_TANK_TANK_MODEL_H

#include <cstdint>
#include <vector>

// Inputs and outputs by index on their side of the exchange area.
enum tank_input {
  IN_LT,   // level, mm (0 to 1000)
  IN_TT,   // water temperature as the probe reads it, 0.1 degC
  IN_FT,   // outflow, 0.1 l/min
  IN_LH,   // high level switch: 1 at or above high_switch_mm
  IN_LL,   // low level switch: 1 at or below low_switch_mm
  IN_SPL,  // the operator's level set point, mm
  IN_SPT,  // the operator's temperature set point, 0.1 degC
  IN_AUT,  // the operator's auto (1) / manual (0) switch
};
enum tank_output {
  OUT_VIN,  // inlet valve opening, % (clamped to 0..100)
  OUT_PCH,  // heater power, % (clamped to 0..100)
  OUT_AGI,  // stirrer: on at 1 or more
};
constexpr int tank_input_count = 8;
constexpr int tank_output_count = 3;

// The names, inputs first: input i is entry i, output k is entry 8 + k.
extern const char* const tank_signals[tank_input_count + tank_output_count];

// What the operator sets on the window.
struct tank_operator {
  int level_set_point = 500;        // mm
  int temperature_set_point = 400;  // 0.1 degC
  bool automatic = true;
  int draw_off = 40;  // draw-off valve opening, %
};

enum class tank_alarm { none, overflow, dry_heater };

class tank_model {
 public:
  // The process's constants.
  static constexpr double cycle_s = 0.005;
  static constexpr double height_mm = 1000;      // the rim: water reaching it overflows
  static constexpr double kg_per_mm = 0.1;       // 0.1 m2 section
  static constexpr double inflow_max_lps = 2.0;  // inlet valve fully open
  static constexpr double outflow_lps = 1.2;     // draw-off fully open, tank full
  static constexpr double valve_stroke_s = 4.0;  // inlet valve, closed to open
  static constexpr double heater_w = 200e3;      // heater at 100 %
  static constexpr double element_mm = 100;      // top of the heating element
  static constexpr double high_switch_mm = 900;
  static constexpr double low_switch_mm = 150;
  static constexpr double cold_c = 15, room_c = 20;
  static constexpr double loss_w_per_k = 50;    // tank wall to the room
  static constexpr double element_share = 0.2;  // of the water, around the element
  static constexpr double mixing_kgps_on = 10, mixing_kgps_off = 0.2;
  static constexpr double probe_delay_s = 2.0, probe_lag_s = 4.0;
  static constexpr double level_noise_mm = 1.5, temperature_noise_c = 0.1, flow_noise = 0.01;
  static constexpr double water_j_per_kg_k = 4186;

  // An empty tank of cold water. The seed draws the measurements' noise.
  explicit tank_model(std::uint64_t seed = 1);

  // The inputs as the process stands, the measurements with their noise (one draw per call).
  void compute_inputs(const tank_operator& op, int in[tank_input_count]);
  // One cycle with these outputs and the draw-off valve at draw_off %. Out-of-range values are
  // clamped. On an alarm the state is the one that raised it.
  tank_alarm step(const int out[tank_output_count], int draw_off);

  // The state, exact (no noise).
  double level() const { return level_; }         // mm
  double temperature() const { return bulk_c_; }  // bulk water, degC
  double element_temperature() const { return element_c_; }
  double probe() const { return probe_c_; }  // what the probe reads, degC
  double valve() const { return valve_; }    // inlet valve's actual opening, %
  double heater() const { return heater_; }  // %
  bool stirring() const { return stirring_; }
  double outflow() const { return outflow_lps_; }  // l/s
  double inflow() const { return valve_ / 100 * inflow_max_lps; }

  // For tests: water of this level and temperature, probe settled on it, valve at its command.
  void set_state(double level_mm, double temperature_c, double valve_percent = 0);

 private:
  double noise();  // about normal, mean 0, standard deviation 1

  double level_ = 0;
  double bulk_c_ = cold_c, element_c_ = cold_c, probe_c_ = cold_c;
  double valve_ = 0, heater_ = 0, outflow_lps_ = 0;
  bool stirring_ = false;
  std::vector<double> delay_;  // bulk temperatures on their way to the probe
  std::size_t delay_at_ = 0;
  std::uint64_t random_;
};

#endif
