// sudz-sorter under its own Xvfb: started like the washing machine, driven by the bundled
// sorting programme or by the scriptable test controller, watched through the exchange area.
// Waits count input-clock cycles; the time limits only stop a broken run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "sudz-sorter/sorter_plant.h"

using namespace e2e;

namespace {

// Input indexes on the line's side of the area.
enum { ENT, FIN, GD, BO, BF, WG, WC, WD, CH };

const char* const title = "trieuse";

std::string sorter() {
  return build_dir() + "/src/sudz-sorter/sudz-sorter";
}

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(Sorter, StartedLikeTheWashingMachine) {
  sim_process none = sim_process::raw({}, sorter());
  EXPECT_EQ(exit_code(none.wait_exit()), 0);
  EXPECT_EQ(none.stderr_text(),
            "ERREUR de parametre:\n sudz-sorter <controleur>\n\nprobleme interne de memoire\n\n");

  sim_process help = sim_process::raw({"--help"}, sorter());
  EXPECT_EQ(exit_code(help.wait_exit()), 0);
  EXPECT_NE(help.stdout_text().find("inputs:  Ent Fin Gd Bo Bf Wg Wc Wd Ch Egr Egs Edr"),
            std::string::npos);
  EXPECT_NE(help.stdout_text().find("outputs: Dem Tap BrF BrO WaG WaD EgA EgR EdA"),
            std::string::npos);

  sim_process bad_seed = sim_process::raw({"--seed", "x", "./ctrl"}, sorter());
  EXPECT_EQ(exit_code(bad_seed.wait_exit()), 1);
  EXPECT_EQ(bad_seed.stderr_text(), "sudz-sorter: --seed takes a decimal number\n");

  // A signal ends the run as for the washing machine: the controller is told.
  sim_process sim = sim_process::plant(sorter(), {});
  ASSERT_FALSE(window_named(title).empty());
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() >= 5; }));
  const std::vector<snapshot> log = sim.log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front().in.at("Wc"), 1);
  EXPECT_EQ(log.front().in.at("Bo"), 1);
  EXPECT_EQ(log.front().in.size(), 12u);
  kill(sim.pid(), SIGTERM);
  const int status = sim.wait_exit();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(sim.inputs_clock(), -1);
}

TEST(Sorter, TheSeedChoosesTheKindsAndIsNotPassedOn) {
  // A seed whose first box is small, unlike the fixed sequence's.
  int seed = 1;
  while (box_sequence(static_cast<std::uint32_t>(seed)).next() != box_kind::small) ++seed;
  sim_process sim = sim_process::plant(sorter(), {"--seed", std::to_string(seed)},
                                       "at input clock 1 set output Dem to 1\n"
                                       "at input clock 1 set output Tap to 1\n"
                                       "at input clock 1 set output BrF to 1\n"
                                       "when input Bf is 1 set output BrF to 0\n");
  // The controller's own options came through without the seed, or it would have stopped.
  ASSERT_TRUE(sim.wait_snapshot([](const snapshot& s) { return s.in.at("Fin") == 1; }, 120));
  const std::vector<snapshot> log = sim.log();
  for (const snapshot& s : log) {
    if (s.in.at("Fin") == 1) {
      EXPECT_EQ(s.in.at("Gd"), 0) << "clock " << s.clock;
    }
  }
}

// The bins' counts line that the line writes at its end, from the delivery lines before it.
std::string counts_line(const std::vector<std::string>& lines) {
  int n[4] = {};
  const char* const kinds[4] = {"grande -> bac gauche", "petite -> bac gauche",
                                "grande -> bac droit", "petite -> bac droit"};
  for (const std::string& l : lines)
    for (int k = 0; k < 4; ++k)
      if (l.find(kinds[k]) != std::string::npos) ++n[k];
  return "bac gauche: " + std::to_string(n[0]) + " grandes, " + std::to_string(n[1]) +
         " petites; bac droit: " + std::to_string(n[2]) + " grandes, " + std::to_string(n[3]) +
         " petites";
}

