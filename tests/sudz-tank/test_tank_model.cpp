// The heated tank's process stepped without a display: the mass and heat balances, the inlet
// valve's rate, the probe, the clamping of outputs, the alarms and the noise's seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tank_model.h"

namespace {

using M = tank_model;
const double any = NAN;  // a read-out the row does not check

struct range {
  double lo = any, hi = any;
};

void expect_in(const char* what, const char* name, double v, range r) {
  if (std::isnan(r.lo)) return;
  EXPECT_GE(v, r.lo) << what << ": " << name;
  EXPECT_LE(v, r.hi) << what << ": " << name;
}

TEST(TankModel, BalancesValveProbeClampingAndAlarms) {
  struct row {
    const char* what;
    double level, temperature, valve;  // the state at the start
    int vin, pch, agi, draw_off;
    int cycles;  // run for this many, or until an alarm
    tank_alarm alarm;
    int alarm_from, alarm_to;  // the cycle of the alarm, counted from 1
    range level_after, bulk_after, mean_after, probe_after, valve_after;
  };
  // Level: 1 % of inlet opening gives 0.02 l/s, 0.001 mm a cycle; the draw-off fully open
  // takes 12 mm/s at 1000 mm. A 5 kg.K change of heat in 50 kg of water is 0.1 degC.
  // clang-format off
  const std::vector<row> rows = {
      {"filling: the valve opens in 800 cycles, then 0.1 mm a cycle", 0, 15, 0, 100, 0, 0, 0, 1000,
       tank_alarm::none, 0, 0, {60.04, 60.06}, {}, {}, {}, {100, 100}},
      {"the valve half way after 400 cycles", 0, 15, 0, 100, 0, 0, 0, 400,
       tank_alarm::none, 0, 0, {}, {}, {}, {}, {50, 50}},
      {"closing is as slow as opening", 300, 15, 100, 0, 0, 0, 0, 400,
       tank_alarm::none, 0, 0, {}, {}, {}, {}, {50, 50}},
      {"draining from 800 mm, 10 s through the open draw-off", 800, 15, 0, 0, 0, 0, 100, 2000,
       tank_alarm::none, 0, 0, {695.8, 696.8}, {}, {}, {}, {}},
      {"an empty tank stays empty", 0, 15, 0, 0, 0, 0, 100, 2000,
       tank_alarm::none, 0, 0, {0, 0}, {}, {}, {}, {}},
      {"in = out: 20 % in, 50 % out holds 444.4 mm", 4000.0 / 9, 15, 20, 20, 0, 0, 50, 20000,
       tank_alarm::none, 0, 0, {444.3, 444.5}, {}, {}, {}, {}},
      {"heater 10 s at 200 kW into 50 kg, stirred", 500, 20, 0, 0, 100, 1, 0, 2000,
       tank_alarm::none, 0, 0, {}, {28.5, 29.1}, {29.45, 29.6}, {}, {}},
      {"without the stirrer the bulk hardly warms", 500, 20, 0, 0, 100, 0, 0, 2000,
       tank_alarm::none, 0, 0, {}, {20.3, 22.5}, {29.45, 29.6}, {}, {}},
      {"cold inflow cools the water", 500, 40, 100, 100, 0, 1, 100, 2000,
       tank_alarm::none, 0, 0, {}, {30, 36}, {}, {}, {}},
      {"the probe sees nothing for 2 s", 500, 20, 0, 0, 100, 1, 0, 400,
       tank_alarm::none, 0, 0, {}, {21, 21.5}, {}, {20, 20}, {}},
      {"then follows with a lag", 500, 20, 0, 0, 100, 1, 0, 2000,
       tank_alarm::none, 0, 0, {}, {28.5, 29.1}, {}, {21, 26}, {}},
      {"Vin above 100 is 100", 0, 15, 0, 250, 0, 0, 0, 1000,
       tank_alarm::none, 0, 0, {60.04, 60.06}, {}, {}, {}, {100, 100}},
      {"Vin below 0 is 0", 300, 15, 50, -40, 0, 0, 0, 1000,
       tank_alarm::none, 0, 0, {}, {}, {}, {}, {0, 0}},
      {"Pch above 100 is 100, Agi above 1 is on", 500, 20, 0, 0, 300, 7, 0, 2000,
       tank_alarm::none, 0, 0, {}, {28.5, 29.1}, {29.45, 29.6}, {}, {}},
      {"Pch below 0 is off, also under the element", 50, 20, 0, 0, -5, 0, 0, 2000,
       tank_alarm::none, 0, 0, {}, {19.9, 20}, {}, {}, {}},
      {"overflow: 5 mm below the rim at 0.1 mm a cycle", 995, 15, 100, 100, 0, 0, 0, 1000,
       tank_alarm::overflow, 50, 51, {1000, 1000}, {}, {}, {}, {}},
      {"heater on in an empty tank", 0, 15, 0, 0, 1, 0, 0, 1000,
       tank_alarm::dry_heater, 1, 1, {}, {}, {}, {}, {}},
      {"draining below the element with the heater on", 120, 40, 0, 0, 50, 1, 100, 5000,
       tank_alarm::dry_heater, 995, 1015, {99, 100}, {}, {}, {}, {}},
      {"just above the element the heater may run", 101, 40, 0, 0, 100, 1, 0, 1000,
       tank_alarm::none, 0, 0, {}, {}, {}, {}, {}},
  };
  // clang-format on
  for (const row& r : rows) {
    tank_model m;
    m.set_state(r.level, r.temperature, r.valve);
    const int out[tank_output_count] = {r.vin, r.pch, r.agi};
    int alarm_at = 0;
    tank_alarm alarm = tank_alarm::none;
    for (int c = 1; c <= r.cycles && alarm == tank_alarm::none; ++c) {
      alarm = m.step(out, r.draw_off);
      if (alarm != tank_alarm::none) alarm_at = c;
    }
    EXPECT_EQ(alarm, r.alarm) << r.what;
    if (r.alarm != tank_alarm::none) {
      EXPECT_GE(alarm_at, r.alarm_from) << r.what;
      EXPECT_LE(alarm_at, r.alarm_to) << r.what;
    }
    const double mean =
        M::element_share * m.element_temperature() + (1 - M::element_share) * m.temperature();
    expect_in(r.what, "level", m.level(), r.level_after);
    expect_in(r.what, "bulk", m.temperature(), r.bulk_after);
    expect_in(r.what, "mean temperature", mean, r.mean_after);
    expect_in(r.what, "probe", m.probe(), r.probe_after);
    expect_in(r.what, "valve", m.valve(), r.valve_after);
  }
}

TEST(TankModel, InputsFromTheStateWithBoundedNoise) {
  struct row {
    double level;
    int lh, ll;
  };
  const std::vector<row> rows = {{0, 0, 1},     {150, 0, 1}, {150.01, 0, 0}, {500, 0, 0},
                                 {899.9, 0, 0}, {900, 1, 0}, {999.9, 1, 0}};
  tank_operator op;
  op.level_set_point = 610;
  op.temperature_set_point = 455;
  op.automatic = false;
  for (const row& r : rows) {
    tank_model m(3);
    m.set_state(r.level, 42.0);
    for (int k = 0; k < 2000; ++k) {
      int in[tank_input_count];
      m.compute_inputs(op, in);
      ASSERT_EQ(in[IN_LH], r.lh) << r.level;
      ASSERT_EQ(in[IN_LL], r.ll) << r.level;
      // Noise of 1.5 mm and 0.1 degC standard deviation, never beyond 3.5 of them, nor
      // outside the range.
      ASSERT_LE(std::abs(in[IN_LT] - r.level), 5.3 + 0.5) << r.level;
      ASSERT_GE(in[IN_LT], 0);
      ASSERT_LE(in[IN_LT], 1000);
      ASSERT_LE(std::abs(in[IN_TT] - 420), 4) << r.level;
      ASSERT_EQ(in[IN_FT], 0) << "nothing flows out";
      ASSERT_EQ(in[IN_SPL], 610);
      ASSERT_EQ(in[IN_SPT], 455);
      ASSERT_EQ(in[IN_AUT], 0);
    }
  }
}

// A thousand cycles of a scripted controller, the inputs hashed (FNV-1a).
std::uint64_t run_hash(std::uint64_t seed) {
  tank_model m(seed);
  m.set_state(300, 20);
  tank_operator op;
  std::uint64_t h = 1469598103934665603ull;
  for (int c = 0; c < 1000; ++c) {
    int in[tank_input_count];
    m.compute_inputs(op, in);
    for (int v : in) h = (h ^ static_cast<std::uint32_t>(v)) * 1099511628211ull;
    const int out[tank_output_count] = {c < 600 ? 100 : 30, c > 300 ? 40 : 0, 1};
    EXPECT_EQ(m.step(out, c < 500 ? 40 : 80), tank_alarm::none);
  }
  return h;
}

TEST(TankModel, OneSeedOneRun) {
  EXPECT_EQ(run_hash(42), run_hash(42));
  EXPECT_NE(run_hash(42), run_hash(43));
  EXPECT_EQ(run_hash(42), 3327654010263847107ull) << "the golden hash of seed 42";
}

}  // namespace
