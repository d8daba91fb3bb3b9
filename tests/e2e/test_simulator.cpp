// The real simulator under its own Xvfb, driven with xdotool and checked
// through the exchange area and screenshots. Waits count input-clock
// cycles; the time limits only stop a broken run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "e2e/e2e_support.h"

using namespace e2e;

namespace {

// Window coordinates of the controls.
constexpr int ouvrir_x = 55, ouvrir_y = 485;
constexpr int charger_x = 165, charger_y = 485;
constexpr int quitter_x = 425, quitter_y = 510;
constexpr int apropos_x = 435, apropos_y = 35;

int exit_code(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status; }

// Waits until the simulator has run n more cycles.
bool run_cycles(sim_process& sim, int n) {
  int start = sim.inputs_clock();
  return wait_until([&] { return sim.inputs_clock() >= start + n; });
}

TEST(Simulator, NoArgumentPrintsUsage) {
  sim_process sim = sim_process::raw({});
  int status = sim.wait_exit();
  EXPECT_EQ(exit_code(status), 0);
  EXPECT_EQ(sim.stderr_text(),
            "ERREUR de parametre:\n sudz <controleur>\n\nprobleme interne de memoire\n\n");
}

TEST(Simulator, HelpNamesTheSignals) {
  sim_process sim = sim_process::raw({"--help"});
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_NE(sim.stdout_text().find("usage: sudz <controleur>"), std::string::npos);
  EXPECT_NE(sim.stdout_text().find("nF H Vo So Pw Vi AvL ArL AvR T1m T5m"), std::string::npos);
  EXPECT_EQ(sim.stderr_text(), "");
}

TEST(Simulator, FirstCyclesAndLaunch) {
  sim_process sim("", {"with blank"});
  ASSERT_FALSE(sim.window().empty());
  ASSERT_TRUE(sim.wait_snapshot([](const snapshot&) { return true; }));
  snapshot first = sim.log().front();
  EXPECT_GE(first.clock, 1);
  const std::map<std::string, int> expected = {
      {"T", 0},    {"Niv", 0}, {"Vide", 0 + 1}, {"Tr", 1},   {"St", 0},   {"Prel", 1},
      {"Lav", 0},  {"Rinc", 0}, {"Ess", 0},     {"T1mt", 0}, {"T5mt", 0}};
  EXPECT_EQ(first.in, expected);

  // The controller got the arguments split at blanks, then the switch.
  std::ifstream args(sim.dir() + "/args");
  std::vector<std::string> argv;
  for (std::string a; std::getline(args, a);) argv.push_back(a);
  ASSERT_GE(argv.size(), 4u);
  EXPECT_EQ(argv[argv.size() - 4], "with");
  EXPECT_EQ(argv[argv.size() - 3], "blank");
  EXPECT_EQ(argv[argv.size() - 2], "-automemlink");
  EXPECT_EQ(std::to_string(sim.ident()), argv.back());

  // The clock keeps rising.
  EXPECT_TRUE(run_cycles(sim, 50));

  // At the first cycles the step indicators show pre-wash; the hatch is shut.
  image img = screenshot(sim.window());
  EXPECT_EQ(img.count(350, 200, 10, 15, red), 150);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(img.count(350, 200 + 30 * i, 10, 15, blue), 150) << i;
  EXPECT_EQ(img.count(121, 100, 99, 1, black), 99);  // closed hatch along the tank's top
  EXPECT_EQ(img.at(146, 57), img.at(480, 300));      // no open flap

  click(sim.window(), quitter_x, quitter_y);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_EQ(sim.inputs_clock(), -1);
  bool ended = false;
  EXPECT_TRUE(wait_until([&] {
    sim.log(&ended);
    return ended;
  }));
}

TEST(Simulator, OuvrirTogglesDoorAndHatch) {
  sim_process sim;
  std::string w = sim.window();
  ASSERT_FALSE(w.empty());
  ASSERT_TRUE(run_cycles(sim, 5));
  rgb background = screenshot(w).at(480, 300);
  click(w, ouvrir_x, ouvrir_y);
  ASSERT_TRUE(wait_until([&] { return sim.input(3) == 0; }));
  ASSERT_TRUE(run_cycles(sim, 3));
  image open = screenshot(w);
  // Open flap: from the hinge (120, 100) to (172, 15).
  EXPECT_EQ(open.at(146, 57), black);
  EXPECT_GT(open.count(158, 35, 3, 3, black), 0);
  click(w, ouvrir_x, ouvrir_y);
  ASSERT_TRUE(wait_until([&] { return sim.input(3) == 1; }));
  ASSERT_TRUE(run_cycles(sim, 3));
  image shut = screenshot(w);
  EXPECT_EQ(shut.at(146, 57), background);
  EXPECT_EQ(shut.count(121, 100, 99, 1, black), 99);

  // "Charger" changes nothing in the exchange area.
  click(w, charger_x, charger_y);
  ASSERT_TRUE(run_cycles(sim, 5));
  const int idle[11] = {0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(sim.input(i), idle[i]) << i;
}

// The display's events wake the simulator between its cycles, yet each cycle still sleeps its
// whole 5000 microseconds: with the pointer moving over the window all the time, n cycles
// take at least n times 5 ms.
TEST(Simulator, PointerMovingOverTheWindowKeepsThePause) {
  sim_process sim;
  std::string w = sim.window();
  ASSERT_FALSE(w.empty());
  ASSERT_TRUE(run_cycles(sim, 2));
  const std::string moves = "while :; do xdotool mousemove --window " + w +
                            " 100 100 mousemove --window " + w + " 300 300; done";
  const pid_t mover = fork();
  if (mover == 0) {
    setpgid(0, 0);
    execlp("sh", "sh", "-c", moves.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(mover, 0);
  setpgid(mover, mover);
  const int first = sim.inputs_clock();
  const auto start = std::chrono::steady_clock::now();
  const bool ran = run_cycles(sim, 300);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const int cycles = sim.inputs_clock() - first;
  kill(-mover, SIGKILL);
  kill(mover, SIGKILL);
  waitpid(mover, nullptr, 0);
  ASSERT_TRUE(ran);
  EXPECT_GE(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count(),
            5000L * (cycles - 1));
}

TEST(Simulator, StepIndicatorsFollowNextStep) {
  sim_process sim("at input clock 3 set output nF to 1\n");
  std::string w = sim.window();
  ASSERT_TRUE(wait_until([&] { return sim.input(6) == 1; }));  // "Lav"
  ASSERT_TRUE(run_cycles(sim, 3));
  image img = screenshot(w);
  EXPECT_EQ(img.count(350, 230, 10, 15, red), 150);
  for (int i : {0, 2, 3}) EXPECT_EQ(img.count(350, 200 + 30 * i, 10, 15, blue), 150) << i;
  EXPECT_EQ(sim.input(5), 0);
}

TEST(Simulator, WaterDrawnBlueAtItsLevel) {
  sim_process sim(
      "at input clock 2 set output Vi to 1\n"
      "at input clock 200 set output Vi to 0\n");
  std::string w = sim.window();
  ASSERT_TRUE(wait_until([&] { return sim.output(5) == 1; }));
  ASSERT_TRUE(wait_until([&] { return sim.output(5) == 0; }));
  ASSERT_TRUE(run_cycles(sim, 3));
  EXPECT_EQ(sim.input(2), 0);  // no longer empty
  EXPECT_EQ(sim.input(1), 0);  // below the working level
  image img = screenshot(w);
  // Water fills the tank's width from the floor line up to its level.
  int height = 0;
  // Row 449 is the tank's outline; the water's first row is 448.
  while (height < 350 && img.at(30, 448 - height) == blue) ++height;
  EXPECT_GT(height, 40);
  EXPECT_LT(height, 200);
  EXPECT_EQ(img.count(21, 449 - height, 20, height, blue), 20 * height);
  EXPECT_NE(img.at(30, 448 - height), blue);
  EXPECT_NE(img.at(30, 440 - height), blue);
}

TEST(Simulator, TemperatureReadoutChanges) {
  sim_process sim(
      "at input clock 2 set output H to 1\n"
      "at input clock 300 set output H to 0\n");
  std::string w = sim.window();
  ASSERT_TRUE(run_cycles(sim, 1));
  image before = screenshot(w);
  ASSERT_TRUE(wait_until([&] { return sim.output(1) == 0 && sim.inputs_clock() > 300; }));
  image after = screenshot(w);
  int differing = 0;
  for (int y = 106; y < 124; ++y)
    for (int x = 341; x < 439; ++x)
      if (!(before.at(x, y) == after.at(x, y))) ++differing;
  EXPECT_GT(differing, 10);
  EXPECT_EQ(after.count(340, 105, 100, 1, black), 100);  // the readout's outline
}


struct alarm_case {
  const char* name;
  const char* script;
  int min_cycles;
  const char* text;
};

TEST(Simulator, AlarmsShowTheirTextAndEndWithStatusOne) {
  const alarm_case cases[] = {
      {"overflow", "at input clock 1 set output Vi to 1\n", 672,
       "Vous venez de faire deborder votre machine a laver !!!\n\n"
       " Vous avez le droit d'appeler votre assurance habitation\n\n"
       "         pour degats des eaux !!!"},
      {"boiling", "at input clock 1 set output H to 1\n", 1801,
       "Vous commencez a faire bouillir l'eau de votre machine a laver !!!\n\n"
       "                      ARRET URGENT!!!"},
  };
  for (const alarm_case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_process sim(c.script);
    ASSERT_FALSE(sim.window().empty());
    std::vector<std::string> boxes;
    ASSERT_TRUE(wait_until(
        [&] {
          boxes = sim.other_windows();
          return !boxes.empty();
        },
        180));
    int frozen = sim.inputs_clock();
    EXPECT_GE(frozen, c.min_cycles);
    usleep(300000);
    EXPECT_EQ(sim.inputs_clock(), frozen);  // no cycle while the alarm is open
    EXPECT_TRUE(sim.running());
    expect_alert_shows(sim, boxes, c.text);
    // The plant stays drawn under the alert: the tank's floor line, below the box.
    EXPECT_EQ(screenshot(sim.window()).count(20, 449, 300, 1, black), 300);
    key(boxes.front(), "Return");  // acknowledged from the keyboard
    EXPECT_EQ(exit_code(sim.wait_exit()), 1);
    EXPECT_EQ(sim.inputs_clock(), -1);
  }
}

TEST(Simulator, AboutBoxStopsTheCycle) {
  sim_process sim;
  std::string w = sim.window();
  ASSERT_TRUE(run_cycles(sim, 2));
  click(w, apropos_x, apropos_y);
  std::vector<std::string> boxes;
  ASSERT_TRUE(wait_until([&] {
    boxes = sim.other_windows();
    return !boxes.empty();
  }));
  int frozen = sim.inputs_clock();
  usleep(300000);
  EXPECT_EQ(sim.inputs_clock(), frozen);
  key(boxes.front(), "Return");
  EXPECT_TRUE(run_cycles(sim, 10));
}

TEST(Simulator, WindowClosedByTheWindowManager) {
  sim_process sim;
  std::string w = sim.window();
  ASSERT_TRUE(run_cycles(sim, 2));
  shell(build_dir() + "/tests/e2e/wm_close " + w);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_EQ(sim.inputs_clock(), -1);
}

TEST(Simulator, TerminateSignalTellsTheController) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    sim_process sim;
    ASSERT_FALSE(sim.window().empty());
    ASSERT_TRUE(run_cycles(sim, 2));
    kill(sim.pid(), sig);
    int status = sim.wait_exit();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_EQ(sim.inputs_clock(), -1) << sig;
    bool ended = false;
    EXPECT_TRUE(wait_until([&] {
      sim.log(&ended);
      return ended;
    })) << sig;
  }
}

TEST(Simulator, NoDisplayLeavesNoOrphanController) {
  std::string saved = getenv("DISPLAY");
  setenv("DISPLAY", ":999", 1);
  sim_process bad;
  setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_EQ(exit_code(bad.wait_exit()), 1);
  // The controller learns the end (or finds the area already gone) and exits.
  pid_t controller = bad.controller_pid();
  ASSERT_GT(controller, 0);
  EXPECT_TRUE(wait_until([&] { return kill(controller, 0) != 0; }));
}

TEST(Simulator, RunsOnWithoutAWorkingController) {
  // A controller that does not exist, one that writes odd values, one killed.
  {
    sim_process sim = sim_process::raw({"/nonexistent/controller"});
    std::string w = sim.window();
    ASSERT_FALSE(w.empty());
    usleep(200000);
    EXPECT_TRUE(sim.running());
    click(w, quitter_x, quitter_y);
    EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  }
  {
    sim_process sim(
        "at input clock 1 set output Vi to 2\n"
        "at input clock 1 set output H to -1\n"
        "at input clock 1 set output nF to 7\n");
    ASSERT_FALSE(sim.window().empty());
    ASSERT_TRUE(wait_until([&] { return sim.output(5) == 2; }));
    ASSERT_TRUE(run_cycles(sim, 50));
    EXPECT_EQ(sim.input(2), 1);  // still empty
    EXPECT_EQ(sim.input(5), 1);  // still pre-wash
  }
  {
    sim_process sim;
    std::string w = sim.window();
    ASSERT_TRUE(run_cycles(sim, 2));
    ASSERT_GT(sim.controller_pid(), 0);
    kill(sim.controller_pid(), SIGKILL);
    EXPECT_TRUE(run_cycles(sim, 50));
    click(w, quitter_x, quitter_y);
    EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  }
}

}  // namespace

namespace {

// The bundled controller runs a whole programme to spin without an alarm.
// The timer buttons are held now and then to shorten the waits.
TEST(Simulator, BundledProgrammeRunsToSpin) {
  sim_process sim = sim_process::raw({build_dir() + "/examples/washing_programme"});
  std::string w = sim.window();
  ASSERT_FALSE(w.empty());
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 5; }));
  click(w, 280, 485);  // "Demarrer"
  ASSERT_TRUE(wait_until([&] { return sim.input(4) == 1; }));

  auto all_off = [&] {
    for (int k = 0; k < 11; ++k)
      if (sim.output(k) != 0) return false;
    return true;
  };
  bool heated = false;
  bool done = wait_until(
      [&] {
        if (!sim.running()) return true;
        if (sim.input(0) == 1) heated = true;
        if (sim.input(8) == 1 && all_off() && run_cycles(sim, 20) && all_off()) return true;
        // Hold each timer button for a few cycles.
        press_hold(w, 90, 535, [&] { run_cycles(sim, 6); });
        press_hold(w, 250, 535, [&] { run_cycles(sim, 6); });
        return false;
      },
      600);
  ASSERT_TRUE(done);
  ASSERT_TRUE(sim.running()) << "the run ended early (alarm?)";
  EXPECT_EQ(sim.input(8), 1);  // spin
  EXPECT_TRUE(heated);
  EXPECT_NE(sim.stdout_text().find("finished"), std::string::npos) << sim.stdout_text();
  click(w, quitter_x, quitter_y);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_EQ(sim.inputs_clock(), -1);
}

}  // namespace
