// The bundled washing programme, run as its own process through a whole programme against the
// plant model. The test plays the simulator's cycle: inputs from the plant, published, outputs
// read, plant advanced, a pause of 5000 microseconds; the model alone, or drawn into windows.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/x.H>

#include "IOshare/IOsharemem_server.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "sudz/machine_window.h"
#include "sudz/plant.h"
#include "sudz/startup.h"
#include "support/child_process.h"
#include "support/window_pixels.h"

namespace {

// The signal names of the simulator's own table, on one side.
std::list<std::string> names(int first) {
  std::list<std::string> l;
  for (int i = first; i < first + plant_signal_count; ++i) l.emplace_back(table_signaux[i]);
  return l;
}

// The controller, started as the simulator starts it; killed if the test leaves early.
class controller_process {
 public:
  controller_process(const std::string& path, int ident)
      : pid_(testsupport::spawn_program({path, "-automemlink", std::to_string(ident)})) {}
  ~controller_process() {
    if (pid_ > 0) testsupport::kill_and_reap(pid_);
  }
  bool started() const { return pid_ > 0; }
  bool alive() {
    if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
  }
  // The wait status once it has ended, waiting up to `polls` times 10 ms; -1 if still running.
  int wait_exit(int polls) {
    if (pid_ > 0 && testsupport::wait_for(pid_, polls * 10, &status_)) pid_ = -1;
    return pid_ > 0 ? -1 : status_;
  }

 private:
  pid_t pid_;
  int status_ = -1;
};

// The simulator's side: the exchange area, the plant with a fake clock, the operator's controls.
struct simulator {
  static constexpr int cycles_per_second = 10;  // the fake clock: timers 10 to 100 times faster
  static constexpr int max_lag = 8;             // see keep_pace()

  // The plant draws into window, if one is given.
  explicit simulator(Fl_Window* plant_window = nullptr) : window(plant_window) {}

  Fl_Window* window;
  std::list<std::string> inputs = names(0);
  std::list<std::string> outputs = names(11);
  IOsharemem_server server{inputs, outputs};
  std::int64_t now = 2000000000;
  machine_plant plant{window, [this] { return now; }};
  operator_controls controls;
  controller_process controller{WASHING_PROGRAMME_PATH, server.memory_ident()};

  int out[plant_signal_count] = {};
  plant_inputs in;
  plant_alarm alarm = plant_alarm::none;
  bool lost_controller = false;
  long cycles = 0;
  int last_refresh = 0;
  long last_refresh_cycle = 0;

  // Observations over the whole run.
  std::function<void()> observe = [] {};

  // One cycle, in the simulator's order.
  void cycle() {
    in = plant.compute_inputs(controls, out);
    publish_inputs(&server, in);
    for (int k = 0; k < plant_signal_count; ++k) out[k] = server.output_value(k);
    plant_alarm a = plant.apply_outputs(out);
    if (a != plant_alarm::none) alarm = a;
    if (++cycles % cycles_per_second == 0) ++now;
    observe();
    usleep(5000);
    keep_pace();
  }

  // The controller polls every 10 ms and sees about every second cycle. On a loaded machine it
  // may be starved for longer: then wait for its next round, as a slower simulator would, so
  // that the test judges the programme and not the scheduler.
  void keep_pace() {
    int refresh = server.get_outputs_clock();
    if (refresh == last_refresh && cycles - last_refresh_cycle >= max_lag) {
      for (int i = 0; i < 3000 && refresh == last_refresh; ++i) {
        if (i % 100 == 0 && !controller.alive()) break;
        usleep(1000);
        refresh = server.get_outputs_clock();
      }
      if (refresh == last_refresh) lost_controller = true;
    }
    if (refresh != last_refresh) {
      last_refresh = refresh;
      last_refresh_cycle = cycles;
    }
  }

  bool failed() const { return alarm != plant_alarm::none || lost_controller; }