// Each controller sorts the first five boxes of the fixed sequence, each to its bin: the
// bundled programme (asked for five), the bundled chart, and a controller that answers every
// input late, so that the gate's arm has turned on before it reads "Bf" and stops it: 5 cycles
// late (a few steps past where "Bf" rises) and 20 (long enough to reach any stop).
TEST(Sorter, EachControllerDeliversASequenceOfBoxesToTheirBins) {
  struct row {
    const char* name;
    std::vector<std::string> controller;
    bool asks_for_five;  // else it asks for boxes for ever
  };
  const std::vector<row> rows = {
      {"the bundled programme",
       {build_dir() + "/examples/sorting_programme", "--boxes", "5"},
       true},
      {"the bundled chart",
       {build_dir() + "/src/sudz-sfc/sudz-sfc", source_dir() + "/examples/sfc/tri.sfc"},
       false},
      {"5 cycles late", {build_dir() + "/tests/sudz-sorter/late_sorter", "--late", "5"}, false},
      {"20 cycles late", {build_dir() + "/tests/sudz-sorter/late_sorter", "--late", "20"}, false},
  };
  const std::vector<std::string> expected = {
      "caisse 1 grande -> bac gauche", "caisse 2 petite -> bac droit",
      "caisse 3 petite -> bac droit", "caisse 4 grande -> bac gauche",
      "caisse 5 grande -> bac gauche"};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    sim_process sim = sim_process::raw(r.controller, sorter());
    const std::string w = window_named(title);
    ASSERT_FALSE(w.empty());
    ASSERT_GT(sim.segment_of_simulator(), 0);

    // Each box leaves the wagon (Ch from 1 to 0) at one limit or the other: the area shows
    // where every box went. These states last hundreds of cycles, far longer than a poll. Five
    // boxes take 3000 to 5500 cycles; 2000 a box is the limit, and the wall clock only stops a
    // run that hangs, with room for a machine slowed eightfold.
    int left = 0, right = 0, previous_ch = 0;
    std::vector<std::string> out;
    ASSERT_TRUE(wait_until(
        [&] {
          const int ch = sim.input(CH);
          if (previous_ch == 1 && ch == 0) {
            if (sim.input(WG) == 1) ++left;
            if (sim.input(WD) == 1) ++right;
          }
          previous_ch = ch;
          out = lines_of(sim.stdout_text());
          return out.size() >= 5u || !sim.running() || sim.inputs_clock() > 5 * 2000;
        },
        400))
        << "clock " << sim.inputs_clock();
    ASSERT_GE(out.size(), 5u) << "clock " << sim.inputs_clock()
                              << ", inputs Ent..Ch: " << sim.input(ENT) << sim.input(FIN)
                              << sim.input(GD) << sim.input(BO) << sim.input(BF) << sim.input(WG)
                              << sim.input(WC) << sim.input(WD) << sim.input(CH) << ", delivered:\n"
                              << sim.stdout_text();
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + 5), expected);
    EXPECT_EQ(left, 3);
    EXPECT_EQ(right, 2);

    if (r.asks_for_five) {
      // No sixth box: 300 more cycles with the entry empty and nothing on the wagon.
      const int now = sim.inputs_clock();
      ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() >= now + 300; }, 120));
      EXPECT_EQ(sim.input(ENT), 0);
      EXPECT_EQ(sim.input(CH), 0);
      EXPECT_EQ(lines_of(sim.stdout_text()).size(), 5u);
    }

    // Closed from the window manager: status 0, the controller told, the counters written.
    shell(build_dir() + "/tests/e2e/wm_close " + w);
    EXPECT_EQ(exit_code(sim.wait_exit(120)), 0);
    EXPECT_EQ(sim.inputs_clock(), -1);
    out = lines_of(sim.stdout_text());
    ASSERT_GE(out.size(), 6u);
    EXPECT_EQ(out.back(), counts_line(std::vector<std::string>(out.begin(), out.end() - 1)));
    EXPECT_EQ(sim.stderr_text().find("IOshare"), std::string::npos);
  }
}

TEST(Sorter, AWagonLeftAwayLetsABoxFallAndRaisesTheAlarm) {
  sim_process sim = sim_process::plant(sorter(), {},
                                       "at input clock 1 set output Dem to 1\n"
                                       "at input clock 1 set output Tap to 1\n"
                                       "at input clock 1 set output WaG to 1\n");
  ASSERT_FALSE(window_named(title).empty());
  std::vector<std::string> boxes;
  ASSERT_TRUE(wait_until(
      [&] {
        boxes = sim.other_windows(title);
        return !boxes.empty() || !sim.running();
      },
      180));
  ASSERT_FALSE(boxes.empty());
  // The box crossed the belt (290 pixels at one a cycle) and fell 250 pixels.
  const int frozen = sim.inputs_clock();
  EXPECT_GE(frozen, 500);
  usleep(300000);
  EXPECT_EQ(sim.inputs_clock(), frozen);  // no cycle while the alarm is open
  expect_alert_shows(sim, boxes,
                     "Une caisse vient de tomber par terre !!!\n\n"
                     " Le chariot n'etait pas sous la caisse.\n\n"
                     "                      ARRET URGENT!!!",
                     title);
  key(boxes.front(), "Return");
  EXPECT_EQ(exit_code(sim.wait_exit()), 1);
  EXPECT_EQ(sim.inputs_clock(), -1);
  bool ended = false;
  EXPECT_TRUE(wait_until([&] {
    sim.log(&ended);
    return ended;
  }));
  EXPECT_EQ(lines_of(sim.stdout_text()).back(),
            "bac gauche: 0 grandes, 0 petites; bac droit: 0 grandes, 0 petites");
}

}  // namespace
