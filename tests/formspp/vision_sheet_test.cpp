// The vision sheet: its figures' arithmetic and its clipping, recorded through a graphics driver
// that needs no display.
#include <gtest/gtest.h>

#include "formspp/vision_sheet.h"

#include <functional>
#include <string>
#include <vector>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "formspp/recording_driver.h"

namespace {

using calls = std::vector<std::string>;

calls record(const std::function<void(OFL_vision_sheet&)>& draw, OFL_vision_sheet sheet = {}) {
  recording_surface rec;
  draw(sheet);
  return rec.recorder.calls;
}

TEST(VisionSheet, BrokenLinePassesThroughItsTwoBends) {
  struct row {
    int x0, y0, x1, y1;
    calls expected;
  } rows[] = {
      {0, 0, 8, 0, {"color 88", "line 0 0 2 4", "line 2 4 6 -4", "line 6 -4 8 0"}},
      // division by 4 truncates toward zero: A = (-3/4, -1/4) = (0, 0), B = (-1/4, 5/4) = (0, 1)
      {0, 0, -1, 1, {"color 88", "line 0 0 0 0", "line 0 0 0 1", "line 0 1 -1 1"}},
      {5, 5, 5, 5, {"color 88", "line 5 5 5 5", "line 5 5 5 5", "line 5 5 5 5"}},
  };
  for (const row& r : rows)
    EXPECT_EQ(record([&](OFL_vision_sheet& s) { s.ofl_break_line(r.x0, r.y0, r.x1, r.y1, 88); }),
              r.expected)
        << r.x0 << "," << r.y0 << " " << r.x1 << "," << r.y1;
}

TEST(VisionSheet, ArrowHeadLinesEndAtTheTipThenTheShaft) {
  struct row {
    const char* what;
    int x0, y0, x1, y1, head;
    double t;
    calls expected;
  } rows[] = {
      {"rightward",
       0,
       0,
       100,
       0,
       10,
       0.5,
       {"color 216", "line 92 -4 100 0", "line 92 4 100 0", "line 0 0 100 0"}},
      {"leftward",
       100,
       0,
       0,
       0,
       10,
       0.5,
       {"color 216", "line 8 -4 0 0", "line 8 4 0 0", "line 100 0 0 0"}},
      // vertical: k = 10 sin 0.5 = 4, m = 10 cos 0.5 = 8; downward puts the tails above the tip
      {"down",
       0,
       0,
       0,
       50,
       10,
       0.5,
       {"color 216", "line -4 42 0 50", "line 4 42 0 50", "line 0 0 0 50"}},
      {"up", 0, 50, 0, 0, 10, 0.5, {"color 216", "line -4 8 0 0", "line 4 8 0 0", "line 0 50 0 0"}},
      {"equal ends point up",
       7,
       7,
       7,
       7,
       10,
       0.5,
       {"color 216", "line 3 15 7 7", "line 11 15 7 7", "line 7 7 7 7"}},
      // sloped at 45 degrees with t = 0: both tails on the line, 7 back on each axis
      {"rightward sloped",
       0,
       0,
       50,
       50,
       10,
       0.0,
       {"color 216", "line 43 43 50 50", "line 43 43 50 50", "line 0 0 50 50"}},
      {"leftward sloped",
       50,
       50,
       0,
       0,
       10,
       0.0,
       {"color 216", "line 7 7 0 0", "line 7 7 0 0", "line 50 50 0 0"}},
      // f = atan(1) = pi/4, t = pi/4: T1 along f - t = 0, T2 along f + t = pi/2
      {"rightward sloped, opened",
       0,
       0,
       50,
       50,
       10,
       0.7853981633974483,
       {"color 216", "line 40 50 50 50", "line 50 40 50 50", "line 0 0 50 50"}},
      {"leftward sloped, opened",
       50,
       50,
       0,
       0,
       10,
       0.7853981633974483,
       {"color 216", "line 10 0 0 0", "line 0 10 0 0", "line 50 50 0 0"}},
  };
  for (const row& r : rows)
    EXPECT_EQ(record([&](OFL_vision_sheet& s) {
                s.ofl_drw_arrow_line(r.x0, r.y0, r.x1, r.y1, r.head, r.t, 216);
              }),
              r.expected)
        << r.what;
}

TEST(VisionSheet, WedgeHasItsApexOnTheEndPointAndOpensBackward) {
  struct row {
    const char* what;
    int x0, y0, x1, y1;
    calls expected;
  } rows[] = {
      // length 10: radius 10 about (20, 30); the middle direction 180 degrees points left
      {"rightward",
       10,
       30,
       20,
       30,
       {"color 95", "pie 10 20 20 20 160 200", "color 56", "arc 10 20 20 20 160 200",
        "line 20 30 11 27", "line 20 30 11 33"}},
      // upward on screen: atan2 gives -90, the wedge opens downwards (250 to 290)
      {"upward",
       0,
       10,
       0,
       0,
       {"color 95", "pie -10 -10 20 20 250 290", "color 56", "arc -10 -10 20 20 250 290",
        "line 0 0 -3 9", "line 0 0 3 9"}},
      {"a point",
       4,
       4,
       4,
       4,
       {"color 95", "pie 4 4 0 0 160 200", "color 56", "arc 4 4 0 0 160 200", "line 4 4 4 4",
        "line 4 4 4 4"}},
  };
  for (const row& r : rows) {
    EXPECT_EQ(record([&](OFL_vision_sheet& s) { s.ofl_arrowbound(r.x0, r.y0, r.x1, r.y1, 95u); }),
              r.expected)
        << r.what;
  }
}

TEST(VisionSheet, SimpleFiguresSetTheirColourAndBoundOnesEndInBlack) {
  EXPECT_EQ(record([](OFL_vision_sheet& s) {
              s.ofl_dash_line(1, 2, 3, 4, 88);
              s.ofl_circ(10, 10, 20, 216u);
              s.ofl_circbound(1, 2, 6, 95u);
              s.ofl_rectbound(1, 2, 3, 4, 88u);
              s.ofl_drw_String(FL_ALIGN_LEFT, 1, 2, 100, 20, 56u, FL_TIMES, 16, "a%d");
            }),
            (calls{"color 88", "line_style 1 0", "line 1 2 3 4", "line_style 0 0",    //
                   "color 216", "arc 10 10 20 20 0 360",                              //
                   "color 95", "pie 1 2 6 6 0 360", "color 56", "arc 1 2 6 6 0 360",  //
                   "color 88", "rectf 1 2 3 4", "color 56", "rect 1 2 3 4",           //
                   "font 8 16", "color 56", "text a%d"}));
}

TEST(VisionSheet, ClipsToAValidSheetOnly) {
  auto draw = [](OFL_vision_sheet& s) {
    s.ofl_line(0, 0, 1, 1, 56);
    s.ofl_rectf(0, 0, 5, 5, 88u);
  };
  struct row {
    const char* what;
    std::function<void(OFL_vision_sheet&)> shape;
    calls expected;
  } rows[] = {
      {"default",
       [](OFL_vision_sheet&) {},
       {"color 56", "line 0 0 1 1", "color 88", "rectf 0 0 5 5"}},
      {"defined",
       [](OFL_vision_sheet& s) { s.define(10, 20, 30, 40, 88); },
       {"push_clip 10 20 30 40", "color 56", "line 0 0 1 1", "pop_clip",  //
        "push_clip 10 20 30 40", "color 88", "rectf 0 0 5 5", "pop_clip"}},
      {"resized",
       [](OFL_vision_sheet& s) {
         s.define(10, 20, 30, 40, 88);
         s.resize(1, 2, 3, 4);
       },
       {"push_clip 1 2 3 4", "color 56", "line 0 0 1 1", "pop_clip",  //
        "push_clip 1 2 3 4", "color 88", "rectf 0 0 5 5", "pop_clip"}},
      {"zero width",
       [](OFL_vision_sheet& s) { s.define(10, 20, 0, 40, 88); },
       {"color 56", "line 0 0 1 1", "color 88", "rectf 0 0 5 5"}},
      {"negative height",
       [](OFL_vision_sheet& s) { s.define(10, 20, 30, -1, 88); },
       {"color 56", "line 0 0 1 1", "color 88", "rectf 0 0 5 5"}},
  };
  for (const row& r : rows) {
    OFL_vision_sheet sheet;
    r.shape(sheet);
    recording_surface rec;
    rec.recorder.record_clips = true;
    draw(sheet);
    EXPECT_EQ(rec.recorder.calls, r.expected) << r.what;
  }
  OFL_vision_sheet s;
  s.define(1, 2, 3, 4, 88);
  s.resize(5, 6, 7, 8);
  EXPECT_EQ(s.colour, 88);
  EXPECT_EQ(OFL_vision_sheet().colour, 56);
}

}  // namespace
