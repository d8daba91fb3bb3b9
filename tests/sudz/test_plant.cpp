// The plant's rules stepped without a display.
#include <gtest/gtest.h>

#include <cstdint>

#include "sudz/plant.h"

namespace {

struct outputs {
  int v[plant_signal_count] = {};
  outputs& set(plant_output o, int value) {
    v[o] = value;
    return *this;
  }
};

// A plant whose clock is a number the test moves.
struct fixture {
  std::int64_t now = 1000;
  machine_plant plant{nullptr, [this] { return now; }};
  operator_controls controls;

  plant_inputs inputs(const outputs& o) { return plant.compute_inputs(controls, o.v); }
  plant_alarm cycle(const outputs& o) {
    inputs(o);
    return plant.apply_outputs(o.v);
  }
};

TEST(Plant, FirstCycleInputs) {
  fixture f;
  plant_inputs in = f.inputs(outputs{});
  const int expected[plant_signal_count] = {0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0};
  for (int i = 0; i < plant_signal_count; ++i) {
    EXPECT_EQ(in.value[i], expected[i]) << "input " << i;
    EXPECT_TRUE(in.write[i]) << "input " << i;
  }
}

TEST(Plant, FillingReachesLevelThenOverflows) {
  fixture f;
  outputs fill = outputs{}.set(OUT_VI, 1);
  int niv_cycle = 0;
  int alarm_cycle = 0;
  for (int n = 1; n <= 1000 && alarm_cycle == 0; ++n) {
    plant_inputs in = f.inputs(fill);
    if (in.value[IN_NIV] == 1 && niv_cycle == 0) niv_cycle = n - 1;  // cycles of filling done
    if (f.plant.apply_outputs(fill.v) == plant_alarm::overflow) alarm_cycle = n - 1;
  }
  EXPECT_EQ(niv_cycle, 560);
  EXPECT_EQ(alarm_cycle, 672);
}

TEST(Plant, NetFlowsPerCycle) {
  struct row {
    int vi, vo;
    double per_cycle;
  };
  for (const row& r : {row{1, 0, 0.5}, row{1, 1, 0.2}}) {
    fixture f;
    outputs o = outputs{}.set(OUT_VI, r.vi).set(OUT_VO, r.vo);
    for (int n = 0; n < 100; ++n) ASSERT_EQ(f.cycle(o), plant_alarm::none);
    EXPECT_NEAR(f.plant.tank.level(), 100 * r.per_cycle, 1e-9) << r.vi << r.vo;
  }
  // Draining alone from 50 pixels: 0.3 per cycle down to exactly 0.
  fixture f;
  outputs fill = outputs{}.set(OUT_VI, 1);
  for (int n = 0; n < 100; ++n) f.cycle(fill);
  outputs drain = outputs{}.set(OUT_VO, 1);
  f.cycle(drain);
  EXPECT_NEAR(f.plant.tank.level(), 49.7, 1e-9);
  for (int n = 0; n < 400; ++n) f.cycle(drain);
  EXPECT_EQ(f.plant.tank.level(), 0.0);
  EXPECT_EQ(f.inputs(drain).value[IN_VIDE], 1);
}

TEST(Plant, BothFlowsStillOverflow) {
  fixture f;
  outputs o = outputs{}.set(OUT_VI, 1).set(OUT_VO, 1);
  int n = 0;
  while (f.cycle(o) == plant_alarm::none && n < 5000) ++n;
  EXPECT_NEAR(n, 1680, 1);  // 336 / 0.2, give or take the rounding of the sums
}

TEST(Plant, BoilingOnThe1801stHeatingCycle) {
  fixture f;
  outputs heat = outputs{}.set(OUT_H, 1);
  int n = 0;
  plant_alarm a = plant_alarm::none;
  while (a == plant_alarm::none && n < 5000) {
    a = f.cycle(heat);
    ++n;
  }
  EXPECT_EQ(a, plant_alarm::boiling);
  EXPECT_EQ(n, 1801);
  EXPECT_GT(f.plant.temperature(), 100.0);
  EXPECT_TRUE(f.plant.heater.is_heating());
}

TEST(Plant, TemperatureFloor) {
  fixture f;
  for (int n = 0; n < 10; ++n) f.cycle(outputs{});
  EXPECT_EQ(f.plant.temperature(), 10.0);
  EXPECT_FALSE(f.plant.heater.is_heating());
}

TEST(Plant, ThermostatHysteresis) {
  // Heat with the set point at 60: T rises once above 60, and falls only below 50.
  fixture f;
  outputs heat = outputs{}.set(OUT_H, 1);
  outputs cool{};
  int rise_at = -1;
  while (f.plant.temperature() <= 60.0) f.cycle(heat);
  plant_inputs in = f.inputs(cool);
  EXPECT_EQ(in.value[IN_T], 1);
  EXPECT_TRUE(in.write[IN_T]);
  f.plant.apply_outputs(cool.v);
  (void)rise_at;
  // Cooling through the band: nothing is written, the value stays 1.
  while (f.plant.temperature() >= 50.0) {
    in = f.inputs(cool);
    if (f.plant.temperature() <= 60.0 && f.plant.temperature() >= 50.0) {
      EXPECT_FALSE(in.write[IN_T]) << f.plant.temperature();
      EXPECT_EQ(f.plant.thermostat(), 1);
    }
    f.plant.apply_outputs(cool.v);
  }
  in = f.inputs(cool);
  EXPECT_TRUE(in.write[IN_T]);
  EXPECT_EQ(in.value[IN_T], 0);
}

TEST(Plant, ThermostatBandWithSetpoint30) {
  // From 20.0 to 30.0 included, with the set point at 30, T is not written.
  fixture f;
  f.controls.setpoint = 30.0;
  outputs heat = outputs{}.set(OUT_H, 1);
  while (f.plant.temperature() < 19.99) f.cycle(heat);
  int unwritten = 0;
  while (f.plant.temperature() < 30.0 - 1e-9) {
    if (!f.inputs(heat).write[IN_T]) ++unwritten;
    f.plant.apply_outputs(heat.v);
  }
  EXPECT_GE(unwritten, 199);
}

TEST(Plant, ProgrammeStepOnRisingEdges) {
  fixture f;
  outputs nf = outputs{}.set(OUT_NF, 1);
  outputs none{};
  // Held high for many cycles: one step.
  for (int n = 0; n < 50; ++n) f.cycle(nf);
  EXPECT_EQ(f.plant.step(), 1);
  const int after[] = {2, 3, 3, 3};
  for (int expected : after) {
    f.cycle(none);
    f.cycle(nf);
    EXPECT_EQ(f.plant.step(), expected);
  }
  plant_inputs in = f.inputs(none);
  EXPECT_EQ(in.value[IN_PREL] + in.value[IN_LAV] + in.value[IN_RINC], 0);
  EXPECT_EQ(in.value[IN_ESS], 1);
}

TEST(Plant, DetergentEmptiesAfterOneCycle) {
  struct row {
    plant_output output;
    cuve machine_plant::*container;
  };
  for (const row& r : {row{OUT_SO, &machine_plant::yellow}, row{OUT_PW, &machine_plant::white}}) {
    fixture f;
    f.cycle(outputs{}.set(r.output, 1));
    for (int n = 0; n < 100; ++n) f.cycle(outputs{});
    EXPECT_EQ((f.plant.*r.container).level(), 0.0);
    EXPECT_EQ(f.plant.tank.level(), 0.0);  // contents never reach the tank
  }
  // Untouched containers stay full (20 of 20 held at 19).
  fixture f;
  f.cycle(outputs{});
  EXPECT_EQ(f.plant.white.level(), 19.0);
  EXPECT_EQ(f.plant.yellow.level(), 19.0);
}

TEST(Plant, DrumRule) {
  struct row {
    int avl, arl, avr;
    double speed;
  };
  const row rows[] = {{0, 0, 0, 0.0},  {1, 0, 0, 0.02}, {0, 1, 0, -0.02}, {1, 1, 0, 0.0},
                      {0, 0, 1, 0.1},  {1, 0, 1, 0.1},  {0, 1, 1, 0.1},   {1, 1, 1, 0.1},
                      {2, 0, 0, 0.0},  {2, 1, 0, 0.0},  {1, 2, 0, 0.0},   {0, 2, 0, 0.0}};
  for (const row& r : rows) {
    fixture f;
    f.cycle(outputs{}.set(OUT_AVL, r.avl).set(OUT_ARL, r.arl).set(OUT_AVR, r.avr));
    EXPECT_DOUBLE_EQ(f.plant.drum.speed(), r.speed) << r.avl << r.arl << r.avr;
  }
}

TEST(Plant, OutputsOtherThanOneAreOff) {
  fixture f;
  outputs o;
  for (int& v : o.v) v = 2;
  for (int n = 0; n < 10; ++n) ASSERT_EQ(f.cycle(o), plant_alarm::none);
  EXPECT_EQ(f.plant.step(), 0);
  EXPECT_EQ(f.plant.temperature(), 10.0);
  EXPECT_EQ(f.plant.tank.level(), 0.0);
  EXPECT_FALSE(f.plant.valve.is_open());
}

TEST(Plant, DrainRunsThePump) {
  fixture f;
  f.cycle(outputs{}.set(OUT_VO, 1));
  EXPECT_DOUBLE_EQ(f.plant.pump.speed(), 100.0);
  f.cycle(outputs{});
  EXPECT_DOUBLE_EQ(f.plant.pump.speed(), 0.0);
}

TEST(Plant, DoorAndStartInputs) {
  fixture f;
  f.controls.door_open = true;
  f.controls.start = true;
  plant_inputs in = f.inputs(outputs{});
  EXPECT_EQ(in.value[IN_TR], 0);
  EXPECT_EQ(in.value[IN_ST], 1);
}

// The timer windows: started at second s, the input is 1 from s+11 to s+14.
TEST(PlantTimer, Windows) {
  struct row {
    plant_input input;
    plant_output output;
    int first, last;
  };
  for (const row& r : {row{IN_T1MT, OUT_T1M, 11, 14}, row{IN_T5MT, OUT_T5M, 31, 34}}) {
    fixture f;
    const std::int64_t s = f.now;
    outputs on = outputs{}.set(r.output, 1);
    EXPECT_EQ(f.inputs(on).value[r.input], 0);  // the edge is seen at second s
    for (std::int64_t t = s; t <= s + 40; ++t) {
      f.now = t;
      // The output falls again at once: the timer keeps running.
      int v = f.inputs(outputs{}).value[r.input];
      EXPECT_EQ(v, (t >= s + r.first && t <= s + r.last) ? 1 : 0) << "second " << t - s;
    }
  }
}

TEST(PlantTimer, RestartOnlyOnANewEdge) {
  fixture f;
  outputs on = outputs{}.set(OUT_T1M, 1);
  const std::int64_t s = f.now;
  f.inputs(on);
  f.now = s + 5;
  f.inputs(on);  // still high: no restart
  f.now = s + 12;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 1);
  f.inputs(outputs{});
  f.now = s + 13;
  f.inputs(on);  // new edge at s + 13
  f.now = s + 20;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 0);
  f.now = s + 24;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 1);
}

TEST(PlantTimer, ButtonHoldForcesOneAndDefersTheEdge) {
  fixture f;
  f.controls.timer1_held = true;
  outputs on = outputs{}.set(OUT_T1M, 1);
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 1);
  f.now += 100;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 1);
  // Released with the output still high: the timer starts now.
  f.controls.timer1_held = false;
  const std::int64_t release = f.now;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 0);
  f.now = release + 11;
  EXPECT_EQ(f.inputs(on).value[IN_T1MT], 1);
}

TEST(PlantTimer, DeadlinesAre64Bit) {
  plant_timer t(10);
  const std::int64_t after2038 = std::int64_t{1} << 32;
  t.evaluate(false, 1, after2038);
  EXPECT_EQ(t.deadline(), after2038 + 10);
  EXPECT_EQ(t.evaluate(false, 1, after2038 + 11), 1);
}

}  // namespace
