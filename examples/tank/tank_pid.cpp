// tank_pid: two PID loops for the sudz-tank heated tank.
//
// Run it with the simulator:   sudz-tank ./tank_pid
//
// The level loop drives the inlet valve ("Vin") from the level ("Lt") to its set point ("SPl");
// the temperature loop drives the heater ("Pch") from the temperature ("Tt") to its set point
// ("SPt"). Each loop is a PID in parallel form, its derivative taken on the measurement and
// filtered, and its integral frozen while the output is held at a limit by the error
// (anti-windup). With the operator's switch on manual ("Aut" 0) the outputs stay as they are and
// each loop's integral follows them, so that the switch back to auto starts from those outputs
// without a jump (bumpless). The heater is off while the low level switch ("Ll") says the water
// is too low, and the stirrer ("Agi") runs whenever the water covers it.
//
// Time is counted on the simulator's input clock, 5 ms of process a cycle, so the loops see the
// process's own time however busy the machine is.
#include <algorithm>

#include <IOshare/IOsharemem_client.h>

namespace {

constexpr double cycle_s = 0.005;

class pid_loop {
 public:
  // gain: % of output per unit of error; ti, td: integral and derivative times in seconds
  // (ti 0: no integral).
  pid_loop(double gain, double ti, double td) : gain_(gain), ti_(ti), td_(td) {}

  // One step of dt seconds in auto: the output, 0 to 100 %.
  double update(double set_point, double measure, double dt) {
    const double error = set_point - measure;
    derivative_step(measure, dt);
    const double p = gain_ * error;
    const double wanted = p + integral_ + derivative_;
    // The integral moves only while the output is free to follow it.
    const bool held_high = wanted >= 100 && error > 0, held_low = wanted <= 0 && error < 0;
    if (ti_ > 0 && !held_high && !held_low) {
      integral_ += gain_ * error * dt / ti_;
      integral_ = std::min(std::max(integral_, -100.0), 100.0);
    }
    return std::min(std::max(p + integral_ + derivative_, 0.0), 100.0);
  }

  // In manual: the integral takes whatever makes the next automatic output equal to output.
  void track(double set_point, double measure, double output, double dt) {
    derivative_step(measure, dt);
    integral_ = output - gain_ * (set_point - measure) - derivative_;
  }

  // A fresh start, as after the heater's interlock.
  void reset() {
    integral_ = 0;
    derivative_ = 0;
    started_ = false;
  }

 private:
  // Derivative of the measurement, through a first-order filter of td/2 against its noise.
  void derivative_step(double measure, double dt) {
    if (started_ && td_ > 0) {
      const double filter = td_ / 2;
      const double raw = -gain_ * td_ * (measure - last_) / dt;
      derivative_ += (raw - derivative_) * dt / (filter + dt);
    }
    last_ = measure;
    started_ = true;
  }

  double gain_, ti_, td_;
  double integral_ = 0, derivative_ = 0, last_ = 0;
  bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  IOsharemem_client io(automemlink_ident(argc, argv));
  pid_loop level(1.5, 15.0, 0.0);        // % per mm
  pid_loop temperature(1.5, 60.0, 4.0);  // % per 0.1 degC
  double vin = 0, pch = 0;
  int last_clock = -1;

  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;
    const int clock = io.inputs_clock();
    // The cycles since the last look; a first look, or a clock gone back, counts as one.
    const int cycles =
        last_clock < 0 || clock <= last_clock ? 1 : std::min(clock - last_clock, 100);
    last_clock = clock;
    const double dt = cycles * cycle_s;

    const double lt = io.input_is_set("Lt"), tt = io.input_is_set("Tt");
    const double spl = io.input_is_set("SPl"), spt = io.input_is_set("SPt");
    const bool automatic = io.input_is_set("Aut") == 1;
    const bool low = io.input_is_set("Ll") == 1;

    if (automatic) {
      vin = level.update(spl, lt, dt);
    } else {
      level.track(spl, lt, vin, dt);
    }
    if (low) {
      pch = 0;  // the element is not safely under water
      temperature.reset();
    } else if (automatic) {
      pch = temperature.update(spt, tt, dt);
    } else {
      temperature.track(spt, tt, pch, dt);
    }

    io.setreset_output("Vin", static_cast<int>(vin + 0.5));
    io.setreset_output("Pch", static_cast<int>(pch + 0.5));
    io.setreset_output("Agi", low ? 0 : 1);
    io.outputs_refresh();
  }
  return 0;
}
