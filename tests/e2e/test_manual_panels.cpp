// The manual controller (sudz sudz-manual) and the manual plant (sudz-panel) under their own
// Xvfb, operated with xdotool and checked through the exchange area, the test controller's log
// and the panels' pixels. Waits count input-clock cycles; time limits only stop a broken run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <string>

#include "IOshare/exchange_area.h"
#include "e2e/e2e_support.h"

using namespace e2e;

namespace {

// Places in the window of either program (640 by 300): the squares of the outputs panel, the
// ticks of the inputs panel's "Signal" column and its buttons.
int square_y(int i) {
  return 40 + 16 * i;
}
constexpr int square_x = 12;
constexpr int tick_x = 260;
int tick_y(int i) {
  return 40 + 16 * i;
}
constexpr int buttons_y = 280, init_x = 280, go_x = 450, quit_x = 600;
// "Quitter" on the machine window.
constexpr int quitter_x = 425, quitter_y = 510;

enum { NIV = 1, VIDE = 2 };                   // inputs of the machine
enum { OUT_H = 1, OUT_VI = 5, OUT_AVL = 6 };  // outputs of the machine
enum { IN_ST = 4 };                           // an input of the plant panel

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
}

std::string manual_program() {
  return build_dir() + "/src/sudz-manual/sudz-manual";
}
std::string panel_program() {
  return build_dir() + "/src/sudz-panel/sudz-panel";
}

bool square_is(const std::string& window, int i, const rgb& colour) {
  return wait_until([&] { return screenshot(window).at(square_x, square_y(i)) == colour; });
}

bool process_gone(pid_t pid) {
  return wait_until([&] { return !ioshare::process_alive(pid); });
}

// sudz started with sudz-manual, both windows shown and the inputs panel's first reading shown.
struct manual_run {
  sim_process sim = sim_process::raw({manual_program()});
  std::string machine, manual;
  pid_t manual_pid = 0;
  void start() {
    machine = sim.window();
    ASSERT_FALSE(machine.empty());
    manual = window_named("sudz-manual");
    ASSERT_FALSE(manual.empty());
    ASSERT_NE(sim.segment_of_simulator(), 0);
    manual_pid = linked_controller(sim.segment_of_simulator());
    ASSERT_GT(manual_pid, 0);
    // "Vide" is 1 on an empty tank: its square turns from red (not read) to blue.
    ASSERT_TRUE(square_is(manual, VIDE, blue));
    ASSERT_TRUE(square_is(manual, NIV, yellow));
  }
};

TEST(Manual, FillsTheTankHoldsTheLevelAndQuitsWithOutputsAtZero) {
  manual_run run;
  run.start();
  sim_process& sim = run.sim;

  click(run.manual, tick_x, tick_y(OUT_VI));
  const int before_go = sim.inputs_clock();
  click(run.manual, go_x, buttons_y);
  ASSERT_TRUE(wait_until([&] { return sim.output(OUT_VI) == 1; }));
  const int opened = sim.inputs_clock();
  ASSERT_TRUE(wait_until([&] { return sim.input(NIV) == 1; }));
  const int full = sim.inputs_clock();
  // Sent once: the tick is gone, so a second "GO" (the pointer is still on it) closes the valve
  // before the overflow, 112 cycles after the level is reached.
  shell("xdotool click 1");
  ASSERT_TRUE(wait_until([&] { return sim.output(OUT_VI) == 0; }));
  // The tank fills by 0.5 pixel a cycle for 560 cycles: never sooner after "GO"; the readings
  // of the clock once the valve was seen open and once the level was seen lag a little.
  EXPECT_GE(full - before_go, 560);
  EXPECT_LE(full - opened, 660);
  EXPECT_TRUE(square_is(run.manual, NIV, blue));

  // The level holds, well past where an open valve would have overflowed.
  const int closed = sim.inputs_clock();
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() >= closed + 200 || !sim.running(); }));
  EXPECT_TRUE(sim.running());
  EXPECT_EQ(sim.input(NIV), 1);

  // An output left on, then "QUIT": every output 0 and sudz-manual gone with its window.
  click(run.manual, tick_x, tick_y(OUT_AVL));
  click(run.manual, go_x, buttons_y);
  ASSERT_TRUE(wait_until([&] { return sim.output(OUT_AVL) == 1; }));
  click(run.manual, quit_x, buttons_y);
  EXPECT_TRUE(process_gone(run.manual_pid));
  for (int k = 0; k < 11; ++k) EXPECT_EQ(sim.output(k), 0) << k;
  EXPECT_FALSE(window_shown("sudz-manual"));

  click(run.machine, quitter_x, quitter_y);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
}

