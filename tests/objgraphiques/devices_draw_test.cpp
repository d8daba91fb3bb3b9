// What each device's draw() asks of the toolkit, in order, recorded without a display.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <FL/fl_draw.H>

#include "formspp/recording_driver.h"
#include "objgraphiques/cuve.h"
#include "objgraphiques/melangeur.h"
#include "objgraphiques/resistor.h"
#include "objgraphiques/trappe.h"
#include "objgraphiques/vanne.h"

namespace {

using calls = std::vector<std::string>;

const unsigned bg = 49u;  // background of every device below
const unsigned fg = 216u;

calls record(const std::function<void()>& draw) {
  recording_surface rec;
  draw();
  return rec.recorder.calls;
}

TEST(CuveDraw, EmptySpaceThenWaterThenOutline) {
  struct row {
    const char* what;
    int lidded;
    int initial;
    double inflow;  // one react with section 10
    calls expected;
  };
  const row rows[] = {
      {"lidded, level 10.5 drawn as 10",
       1,
       10,
       5.0,
       {"color 49", "rectf 20 100 300 340", "color 216", "rectf 20 440 300 10", "color 56",
        "rect 20 100 300 350"}},
      {"lidded, empty",
       1,
       0,
       0.0,
       {"color 49", "rectf 20 100 300 350", "color 216", "rectf 20 450 300 0", "color 56",
        "rect 20 100 300 350"}},
      {"open U, held at 349",
       0,
       349,
       50.0,
       {"color 49", "rectf 20 100 300 1", "color 216", "rectf 20 101 300 349", "color 56",
        "line 20 100 20 450", "color 56", "line 20 450 320 450", "color 56",
        "line 320 100 320 450"}},
  };
  for (const row& r : rows) {
    cuve c(nullptr, 20, 450, 300, 350, 1, 280, r.initial, 10.0, r.lidded);
    c.change_background(bg);
    c.change_foreground(fg);
    c.change_in(r.inflow);
    c.react();
    EXPECT_EQ(record([&] { c.draw(); }), r.expected) << r.what;
  }
}

TEST(CuveDraw, LeavesTheColourBlackAndRepaintsEverything) {
  cuve c(nullptr, 30, 90, 20, 20, 1, 20, 20, 10.0, 0);
  c.change_background(bg);
  c.change_foreground(255u);
  recording_surface rec;
  c.draw();
  c.draw();
  EXPECT_EQ(rec.recorder.calls.size(), 20u);  // no change tracking
  EXPECT_EQ(fl_color(), 56u);
  // Before any react the level is the initial one, 20 of 20: no empty space.
  EXPECT_EQ(rec.recorder.calls[1], "rectf 30 70 20 0");
  EXPECT_EQ(rec.recorder.calls[3], "rectf 30 70 20 20");
}

calls valve_body(const char* bar) {
  return {"color 216", "line 255 50 255 100", "line 265 50 265 100", bar, "circle 260 75 15"};
}
calls with_erase(const char* bar) {
  calls c{"color 49", "rectf 245 60 30 30"};
  for (const std::string& s : valve_body(bar)) c.push_back(s);
  return c;
}
const char* const across = "rectf 245 70 30 10";  // vertical pipe, closed
const char* const along = "rectf 255 60 10 30";   // vertical pipe, open

TEST(VanneDraw, ErasesOnceAfterAChangeAndAlwaysRedrawsPipeBarAndBody) {
  struct row {
    const char* what;
    int initial_open;
    std::vector<std::string> steps;  // "open", "close" or "draw"
    std::vector<calls> draws;
  };
  const row rows[] = {
      {"first draw erases, closed", 0, {"draw", "draw"}, {with_erase(across), valve_body(across)}},
      {"first draw erases, open", 1, {"draw"}, {with_erase(along)}},
      {"open twice erases once",
       0,
       {"draw", "open", "open", "draw", "draw"},
       {with_erase(across), with_erase(along), valve_body(along)}},
      {"open then close erases nothing",
       0,
       {"draw", "open", "close", "draw"},
       {with_erase(across), valve_body(across)}},
      {"close then reopen erases",
       1,
       {"draw", "close", "draw", "open", "draw"},
       {with_erase(along), with_erase(across), with_erase(along)}},
  };
  for (const row& r : rows) {
    vanne v(nullptr, 260, 75, 50, 10, 30, r.initial_open, 0);
    v.change_background(bg);
    v.change_foreground(fg);
    std::vector<calls> got;
    for (const std::string& step : r.steps) {
      if (step == "open") v.open();
      if (step == "close") v.close();
      if (step == "draw") got.push_back(record([&] { v.draw(); }));
    }
    EXPECT_EQ(got, r.draws) << r.what;
  }
}

TEST(MelangeurDraw, ErasesThePreviousCrossOnlyWhileTurning) {
  const calls cross_at_40 = {"line 104 324 236 176", "line 96 184 244 316"};
  const calls cross_at_0 = {"line 270 250 70 250", "line 170 350 170 150"};
  melangeur m(nullptr, 170, 250, 200);
  m.change_background(bg);
  m.change_foreground(56u);
  // Still: the cross at 40 radians and the circle, nothing erased.
  calls still{"color 56"};
  still.insert(still.end(), cross_at_40.begin(), cross_at_40.end());
  still.push_back("circle 170 250 100");
  EXPECT_EQ(record([&] { m.draw(); }), still);

  // Turning but not yet advanced: the cross at the previous angle 0.0 is erased first.
  m.change_speed(0.0011);
  calls first{"color 49"};
  first.insert(first.end(), cross_at_0.begin(), cross_at_0.end());
  first.insert(first.end(), still.begin(), still.end());
  EXPECT_EQ(record([&] { m.draw(); }), first);

  // After a react: erase at 40, draw at 40.0011 (same pixels at this size).
  m.react();
  calls second{"color 49"};
  second.insert(second.end(), cross_at_40.begin(), cross_at_40.end());
  second.insert(second.end(), still.begin(), still.end());
  EXPECT_EQ(record([&] { m.draw(); }), second);

  // Stopped again at exactly the threshold: no erase.
  m.change_speed(0.001);
  EXPECT_EQ(record([&] { m.draw(); }), still);
}

TEST(MelangeurDraw, CircleRadiusIsTheHalvedInteger) {
  melangeur pump(nullptr, 360, 420, 41);
  pump.change_foreground(56u);
  const calls got = record([&] { pump.draw(); });
  EXPECT_EQ(got.back(), "circle 360 420 20");
}

TEST(ResistorDraw, ThickSerpentineInRedWhileHeatingThenDefaultLineStyle) {
  auto expected = [](const char* colour) {
    return calls{"line_style 0 5",           colour,
                 "arc 162 392 16 16 -90 90", "line 170 392 133 392",
                 "line 170 408 133 408",     "arc 125 376 16 16 90 270",
                 "arc 125 408 16 16 90 270", "line 133 376 215 376",
                 "line 133 424 215 424",     "line_style 0 0"};
  };
  resistor r(nullptr, 170, 400, 90, 48);
  r.change_background(bg);
  r.change_foreground(fg);
  EXPECT_EQ(record([&] { r.draw(); }), expected("color 216"));
  r.heat();
  EXPECT_EQ(record([&] { r.draw(); }), expected("color 88"));
  r.unheat();  // painted over in the foreground colour, nothing erased
  EXPECT_EQ(record([&] { r.draw(); }), expected("color 216"));
}

TEST(TrappeDraw, ErasesThePositionShownBeforeOnlyOnTheFirstDrawAfterAChange) {
  const std::string open_seg = "line 120 100 172 15";
  const std::string closed_seg = "line 120 100 220 100";
  struct row {
    const char* what;
    int initial_open;
    std::vector<std::string> steps;
    std::vector<calls> draws;
  };
  const row rows[] = {
      {"constructed open, closed before the first draw",
       1,
       {"close", "draw"},
       {{"color 216", closed_seg}}},
      {"constructed open, drawn open: erases the closed position",
       1,
       {"draw", "draw"},
       {{"color 49", closed_seg, "color 216", open_seg}, {"color 216", open_seg}}},
      {"constructed closed, opened before the first draw",
       0,
       {"open", "draw"},
       {{"color 216", open_seg}}},
      {"open, draw, close, draw",
       1,
       {"open", "draw", "close", "draw", "draw"},
       {{"color 49", closed_seg, "color 216", open_seg},
        {"color 49", open_seg, "color 216", closed_seg},
        {"color 216", closed_seg}}},
  };
  for (const row& r : rows) {
    trappe t(nullptr, 120, 100, 100, 45.0, r.initial_open, 1);
    t.change_background(bg);
    t.change_foreground(fg);
    std::vector<calls> got;
    for (const std::string& step : r.steps) {
      if (step == "open") t.open();
      if (step == "close") t.close();
      if (step == "draw") got.push_back(record([&] { t.draw(); }));
    }
    EXPECT_EQ(got, r.draws) << r.what;
  }
}

}  // namespace