  // For failure messages.
  std::string report() const {
    std::string r = "after " + std::to_string(cycles) + " cycles: step " +
                    std::to_string(plant.step()) + ", level " + std::to_string(plant.tank.level()) +
                    ", temperature " + std::to_string(plant.temperature()) + ", outputs";
    for (int k = 0; k < plant_signal_count; ++k)
      r += std::string(" ") + table_signaux[11 + k] + "=" + std::to_string(out[k]);
    if (alarm == plant_alarm::boiling) r += ", BOILING ALARM";
    if (alarm == plant_alarm::overflow) r += ", OVERFLOW ALARM";
    if (lost_controller) r += ", the controller stopped answering";
    return r;
  }

  // Runs cycles until pred holds (checked after each cycle); false after `limit` cycles or on a
  // failure.
  bool run_until(const std::function<bool()>& pred, long limit) {
    for (long n = 0; n < limit; ++n) {
      cycle();
      if (failed()) return false;
      if (pred()) return true;
    }
    return false;
  }

  // Runs `count` cycles; false as soon as check fails after one of them.
  bool run_checking(const std::function<bool()>& check, long count) {
    for (long n = 0; n < count; ++n) {
      cycle();
      if (failed() || !check()) return false;
    }
    return true;
  }

  bool any_output() const {
    for (int v : out)
      if (v != 0) return true;
    return false;
  }
  // Valve shut, heater off, drum still, drain off.
  bool safe() const {
    return out[OUT_VI] == 0 && out[OUT_H] == 0 && out[OUT_VO] == 0 && out[OUT_AVL] == 0 &&
           out[OUT_ARL] == 0 && out[OUT_AVR] == 0;
  }
  bool drum_turning() const {
    return out[OUT_AVR] == 1 || (out[OUT_AVL] == 1) != (out[OUT_ARL] == 1);
  }
};

// Cycles within which the controller must have answered a change of its inputs.
constexpr long reaction = 2 * simulator::max_lag + 4;

TEST(WashingProgramme, RunsAWholeProgrammeSafelyAndPausesOnTheDoor) {
  simulator sim;
  ASSERT_TRUE(sim.controller.started()) << WASHING_PROGRAMME_PATH;

  double max_level = 0.0;
  double max_temperature = 0.0;
  bool thermostat_reached = false;
  bool non_binary = false;
  bool wash_left = false, wash_right = false, spin_drained = false;
  bool yellow_released = false, white_released = false;
  // Cycles for which "Niv" and "T" have been published at 1 without a break: the valve and the
  // heater must be off once the controller has had time to answer.
  long niv_for = 0, t_for = 0;
  bool filled_past_niv = false, heated_past_t = false;
  sim.observe = [&] {
    const int* o = sim.out;
    niv_for = sim.in.value[IN_NIV] == 1 ? niv_for + 1 : 0;
    t_for = sim.in.value[IN_T] == 1 ? t_for + 1 : 0;
    if (niv_for > reaction && o[OUT_VI] == 1) filled_past_niv = true;
    if (t_for > reaction && o[OUT_H] == 1) heated_past_t = true;
    for (int k = 0; k < plant_signal_count; ++k)
      if (o[k] != 0 && o[k] != 1) non_binary = true;
    if (sim.plant.tank.level() > max_level) max_level = sim.plant.tank.level();
    if (sim.plant.temperature() > max_temperature) max_temperature = sim.plant.temperature();
    if (sim.in.value[IN_T] == 1) thermostat_reached = true;
    if (o[OUT_SO] == 1) yellow_released = true;
    if (o[OUT_PW] == 1) white_released = true;
    if (sim.plant.step() == 1 && o[OUT_AVL] == 1 && o[OUT_ARL] == 0) wash_left = true;
    if (sim.plant.step() == 1 && o[OUT_ARL] == 1 && o[OUT_AVL] == 0) wash_right = true;
    if (sim.plant.step() == 3 && o[OUT_AVR] == 1 && o[OUT_VO] == 1) spin_drained = true;
  };
  auto idle = [&] { return !sim.any_output(); };

  // Nothing moves before "St", nor with "St" while the door is open.
  ASSERT_TRUE(sim.run_checking(idle, 100)) << sim.report();
  sim.controls.door_open = true;
  sim.controls.start = true;
  ASSERT_TRUE(sim.run_checking(idle, 100)) << sim.report();
  sim.controls.door_open = false;
  ASSERT_TRUE(sim.run_until([&] { return sim.out[OUT_VI] == 1; }, reaction)) << sim.report();

  // Pre-wash, then the wash filling: open the door halfway through the fill.
  ASSERT_TRUE(sim.run_until(
      [&] { return sim.plant.step() == 1 && sim.out[OUT_VI] == 1 && sim.plant.tank.level() > 100; },
      10000))
      << sim.report();
  EXPECT_TRUE(yellow_released);
  sim.controls.door_open = true;
  ASSERT_TRUE(sim.run_until([&] { return sim.safe(); }, reaction)) << sim.report();
  double paused_level = sim.plant.tank.level();
  ASSERT_TRUE(sim.run_checking([&] { return sim.safe(); }, 100)) << sim.report();
  EXPECT_EQ(sim.plant.tank.level(), paused_level);
  sim.controls.door_open = false;
  ASSERT_TRUE(sim.run_until([&] { return sim.out[OUT_VI] == 1; }, reaction)) << sim.report();

  // The wash turning on its long timer, heated; then a pause longer than the timer's window.
  ASSERT_TRUE(sim.run_until(
      [&] { return sim.plant.step() == 1 && sim.out[OUT_T5M] == 1 && sim.drum_turning(); }, 5000))
      << sim.report();
  EXPECT_TRUE(thermostat_reached);
  EXPECT_GT(max_temperature, sim.controls.setpoint);
  EXPECT_TRUE(white_released);
  ASSERT_TRUE(sim.run_checking([] { return true; }, 100)) << sim.report();
  sim.controls.door_open = true;
  ASSERT_TRUE(sim.run_until([&] { return sim.safe(); }, reaction)) << sim.report();
  ASSERT_TRUE(sim.run_checking([&] { return sim.safe(); }, 50 * simulator::cycles_per_second))
      << sim.report();
  sim.controls.door_open = false;
  ASSERT_TRUE(sim.run_until([&] { return sim.drum_turning(); }, reaction)) << sim.report();

  // Rinse: the short timer cut short by the operator's button.
  ASSERT_TRUE(sim.run_until([&] { return sim.plant.step() == 2 && sim.out[OUT_T1M] == 1; }, 5000))
      << sim.report();
  sim.controls.timer1_held = true;
  ASSERT_TRUE(sim.run_until([&] { return sim.out[OUT_VO] == 1; }, reaction)) << sim.report();
  sim.controls.timer1_held = false;

  // Spin, then everything off, held there.
  ASSERT_TRUE(sim.run_until([&] { return spin_drained; }, 5000)) << sim.report();
  ASSERT_TRUE(sim.run_until(idle, 1000)) << sim.report();
  ASSERT_TRUE(sim.run_checking(idle, 200)) << sim.report();
  sim.controls.door_open = true;
  ASSERT_TRUE(sim.run_checking(idle, 50)) << sim.report();
  sim.controls.door_open = false;
  ASSERT_TRUE(sim.run_checking(idle, 50)) << sim.report();

  EXPECT_EQ(sim.plant.step(), 3);
  EXPECT_TRUE(wash_left);
  EXPECT_TRUE(wash_right);
  EXPECT_FALSE(non_binary);
  EXPECT_FALSE(filled_past_niv);
  EXPECT_FALSE(heated_past_t);
  // The valve closes within a few cycles of "Niv" (280), far below the overflow (336); the
  // heater stays within a few cycles of the set point.
  EXPECT_LT(max_level, 300.0);
  EXPECT_LT(max_temperature, sim.controls.setpoint + 2.0);
  EXPECT_EQ(sim.alarm, plant_alarm::none);

  sim.server.sharing_terminate();
  int status = sim.controller.wait_exit(2000);
  ASSERT_NE(status, -1) << "the controller did not stop at the end of the simulation";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A machine window beside the others, shown, its devices given their colours.
machine_window shown_machine(int x, machine_plant* plant_for_colours = nullptr) {
  machine_window w = build_machine_window();
  w.window->position(x, 0);
  w.window->show();
  if (plant_for_colours != nullptr) colour_devices(*plant_for_colours, w.window_colour);
  while (!w.window->shown() || w.window->damage()) Fl::wait(0.01);
  return w;
}

// Two machines take the same outputs every cycle: one paints only what changed, the other its
// whole drawing. After every cycle, and after the first one is exposed, both show the same
// pixels; a cycle with nothing to show sends no request to the server.
TEST(WashingProgramme, DrawingOnlyWhatChangedShowsTheFullDrawingAlongAWholeProgramme) {
  fl_open_display();
  machine_window economical = shown_machine(0);
  machine_window full = shown_machine(510);
  simulator sim(economical.window);
  ASSERT_TRUE(sim.controller.started()) << WASHING_PROGRAMME_PATH;
  machine_plant mirror(full.window, [&] { return sim.now; });
  colour_devices(sim.plant, economical.window_colour);
  colour_devices(mirror, full.window_colour);
  plant_drawing drawn, redrawn, shown, reshown;
  add_machine_parts(drawn, sim.plant);
  add_machine_parts(redrawn, mirror);
  add_readout(shown, economical, sim.plant);
  add_readout(reshown, full, mirror);
  economical.window->on_repaint([&] {
    shown.paint(true);
    drawn.paint(true);
  });
  full.window->on_repaint([&] {
    reshown.paint(true);
    redrawn.paint(true);
  });

  long compared = 0, exposed = 0, idle_cycles = 0;
  unsigned long idle_requests = 0;
  bool spin_drained = false;
  std::string first_difference;
  sim.observe = [&] {
    for (machine_plant* p : {&sim.plant, &mirror}) {
      if (sim.controls.door_open) {
        p->hatch.open();
      } else {
        p->hatch.close();
      }
    }
    mirror.compute_inputs(sim.controls, sim.out);
    mirror.apply_outputs(sim.out);
    // Now and then the first window is uncovered.
    if (sim.cycles % 400 == 0) {
      testsupport::uncover(economical.window);
      ++exposed;
    }
    Fl::check();
    economical.window->make_current();
    const unsigned long r0 = NextRequest(fl_display);
    const int painted = drawn.paint(false) + shown.paint(false);
    const unsigned long r1 = NextRequest(fl_display);
    full.window->make_current();
    redrawn.paint(true);
    reshown.paint(true);
    if (painted == 0) {
      ++idle_cycles;
      idle_requests += r1 - r0;
    }
    if (sim.plant.step() == 3 && sim.out[OUT_AVR] == 1) spin_drained = true;
    if (first_difference.empty() &&
        testsupport::window_pixels(economical.window) != testsupport::window_pixels(full.window))
      first_difference = sim.report();
    ++compared;
  };

  sim.controls.start = true;
  ASSERT_TRUE(sim.run_until([&] { return sim.plant.step() == 1 && sim.plant.tank.level() > 100; },
                            10000))
      << sim.report();
  sim.controls.door_open = true;
  ASSERT_TRUE(sim.run_checking([] { return true; }, 60)) << sim.report();
  sim.controls.door_open = false;
  // The operator cuts both timers short once they run.
  for (int timer : {OUT_T5M, OUT_T1M}) {
    ASSERT_TRUE(sim.run_until([&] { return sim.out[timer] == 1; }, 10000)) << sim.report();
    bool& held = timer == OUT_T5M ? sim.controls.timer5_held : sim.controls.timer1_held;
    held = true;
    ASSERT_TRUE(sim.run_until([&] { return sim.out[timer] == 0; }, 10000)) << sim.report();
    held = false;
  }
  ASSERT_TRUE(sim.run_until([&] { return spin_drained; }, 10000)) << sim.report();
  ASSERT_TRUE(sim.run_until([&] { return !sim.any_output(); }, 10000)) << sim.report();
  ASSERT_TRUE(sim.run_checking([] { return true; }, 100)) << sim.report();

  EXPECT_EQ(first_difference, "") << "pixels differ " << first_difference;
  EXPECT_GT(compared, 1000);
  EXPECT_GT(exposed, 2);
  EXPECT_GT(idle_cycles, 100);
  EXPECT_EQ(idle_requests, 0u);
  sim.server.sharing_terminate();
  EXPECT_NE(sim.controller.wait_exit(2000), -1);
}

}  // namespace