TEST(Manual, StickyTickIsSentAgainAndInitClearsIt) {
  manual_run run;
  run.start();
  sim_process& sim = run.sim;
  // "H" ticked and sticky: it stays 1 over two "GO"; after "INIT" the next "GO" sends 0.
  click(run.manual, tick_x, tick_y(OUT_H));
  click(run.manual, tick_x + 200, tick_y(OUT_H));
  click(run.manual, go_x, buttons_y);
  ASSERT_TRUE(wait_until([&] { return sim.output(OUT_H) == 1; }));
  click(run.manual, go_x, buttons_y);
  click(run.manual, init_x, buttons_y);
  click(run.manual, tick_x, tick_y(OUT_AVL));
  click(run.manual, go_x, buttons_y);
  ASSERT_TRUE(wait_until([&] { return sim.output(OUT_AVL) == 1; }));
  EXPECT_EQ(sim.output(OUT_H), 0);

  // "Quitter" on the simulator ends sudz-manual, which closes its window.
  click(run.machine, quitter_x, quitter_y);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_TRUE(process_gone(run.manual_pid));
  EXPECT_TRUE(wait_until([] { return !window_shown("sudz-manual"); }));
}

TEST(Panel, InputsSentReachTheControllerAndItsOutputsShow) {
  sim_process plant =
      sim_process::plant(panel_program(), {}, "when input St is 1 set output H to 1\n");
  const std::string w = window_named("sudz-panel");
  ASSERT_FALSE(w.empty());
  ASSERT_NE(plant.ident(), 0);
  ASSERT_TRUE(square_is(w, OUT_H, yellow));  // read at once: 0
  EXPECT_EQ(plant.inputs_clock(), 0);        // nothing published before "GO"

  click(w, tick_x, tick_y(IN_ST));
  click(w, go_x, buttons_y);
  ASSERT_TRUE(plant.wait_snapshot([](const snapshot& s) { return s.in.at("St") == 1; }));
  EXPECT_EQ(plant.log().front().clock, 1);  // one "GO", one raise of the input clock
  ASSERT_TRUE(wait_until([&] { return plant.output(OUT_H) == 1; }));
  EXPECT_TRUE(square_is(w, OUT_H, blue));
  EXPECT_TRUE(square_is(w, 0, yellow));

  click(w, quit_x, buttons_y);
  EXPECT_EQ(exit_code(plant.wait_exit()), 0);
  EXPECT_EQ(plant.inputs_clock(), -1);
  bool ended = false;
  EXPECT_TRUE(wait_until([&] {
    plant.log(&ended);
    return ended;
  }));
}

TEST(Panel, NamesGivenAndWindowClosed) {
  sim_process plant = sim_process::plant(panel_program(), {"--inputs", "a,b", "--outputs", "x"});
  const std::string w = window_named("sudz-panel");
  ASSERT_FALSE(w.empty());
  ASSERT_NE(plant.ident(), 0);  // attached now, so the area outlives both programs
  click(w, tick_x, tick_y(1));
  click(w, go_x, buttons_y);
  ASSERT_TRUE(plant.wait_snapshot([](const snapshot& s) { return s.clock == 1; }));
  const std::map<std::string, int> expected = {{"a", 0}, {"b", 1}};
  EXPECT_EQ(plant.log().front().in, expected);

  shell(build_dir() + "/tests/e2e/wm_close " + w);
  EXPECT_EQ(exit_code(plant.wait_exit()), 0);
  EXPECT_EQ(plant.inputs_clock(), -1);
}

TEST(CommandLines, HelpUsageAndRefusals) {
  const std::string manual = manual_program(), panel = panel_program();
  std::string many = "s0";  // 42 names
  for (int i = 1; i < 42; ++i) many += ",s" + std::to_string(i);
  struct {
    std::string command;
    int status;
    std::string text;  // expected in the output
  } cases[] = {
      {manual + " --help", 0, "usage: sudz sudz-manual"},
      {manual, 1, "start it from a simulator"},
      {panel + " --help", 0, "usage: sudz-panel"},
      {panel, 0, "ERREUR de parametre:\n sudz-panel <controleur>\n\n"},
      {panel + " --inputs a,,b ctrl", 1, "empty name in --inputs"},
      {panel + " --outputs " + std::string(50, 'n') + " ctrl", 1, "longer than 49"},
      {panel + " --outputs", 1, "--outputs needs a list of names"},
      {panel + " --inputs " + many + " ctrl", 1, "more than 41 names in --inputs"},
  };
  for (const auto& c : cases) {
    int status = 0;
    const std::string out = shell(c.command + " 2>&1", &status);
    EXPECT_EQ(exit_code(status), c.status) << c.command;
    EXPECT_NE(out.find(c.text), std::string::npos) << c.command << "\n" << out;
  }
}

}  // namespace
