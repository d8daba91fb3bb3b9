#include "sudz/plant.h"

#include <sys/time.h>

std::int64_t system_seconds() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<std::int64_t>(tv.tv_sec);
}

int plant_timer::evaluate(bool button_held, int output, std::int64_t now) {
  if (button_held) return 1;
  if (output == 1 && previous_ == 0) {
    deadline_ = now + delay_;
    started_ = true;
  }
  previous_ = output;
  if (!started_) return 0;
  return (deadline_ < now && now < deadline_ + 5) ? 1 : 0;
}

machine_plant::machine_plant(Fl_Window* window, clock_fn now)
    : tank(window, 20, 450, 300, 350, 1, 280, 0, 10.0, 1),
      white(window, 30, 90, 20, 20, 1, 20, 20, 10.0, 0),
      yellow(window, 60, 90, 20, 20, 1, 20, 20, 10.0, 0),
      valve(window, 260, 75, 50, 10, 30, 0, 0),
      drum(window, 170, 250, 200),
      pump(window, 360, 420, 40),
      heater(window, 170, 400, 90, 48),
      hatch(window, 120, 100, 100, 45.0, 1, 1),
      now_(std::move(now)) {}

plant_inputs machine_plant::compute_inputs(const operator_controls& controls,
                                           const int outputs[plant_signal_count]) {
  plant_inputs in;
  for (bool& w : in.write) w = true;

  // Thermostat with hysteresis: inside the band the input keeps its value.
  double s = controls.setpoint;
  if (temperature_ > s) {
    thermostat_ = 1;
  } else if (s - hysteresis > temperature_) {
    thermostat_ = 0;
  } else {
    in.write[IN_T] = false;
  }
  in.value[IN_T] = thermostat_;

  in.value[IN_NIV] = tank.full() ? 1 : 0;
  in.value[IN_VIDE] = tank.empty() ? 1 : 0;
  in.value[IN_TR] = controls.door_open ? 0 : 1;
  in.value[IN_ST] = controls.start ? 1 : 0;
  in.value[IN_PREL] = step_ == 0;
  in.value[IN_LAV] = step_ == 1;
  in.value[IN_RINC] = step_ == 2;
  in.value[IN_ESS] = step_ == 3;

  in.value[IN_T1MT] = short_timer_.evaluate(controls.timer1_held, outputs[OUT_T1M], now_());
  in.value[IN_T5MT] = long_timer_.evaluate(controls.timer5_held, outputs[OUT_T5M], now_());
  return in;
}

plant_alarm machine_plant::apply_outputs(const int outputs[plant_signal_count]) {
  // Programme step: one step per rising edge of "nF", held at spin.
  if (outputs[OUT_NF] == 1 && previous_nf_ == 0) {
    step_ += 1;
    if (step_ > 3) step_ = 3;
  }
  previous_nf_ = outputs[OUT_NF];

  if (outputs[OUT_H] == 1) {
    heater.heat();
    temperature_ += temperature_step;
    if (temperature_ > boiling_limit) return plant_alarm::boiling;
  } else {
    heater.unheat();
    temperature_ -= temperature_step;
    if (temperature_ < start_temperature) temperature_ = start_temperature;
  }

  if (outputs[OUT_VO] == 1) {
    tank.change_out(outflow);
    pump.change_speed(pump_speed);
  } else {
    tank.change_out(0.0);
    pump.change_speed(0.0);
  }

  // A container once released keeps emptying: its outflow is never reset.
  if (outputs[OUT_SO] == 1) yellow.change_out(detergent_flow);
  if (outputs[OUT_PW] == 1) white.change_out(detergent_flow);

  if (outputs[OUT_VI] == 1) {
    tank.change_in(inflow);
    valve.open();
  } else {
    tank.change_in(0.0);
    valve.close();
  }

  // The level tested is the one the previous cycle left.
  if (tank.overfull()) return plant_alarm::overflow;

  if (outputs[OUT_AVR] == 1) {
    drum.change_speed(fast_speed);
  } else if (outputs[OUT_AVL] == 1 && outputs[OUT_ARL] == 0) {
    drum.change_speed(slow_speed);
  } else if (outputs[OUT_ARL] == 1 && outputs[OUT_AVL] == 0) {
    drum.change_speed(-slow_speed);
  } else {
    drum.change_speed(0.0);
  }

  tank.react();
  white.react();
  yellow.react();
  drum.react();
  pump.react();
  return plant_alarm::none;
}
