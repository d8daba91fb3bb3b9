// Device arithmetic without any window or display: construction, react, the state changes and
// the geometry that draw() uses.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "objgraphiques/cuve.h"
#include "objgraphiques/melangeur.h"
#include "objgraphiques/resistor.h"
#include "objgraphiques/trappe.h"
#include "objgraphiques/vanne.h"

namespace {

// ---- cuve ----

TEST(Cuve, ReactClampsMovesAndReportsWhetherTheFlowsDiffer) {
  struct row {
    const char* what;
    int height;
    int initial;
    double in, out;
    int cycles;
    double level;
    int result;
  };
  const row rows[] = {
      {"filling 0.5 per cycle", 350, 0, 5.0, 0.0, 3, 1.5, 1},
      {"draining 0.3 per cycle", 350, 10, 0.0, 3.0, 2, 9.4, 1},
      {"both 0.2 per cycle", 350, 0, 5.0, 3.0, 5, 1.0, 1},
      {"equal flows", 350, 7, 3.0, 3.0, 4, 7.0, 0},
      {"difference 0.0005 is not above 0.001", 350, 7, 3.0, 3.0005, 1, 7.0 - 0.00005, 0},
      {"difference 0.002 is", 350, 7, 3.0, 3.002, 1, 7.0 - 0.0002, 1},
      {"empties to exactly 0", 350, 1, 0.0, 30.0, 1, 0.0, 1},
      {"held at 0 still reports 1", 350, 0, 0.0, 3.0, 10, 0.0, 1},
      {"full reservoir shows 19 after one react", 20, 20, 0.0, 0.0, 1, 19.0, 0},
      {"held at height - 1 still reports 1", 20, 0, 5.0, 0.0, 100, 19.0, 1},
      {"negative inflow drains", 350, 5, -10.0, 0.0, 1, 4.0, 1},
  };
  for (const row& r : rows) {
    cuve c(nullptr, 0, 100, 10, r.height, 1, 280, r.initial, 10.0, 1);
    c.change_in(r.in);
    c.change_out(r.out);
    int result = -1;
    for (int i = 0; i < r.cycles; ++i) result = c.react();
    EXPECT_NEAR(c.level(), r.level, 1e-9) << r.what;
    EXPECT_EQ(result, r.result) << r.what;
    EXPECT_GE(c.level(), 0.0) << r.what;
    EXPECT_LT(c.level(), r.height) << r.what;
  }
}

TEST(Cuve, TopClampIsHeightMinusOneNotTheHeight) {
  struct row {
    double start_net;  // reached from 349.0 by one react
    double level;
  };
  // From 349.0 with a section of 1: +1.2 gives 350.2, held to 349; +0.7 gives 349.7, kept.
  for (const row& r : {row{1.2, 349.0}, row{0.7, 349.7}, row{0.999, 349.999}}) {
    cuve c(nullptr, 0, 450, 300, 350, 1, 280, 349, 1.0, 1);
    c.change_in(r.start_net);
    c.react();
    EXPECT_NEAR(c.level(), r.level, 1e-9) << r.start_net;
  }
}

TEST(Cuve, DrawnWaterGrowsOnePixelEverySecondCycle) {
  cuve c(nullptr, 20, 450, 300, 350, 1, 280, 0, 10.0, 1);
  c.change_in(5.0);
  for (int cycle = 1; cycle <= 20; ++cycle) {
    c.react();
    EXPECT_EQ(c.drawn_level(), cycle / 2) << "cycle " << cycle;
  }
}

TEST(Cuve, ThresholdsCompareTheLevelWithTheIntegerThresholds) {
  struct row {
    int empty_t, full_t;
    double level;  // reached from 0 with a section of 1 and one react
    int empty, full, overfull;
  };
  const row rows[] = {
      {1, 280, 0.0, 1, 0, 0},    {1, 280, 0.999, 1, 0, 0}, {1, 280, 1.0, 0, 0, 0},
      {1, 280, 279.99, 0, 0, 0}, {1, 280, 280.0, 0, 1, 0}, {1, 280, 335.99, 0, 1, 0},
      {1, 280, 336.0, 0, 1, 1},  {1, 20, 19.0, 0, 0, 0},   {1, 20, 20.0, 0, 1, 0},
      {1, 20, 24.0, 0, 1, 1},    {1, 25, 29.9, 0, 1, 0},   {1, 25, 30.0, 0, 1, 1},
      {1, 13, 15.0, 0, 1, 1},  // 12 * 13 / 10 = 15.6 truncated to 15
      {1, 13, 14.9, 0, 1, 0},
  };
  for (const row& r : rows) {
    cuve c(nullptr, 0, 500, 10, 400, r.empty_t, r.full_t, 0, 1.0, 1);
    c.change_in(r.level);
    c.react();
    EXPECT_EQ(c.empty(), r.empty) << r.full_t << " at " << r.level;
    EXPECT_EQ(c.full(), r.full) << r.full_t << " at " << r.level;
    EXPECT_EQ(c.overfull(), r.overfull) << r.full_t << " at " << r.level;
  }
}

TEST(Cuve, OverfullThresholdIsComputedInIntegersTruncatingTowardZero) {
  struct row {
    int full, overfull;
  };
  for (const row& r : {row{280, 336}, row{20, 24}, row{13, 15}, row{-13, -15}, row{0, 0},
                       row{std::numeric_limits<int>::max(), 0}}) {
    cuve c(nullptr, 0, 0, 1, 1, 0, r.full, 0, 1.0, 0);
    if (r.full == std::numeric_limits<int>::max()) {
      EXPECT_EQ(c.overfull_threshold(), 12LL * r.full / 10);  // no overflow
    } else {
      EXPECT_EQ(c.overfull_threshold(), r.overfull) << r.full;
    }
  }
}

TEST(Cuve, ConstructionAndFlowsLeaveTheLevelUntilReact) {
  cuve c(nullptr, 20, 450, 300, 350, 1, 280, 42, 10.0, 1);
  EXPECT_EQ(c.level(), 42.0);
  EXPECT_EQ(c.inflow(), 0.0);
  EXPECT_EQ(c.outflow(), 0.0);
  c.change_in(5.0);
  c.change_out(-2.0);
  EXPECT_EQ(c.level(), 42.0);
  EXPECT_EQ(c.inflow(), 5.0);
  EXPECT_EQ(c.outflow(), -2.0);
  EXPECT_EQ(c.react(), 1);
  EXPECT_NEAR(c.level(), 42.7, 1e-9);
}

TEST(Cuve, AStepThatIsNotANumberLeavesTheLevel) {
  cuve zero_section(nullptr, 0, 100, 10, 100, 1, 80, 30, 0.0, 1);
  zero_section.change_in(3.0);
  zero_section.change_out(3.0);  // 0 / 0
  EXPECT_EQ(zero_section.react(), 0);
  EXPECT_EQ(zero_section.level(), 30.0);
  zero_section.change_in(5.0);  // +infinity is held at the top
  zero_section.react();
  EXPECT_EQ(zero_section.level(), 99.0);

  cuve nan_flow(nullptr, 0, 100, 10, 100, 1, 80, 30, 10.0, 1);
  nan_flow.change_in(std::nan(""));
  nan_flow.react();
  EXPECT_EQ(nan_flow.level(), 30.0);
  EXPECT_EQ(nan_flow.drawn_level(), 30);
}

// ---- vanne ----

TEST(Vanne, GateBarLiesAlongThePipeWhenOpenAndAcrossWhenClosed) {
  struct row {
    int horizontal, open;
    pixel_box bar;
  };
  // Size 30, gap 10 at (260, 75).
  const row rows[] = {
      {0, 0, {245, 70, 30, 10}},  // vertical pipe, closed: 30 by 10 across
      {0, 1, {255, 60, 10, 30}},  // vertical pipe, open: 10 by 30 along
      {1, 1, {245, 70, 30, 10}},  // horizontal pipe, open: along
      {1, 0, {255, 60, 10, 30}},  // horizontal pipe, closed: across
  };
  for (const row& r : rows) {
    vanne v(nullptr, 260, 75, 50, 10, 30, r.open, r.horizontal);
    EXPECT_EQ(v.gate_bar(), r.bar) << r.horizontal << r.open;
    EXPECT_EQ(v.erase_square(), (pixel_box{245, 60, 30, 30}));
    EXPECT_EQ(v.body_radius(), 15);
  }
}

TEST(Vanne, PipeLinesAndHalvingsTruncate) {
  vanne vertical(nullptr, 260, 75, 50, 10, 30, 0, 0);
  EXPECT_EQ(vertical.pipe_lines()[0], (pixel_segment{255, 50, 255, 100}));
  EXPECT_EQ(vertical.pipe_lines()[1], (pixel_segment{265, 50, 265, 100}));
  // Odd sizes: 51/2 = 25, 11/2 = 5, 31/2 = 15.
  vanne horizontal(nullptr, 100, 200, 51, 11, 31, 1, 1);
  EXPECT_EQ(horizontal.pipe_lines()[0], (pixel_segment{75, 195, 125, 195}));
  EXPECT_EQ(horizontal.pipe_lines()[1], (pixel_segment{75, 205, 125, 205}));
  EXPECT_EQ(horizontal.gate_bar(), (pixel_box{85, 195, 31, 11}));
  EXPECT_EQ(horizontal.erase_square(), (pixel_box{85, 185, 31, 31}));
  EXPECT_EQ(horizontal.body_radius(), 15);
}

// ---- melangeur ----

TEST(Melangeur, CrossEndPointsTruncateTowardZero) {
  struct row {
    int diameter;
    double angle;
    pixel_segment first, second;
  };
  const row rows[] = {
      // 40 radians: cos -0.667, sin 0.745; p = -66, q = 74 around (170, 250).
      {200, 40.0, {104, 324, 236, 176}, {96, 184, 244, 316}},
      {200, 0.0, {270, 250, 70, 250}, {170, 350, 170, 150}},
      // pi/2 is not exact: cos gives 6e-15 * 100, truncated to 0.
      {200, M_PI / 2, {170, 350, 170, 150}, {70, 250, 270, 250}},
      {40, 40.0, {157, 264, 183, 236}, {156, 237, 184, 263}},
  };
  for (const row& r : rows) {
    melangeur m(nullptr, 170, 250, r.diameter);
    const auto c = m.cross(r.angle);
    EXPECT_EQ(c[0], r.first) << r.diameter << " at " << r.angle;
    EXPECT_EQ(c[1], r.second) << r.diameter << " at " << r.angle;
  }
}

TEST(Melangeur, TurnsOnlyAboveTheThreshold) {
  struct row {
    double speed;
    int turning;
    double angle, previous;  // after two reacts
  };
  const row rows[] = {
      {0.0, 0, 40.0, 0.0},           {0.001, 0, 40.0, 0.0},    {-0.001, 0, 40.0, 0.0},
      {0.0011, 1, 40.0022, 40.0011}, {-0.02, 1, 39.96, 39.98}, {0.1, 1, 40.2, 40.1},
      {100.0, 1, 240.0, 140.0},
  };
  for (const row& r : rows) {
    melangeur m(nullptr, 170, 250, 200);
    EXPECT_EQ(m.angle(), 40.0);
    EXPECT_EQ(m.previous_angle(), 0.0);
    m.change_speed(r.speed);
    EXPECT_EQ(m.speed(), r.speed);
    EXPECT_EQ(m.turning(), r.turning) << r.speed;
    m.react();
    m.react();
    EXPECT_NEAR(m.angle(), r.angle, 1e-9) << r.speed;
    EXPECT_NEAR(m.previous_angle(), r.previous, 1e-9) << r.speed;
  }
}

TEST(Melangeur, StoppingFreezesTheAngleWithoutReduction) {
  melangeur m(nullptr, 0, 0, 10);
  m.change_speed(100.0);
  for (int i = 0; i < 10; ++i) m.react();
  EXPECT_DOUBLE_EQ(m.angle(), 1040.0);  // never reduced modulo a turn
  m.change_speed(0.0);
  m.react();
  EXPECT_DOUBLE_EQ(m.angle(), 1040.0);
  EXPECT_DOUBLE_EQ(m.previous_angle(), 940.0);
}

TEST(Melangeur, AnInfiniteAngleGivesADefinedCross) {
  melangeur m(nullptr, 10, 10, 20);
  m.change_speed(std::numeric_limits<double>::infinity());
  m.react();
  const auto c = m.cross(m.angle());
  EXPECT_EQ(c[0], (pixel_segment{10, 10, 10, 10}));
}

// ---- resistor ----

TEST(Resistor, RunsAndBendsOfTheSerpentine) {
  resistor r(nullptr, 170, 400, 90, 48);  // h6 8, h3 16, h2 24, w2 45
  const auto runs = r.runs();
  EXPECT_EQ(runs[0], (pixel_segment{170, 392, 133, 392}));  // inner, cx to cx - 37
  EXPECT_EQ(runs[1], (pixel_segment{170, 408, 133, 408}));
  EXPECT_EQ(runs[2], (pixel_segment{133, 376, 215, 376}));  // outer, cx - 37 to cx + 45
  EXPECT_EQ(runs[3], (pixel_segment{133, 424, 215, 424}));
  const auto bends = r.bends();
  EXPECT_EQ(bends[0], (pixel_arc{{162, 392, 16, 16}, -90.0, 90.0}));
  EXPECT_EQ(bends[1], (pixel_arc{{125, 376, 16, 16}, 90.0, 270.0}));
  EXPECT_EQ(bends[2], (pixel_arc{{125, 408, 16, 16}, 90.0, 270.0}));
  // Odd sizes truncate: 50 / 6 = 8, 50 / 3 = 16, 50 / 2 = 25, 91 / 2 = 45.
  resistor odd(nullptr, 0, 0, 91, 50);
  EXPECT_EQ(odd.runs()[2], (pixel_segment{-37, -25, 45, -25}));
  EXPECT_EQ(odd.bends()[2], (pixel_arc{{-45, 8, 16, 16}, 90.0, 270.0}));
}

TEST(Resistor, RedWhileHeatingWhateverTheForeground) {
  struct row {
    unsigned foreground;
    bool heat;
    unsigned colour;
  };
  for (const row& r : {row{56u, false, 56u}, row{56u, true, 88u}, row{216u, true, 88u},
                       row{88u, false, 88u}, row{255u, false, 255u}}) {
    resistor h(nullptr, 0, 0, 90, 48);
    EXPECT_EQ(h.is_heating(), 0);
    h.change_foreground(r.foreground);
    h.change_background(1u);
    if (r.heat) h.heat();
    EXPECT_EQ(h.colour(), r.colour);
    h.unheat();
    EXPECT_EQ(h.colour(), r.foreground);
  }
}

// ---- trappe ----

TEST(Trappe, SegmentsOfBothPositions) {
  struct row {
    int horizontal;
    double angle;
    pixel_segment closed, open;
  };
  const row rows[] = {
      // 45 radians: cl = 52, sl = 85.
      {1, 45.0, {120, 100, 220, 100}, {120, 100, 172, 15}},
      {0, 45.0, {120, 100, 120, 200}, {120, 100, 205, 48}},
      {0, 0.0, {120, 100, 120, 200}, {120, 100, 120, 0}},  // straight up
      {1, 0.0, {120, 100, 220, 100}, {120, 100, 220, 100}},
      {1, -1.0, {120, 100, 220, 100}, {120, 100, 174, 184}},  // cl 54, sl -84
  };
  for (const row& r : rows) {
    trappe t(nullptr, 120, 100, 100, r.angle, 1, r.horizontal);
    EXPECT_EQ(t.closed_segment(), r.closed) << r.horizontal << " " << r.angle;
    EXPECT_EQ(t.open_segment(), r.open) << r.horizontal << " " << r.angle;
    EXPECT_EQ(t.current_segment(), r.open);
    EXPECT_EQ(t.erased_segment(), r.closed);
    t.close();
    EXPECT_EQ(t.current_segment(), r.closed);
    EXPECT_EQ(t.erased_segment(), r.open);
  }
}

}  // namespace
