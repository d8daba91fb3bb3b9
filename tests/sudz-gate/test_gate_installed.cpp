// The automatic gate as a teacher builds it: this tree installed into a temporary prefix, the
// gate's sources as installed there configured and built on their own against that prefix
// alone, and the program run under the test's own Xvfb, watched through the exchange area.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

enum { BP, FO, FF, CEL };  // inputs
const char* const title = "portail";
// The window's buttons, by their centres.
constexpr int button_y = 270, voiture_x = 305, bouton_x = 405, quitter_x = 505;

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
}

class GateInstalled : public ::testing::Test {
 protected:
  // Installs once and builds the installed gate project against the prefix; every case runs
  // that build.
  static void SetUpTestSuite() {
    dir_ = new testsupport::temp_dir;
    const std::string log = dir_->file("log"), prefix = dir_->file("prefix");
    const std::string build = dir_->file("gate-build");
    const bool ok =
        testsupport::shell("cmake --install '" + testsupport::env("SUDZ_BUILD_DIR") +
                               "' --prefix '" + prefix + "'",
                           log) &&
        testsupport::shell(
            "env -u LD_LIBRARY_PATH cmake -S '" + prefix + "/share/doc/sudz/examples/gate' -B '" +
                build + "' -G Ninja -DCMAKE_PREFIX_PATH='" + prefix + "' " + GATE_EXTRA_CMAKE_ARGS,
            log) &&
        testsupport::shell("cmake --build '" + build + "' -j 2", log);
    failure_ = ok ? "" : testsupport::read_file(log);
    // The project's own build installed the gate beside the other plants, with its rules.
    for (const char* f : {"bin/sudz-gate", "share/sudz/sudz-gate.rules"})
      if (access((prefix + "/" + f).c_str(), R_OK) != 0) failure_ += std::string(" missing ") + f;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_EQ(failure_, ""); }

  static std::string gate() { return dir_->file("gate-build/sudz-gate"); }
  static std::string programme() { return dir_->file("gate-build/gate_programme"); }

  static testsupport::temp_dir* dir_;
  static std::string failure_;
};

testsupport::temp_dir* GateInstalled::dir_ = nullptr;
std::string GateInstalled::failure_;

// Button, open, the car through, closed again: the bundled controller with a short wait.
TEST_F(GateInstalled, TheBundledControllerLetsACarThrough) {
  sim_process sim = sim_process::raw({programme(), "--attente", "0.3"}, gate());
  const std::string w = window_named(title);
  ASSERT_FALSE(w.empty());
  ASSERT_GT(sim.segment_of_simulator(), 0);
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 5; }));
  EXPECT_EQ(sim.input(FF), 1) << "the gate starts closed";
  EXPECT_EQ(sim.input(FO), 0);

  click(w, voiture_x, button_y);
  ASSERT_TRUE(wait_until([&] { return sim.input(CEL) == 1; })) << "the car reached the gate";
  // It waits there: the gate stays closed without the button.
  const int arrived = sim.inputs_clock();
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() >= arrived + 200; }));
  EXPECT_EQ(sim.input(FF), 1);
  EXPECT_EQ(sim.input(CEL), 1);

  click(w, bouton_x, button_y);
  ASSERT_TRUE(wait_until([&] { return sim.input(FO) == 1 || !sim.running(); }));
  ASSERT_TRUE(wait_until([&] { return sim.input(CEL) == 0 || !sim.running(); }))
      << "the car drove through";
  ASSERT_TRUE(wait_until([&] { return sim.input(FF) == 1 || !sim.running(); })) << "closed again";
  EXPECT_TRUE(sim.running()) << "no alarm";
  EXPECT_TRUE(sim.other_windows(title).empty());
  EXPECT_TRUE(wait_until([&] { return sim.output(0) == 0 && sim.output(1) == 0; }))
      << "both motors off once closed";

  click(w, quitter_x, button_y);
  EXPECT_EQ(exit_code(sim.wait_exit()), 0);
  EXPECT_EQ(sim.inputs_clock(), -1);
}

// The tests installed with the gate, run as a teacher runs them: ctest in the gate's own build.
TEST_F(GateInstalled, ItsOwnTestsPass) {
  const std::string log = dir_->file("ctest.log");
  EXPECT_TRUE(testsupport::shell("env -u LD_LIBRARY_PATH ctest --test-dir '" +
                                     dir_->file("gate-build") + "' --output-on-failure",
                                 log))
      << testsupport::read_file(log);
  const std::string text = testsupport::read_file(log);
  for (const char* name : {"gate_model", "gate_run"})
    EXPECT_NE(text.find(std::string(name) + " ...."), std::string::npos) << name << " ran";
  EXPECT_EQ(text.find("Not Run"), std::string::npos);
  EXPECT_EQ(text.find("Skipped"), std::string::npos) << "Xvfb is there: nothing is skipped";
}

TEST_F(GateInstalled, ClosingOntoACarRaisesTheAlarm) {
  // Opens, and closes as soon as the car is in the beam.
  sim_process sim = sim_process::plant(gate(), {},
                                       "at input clock 1 set output Mo to 1\n"
                                       "when input Fo is 1 set output Mo to 0\n"
                                       "when input Cel is 1 set output Mf to 1\n");
  const std::string w = window_named(title);
  ASSERT_FALSE(w.empty());
  ASSERT_TRUE(sim.wait_snapshot([](const snapshot& s) { return s.in.at("Fo") == 1; }));
  click(w, voiture_x, button_y);
  std::vector<std::string> boxes;
  ASSERT_TRUE(wait_until([&] {
    boxes = sim.other_windows(title);
    return !boxes.empty() || !sim.running();
  }));
  ASSERT_FALSE(boxes.empty());
  // Opening took 159 cycles, then the car drove 210 pixels at half a pixel a cycle to the beam.
  EXPECT_GE(sim.inputs_clock(), 159 + 420);
  expect_alert_shows(sim, boxes,
                     "Le portail vient de se fermer sur une voiture !!!\n\n"
                     " La cellule etait coupee.\n\n"
                     "                      ARRET URGENT!!!",
                     title);
  key(boxes.front(), "Return");
  EXPECT_EQ(exit_code(sim.wait_exit()), 1);
  EXPECT_EQ(sim.inputs_clock(), -1);
}

}  // namespace
