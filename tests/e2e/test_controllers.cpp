// The minimal controller written in C and in Python drives the real
// simulator: after "Demarrer" the tank fills to "Niv" and is drained, and
// "Quitter" ends the controller too. Waits count input-clock cycles; the
// time limits only stop a broken run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "e2e/e2e_support.h"

using namespace e2e;

namespace {

constexpr int demarrer_x = 280, demarrer_y = 485;
constexpr int quitter_x = 425, quitter_y = 510;
// Exchange-area numbers of the signals the controller uses.
constexpr int in_vide = 2, in_st = 4, out_vo = 2, out_vi = 5;
// Draining from "Niv" to "Vide" takes about 930 cycles. "Niv" itself is 1
// for a cycle or two only (the controller drains at once), too short to be
// sampled reliably: a long drain shows that the tank was full. The margin
// allows for a late first look at the drain.
constexpr int kMinDrainCycles = 700;

struct controller_case {
  const char* name;
  const char* program;  // under the build's examples/
  const char* ended;    // what it prints when the simulation ends
};

TEST(Controllers, MinimalControllerFillsDrainsAndEndsWithTheSimulator) {
  const controller_case cases[] = {
      {"C", "minimal_controller_c", "minimal_controller_c: simulation ended\n"},
      {"Python", "minimal_controller.py", "minimal_controller.py: simulation ended\n"},
  };
  for (const controller_case& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef SUDZ_SANITIZED
    // Python cannot load a library built with the sanitizers unless their
    // runtimes are preloaded into it; test_ioshare_c covers that case.
    if (std::string(c.name) == "Python") continue;
#endif
    sim_process sim = sim_process::raw({build_dir() + "/examples/" + c.program});
    const std::string w = sim.window();
    ASSERT_FALSE(w.empty());
    ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
    ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 5; }));
    EXPECT_EQ(sim.output(out_vi), 0) << "nothing before Demarrer";

    click(w, demarrer_x, demarrer_y);
    ASSERT_TRUE(wait_until([&] { return sim.input(in_st) == 1; }));
    ASSERT_TRUE(wait_until([&] { return sim.output(out_vi) == 1; }));
    ASSERT_TRUE(wait_until([&] { return sim.output(out_vo) == 1 || !sim.running(); }));
    ASSERT_TRUE(sim.running()) << "the run ended early (alarm?)";
    const int drain_start = sim.inputs_clock();
    EXPECT_EQ(sim.output(out_vi), 0) << "the valve is shut once the tank is full";
    EXPECT_EQ(sim.input(in_vide), 0);
    ASSERT_TRUE(wait_until([&] { return sim.input(in_vide) == 1 && sim.output(out_vo) == 0; }));
    EXPECT_GE(sim.inputs_clock() - drain_start, kMinDrainCycles) << "drained from below Niv";
    // A few more cycles: the valve stays shut and no alarm ended the run.
    const int drained_at = sim.inputs_clock();
    ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() >= drained_at + 20; }));
    ASSERT_TRUE(sim.running());
    EXPECT_EQ(sim.output(out_vi), 0) << "no second filling";

    click(w, quitter_x, quitter_y);
    const int status = sim.wait_exit();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(wait_until([&] { return sim.stdout_text() == c.ended; }, 30))
        << sim.stdout_text() << sim.stderr_text();
    // The attach's line and nothing from the link (a sanitized build adds its own report).
    const std::string err = sim.stderr_text();
    EXPECT_EQ(err.rfind("ident_mem=" + std::to_string(sim.segment_of_simulator()) + "\n", 0), 0u)
        << err;
    EXPECT_EQ(err.find("IOshare"), std::string::npos) << err;
  }
}

}  // namespace
