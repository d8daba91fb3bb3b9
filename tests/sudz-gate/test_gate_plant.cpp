// The gate's model stepped without a display, as the guide for a new plant shows: its parts
// belong to a window that is never shown, so they draw nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <FL/Fl_Window.H>

#include "gate_plant.h"

namespace {

using G = gate_plant;
constexpr int travel = G::closed_top - G::open_top;
// A motor moves the leaf on its first cycle, then every leaf_period cycles.
constexpr int travel_cycles = (travel - 1) * G::leaf_period + 1;

class GatePlant : public ::testing::Test {
 protected:
  // Runs n cycles with motors mo and mf; false as soon as the alarm comes.
  bool run(int mo, int mf, int n) {
    const int out[gate_output_count] = {mo, mf, 0};
    for (int i = 0; i < n; ++i) {
      if (!plant.step(out)) return false;
    }
    return true;
  }
  // Runs until the input has the value (at most limit cycles): the cycles it took, or -1.
  int run_until(int mo, int mf, gate_input in, int value, int limit = 4000) {
    for (int n = 0; n < limit; ++n) {
      if (input(in) == value) return n;
      if (!run(mo, mf, 1)) return -1;
    }
    return -1;
  }
  int input(gate_input in) {
    int values[gate_input_count];
    plant.compute_inputs(false, values);
    return values[in];
  }

  Fl_Window hidden{G::width, G::height};
  gate_plant plant{&hidden, 49u};
};

TEST_F(GatePlant, MotorsAndEndSwitches) {
  struct row {
    const char* what;
    int start;  // cycles of opening first, from closed
    int mo, mf, cycles;
    double top;  // where the leaf's top ends
    int fo, ff;
  };
  const double half = G::open_top + travel / 2.0;
  const std::vector<row> rows = {
      {"at rest the gate is closed", 0, 0, 0, 10, G::closed_top, 0, 1},
      {"opening leaves Ff at once", 0, 1, 0, 1, G::closed_top - 1.0, 0, 0},
      {"opening reaches Fo", 0, 1, 0, travel_cycles, G::open_top, 1, 0},
      {"opened further it stays on Fo", travel_cycles, 1, 0, 50, G::open_top, 1, 0},
      {"closed further it stays on Ff", 0, 0, 1, 50, G::closed_top, 0, 1},
      {"closing from open reaches Ff", travel_cycles, 0, 1, travel_cycles, G::closed_top, 0, 1},
      {"both motors stop it half way", travel_cycles / 2, 1, 1, 50, half, 0, 0},
      {"both motors hold it closed", 0, 1, 1, 50, G::closed_top, 0, 1},
  };
  for (const row& r : rows) {
    gate_plant fresh(&hidden, 49u);
    const int opening[gate_output_count] = {1, 0, 0};
    const int out[gate_output_count] = {r.mo, r.mf, 0};
    for (int i = 0; i < r.start; ++i) fresh.step(opening);
    for (int i = 0; i < r.cycles; ++i) ASSERT_TRUE(fresh.step(out)) << r.what;
    int in[gate_input_count];
    fresh.compute_inputs(true, in);
    EXPECT_DOUBLE_EQ(fresh.leaf_top(), r.top) << r.what;
    EXPECT_EQ(in[IN_FO], r.fo) << r.what;
    EXPECT_EQ(in[IN_FF], r.ff) << r.what;
    EXPECT_EQ(in[IN_BP], 1) << r.what;
    EXPECT_EQ(in[IN_CEL], 0) << r.what;
  }
}

TEST_F(GatePlant, ACarWaitsAtTheClosedGateCuttingTheBeamThenDrivesThrough) {
  ASSERT_TRUE(plant.add_car());
  EXPECT_FALSE(plant.add_car()) << "the entry is taken";
  EXPECT_EQ(input(IN_CEL), 0);
  // Half a pixel a cycle from the entry until the front passes the beam's edge.
  EXPECT_EQ(run_until(0, 0, IN_CEL, 1),
            (G::beam_from - G::car_entry_x - G::car_length) / G::car_speed + 1);
  EXPECT_TRUE(plant.add_car()) << "the entry is free again";
  ASSERT_TRUE(run(0, 0, 1000));
  EXPECT_EQ(input(IN_CEL), 1) << "the first car waits in the beam";
  EXPECT_EQ(plant.cars_through(), 0);

  ASSERT_GE(run_until(1, 0, IN_FO, 1), 0);
  // The queued car follows close behind: the beam clears once both are through.
  ASSERT_GE(run_until(0, 0, IN_CEL, 0), 0);
  EXPECT_EQ(plant.cars_through(), 2);
  ASSERT_TRUE(run(0, 0, 2000));
  EXPECT_EQ(plant.cars_present(), 0) << "both have left the road";
}

TEST_F(GatePlant, ClosingOntoACarIsTheAlarm) {
  ASSERT_GE(run_until(1, 0, IN_FO, 1), 0);
  ASSERT_TRUE(plant.add_car());
  ASSERT_GE(run_until(0, 0, IN_CEL, 1), 0);
  // The leaf comes down onto the car before it has cleared the opening.
  int cycles = 0;
  while (run(0, 1, 1)) ASSERT_LT(++cycles, travel_cycles) << "the leaf went through the car";
  EXPECT_EQ(input(IN_FF), 0);
  EXPECT_EQ(input(IN_CEL), 1);
}

}  // namespace
