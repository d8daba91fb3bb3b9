// The kit's contract through a plant of a few lines (kit_plant.cpp): the command line, the
// controller's launch, the cycle, and the ends by a signal and by an alarm.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

#include "e2e/e2e_support.h"

using namespace e2e;

namespace {

std::string kit_plant() {
  return build_dir() + "/tests/plantkit/kit_plant";
}

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
}

TEST(PlantKit, CommandLine) {
  struct row {
    std::vector<std::string> args;
    std::string out, err;
  };
  const row rows[] = {
      {{}, "", "ERREUR de parametre:\n kit_plant <controleur>\n\nprobleme interne de memoire\n\n"},
      {{"--help"}, "usage: kit_plant <controleur>\n", ""},
  };
  for (const row& r : rows) {
    sim_process p = sim_process::raw(r.args, kit_plant());
    EXPECT_EQ(exit_code(p.wait_exit()), 0);
    EXPECT_EQ(p.stdout_text(), r.out);
    EXPECT_EQ(p.stderr_text(), r.err);
  }
}

// The controller gets " -automemlink <ident>" after its own arguments, sees the plant's inputs
// by name, and its outputs reach the model; what a cycle paints is sent before its pause; a
// signal then tells it the end.
TEST(PlantKit, LaunchCycleAndSignalEnd) {
  sim_process sim =
      sim_process::plant(kit_plant(), {}, "at input clock 3 set output Sortie to 1\n");
  ASSERT_FALSE(window_named("kit").empty());
  const int ident = sim.ident();
  std::ifstream args_file(sim.dir() + "/args");
  std::vector<std::string> args;
  for (std::string a; std::getline(args_file, a);) args.push_back(a);
  ASSERT_GE(args.size(), 2u);
  EXPECT_EQ(args[args.size() - 2], "-automemlink");
  EXPECT_EQ(args.back(), std::to_string(ident));

  EXPECT_TRUE(sim.wait_snapshot([](const snapshot& s) { return s.in.at("Echo") == 1; }));
  const snapshot first = sim.log().front();
  EXPECT_EQ(first.in.size(), 3u);
  EXPECT_EQ(first.in.at("Marche"), 1);
  EXPECT_EQ(first.in.at("Echo"), 0);
  // Over cycles between the toolkit's own checks, when nothing else would send the painting.
  EXPECT_TRUE(sim.wait_snapshot([](const snapshot& s) { return s.clock >= 60; }));
  for (const snapshot& s : sim.log()) EXPECT_EQ(s.in.at("Envoye"), 1) << "clock " << s.clock;

  kill(sim.pid(), SIGTERM);
  const int status = sim.wait_exit();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(sim.inputs_clock(), -1);
}

TEST(PlantKit, AlarmEnd) {
  sim_process sim =
      sim_process::plant(kit_plant(), {}, "at input clock 3 set output Alarme to 1\n");
  ASSERT_FALSE(window_named("kit").empty());
  ASSERT_GT(sim.ident(), 0);  // attached, so the area outlives both processes
  std::vector<std::string> boxes;
  ASSERT_TRUE(wait_until([&] {
    boxes = sim.other_windows("kit");
    return !boxes.empty() || !sim.running();
  }));
  ASSERT_FALSE(boxes.empty());
  EXPECT_TRUE(window_shown("kit_plant")) << "the alert is titled with the plant's name";
  expect_alert_shows(sim, boxes, "Alarme de test", "kit");
  key(boxes.front(), "Return");
  EXPECT_EQ(exit_code(sim.wait_exit()), 1);
  EXPECT_EQ(sim.inputs_clock(), -1);
  bool ended = false;
  EXPECT_TRUE(wait_until([&] {
    sim.log(&ended);
    return ended;
  }));
}

}  // namespace
