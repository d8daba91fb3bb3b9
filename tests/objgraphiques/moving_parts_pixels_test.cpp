// Moves drawn into a real window of the test's X server: the strip an element uncovers is
// erased in the background colour and nothing else around it changes, and after any sequence
// of moves the scene looks as a whole painting of it shows it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "formspp/window_pixels.h"
#include "objgraphiques/movepart.h"

namespace {

TEST(MovingPartsPixels, OneMoveInEachDirectionErasesItsStrip) {
  auto win = shown_window(200, 200, FL_WHITE);
  const rgb white = rgb_of(FL_WHITE), blue = rgb_of(FL_BLUE), green = rgb_of(FL_GREEN);
  struct row {
    const char* what;
    double dx, dy;
    // Pixels along the move's axis, through the element's middle, and their colours.
    int first, last;
    std::vector<rgb> expected;
  };
  // A blue element of 6 by 6 at (100, 100) on a white window, erased in green.
  const std::vector<rgb> B6(6, blue);
  auto seq = [](std::initializer_list<std::vector<rgb>> parts) {
    std::vector<rgb> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const row rows[] = {
      // Right by 3: the strip starts one pixel left of the old place and is 4 wide.
      {"right", 3, 0, 98, 109, seq({{white}, std::vector<rgb>(4, green), B6, {white}})},
      // Left by 3: the strip starts at the element's new right edge, 1 - (-3) = 4 wide.
      {"left", -3, 0, 96, 107, seq({{white}, B6, std::vector<rgb>(4, green), {white}})},
      // Down by 3: one pixel more than the step above the new place, at the old top.
      {"down", 0, 3, 99, 109, seq({{white}, std::vector<rgb>(3, green), B6, {white}})},
      // Up by 3: exactly the step below the new place.
      {"up", 0, -3, 96, 106, seq({{white}, B6, std::vector<rgb>(3, green), {white}})},
  };
  for (const row& r : rows) {
    win->make_current();
    fl_rectf(0, 0, 200, 200, FL_WHITE);
    movepart_manager m;
    movepart p(m, win.get(), FL_GREEN);
    p.add(100, 100, 6, 6, FL_BLUE);
    p.draw();
    EXPECT_EQ(p.moveredraw(r.dx, r.dy), 0);
    std::vector<rgb> seen;
    for (int k = r.first; k <= r.last; ++k) {
      seen.push_back(r.dx != 0 ? pixel_at(win.get(), k, 103) : pixel_at(win.get(), 103, k));
    }
    EXPECT_EQ(seen, r.expected) << r.what;
    // Beside the move's axis nothing was touched.
    EXPECT_EQ(r.dx != 0 ? pixel_at(win.get(), 103, 98) : pixel_at(win.get(), 98, 103), white)
        << r.what;
  }
}

// Pieces whose elements touch or lie inside one another, and a piece carried inside another,
// moved step by step in every direction: after each sequence the window is compared, pixel for
// pixel, with the same scene painted whole over the background.
TEST(MovingPartsPixels, AnySequenceOfMovesLooksLikeAWholePainting) {
  auto win = shown_window(200, 200, FL_WHITE);
  const unsigned ground = FL_WHITE;
  struct scene {
    movepart_manager m;
    movepart car, cabin;
    movepart* door = new movepart;  // owned by the cabin once linked
    scene(Fl_Window* w) : car(m, w, ground), cabin(m, w, ground) {
      // A car with a windscreen inside its body and wheels touching its sides.
      car.add(38, 37, 8, 3, FL_BLACK);
      car.add(38, 60, 8, 3, FL_BLACK);
      car.add(30, 40, 30, 20, FL_BLUE);
      car.add(48, 43, 6, 14, FL_CYAN);
      // A cabin: its inside, posts under the roof, and a door inside it.
      cabin.add(112, 42, 40, 36, FL_YELLOW);
      cabin.add(110, 40, 44, 2, FL_RED);  // roof
      cabin.add(110, 42, 2, 38, FL_RED);  // posts, touching the roof
      cabin.add(152, 42, 2, 38, FL_RED);
      cabin.add(112, 78, 40, 2, FL_RED);  // floor
      door->define(m, w, ground);
      door->add(114, 44, 12, 30, FL_GREEN);
      door->add(116, 48, 8, 10, FL_DARK_CYAN);  // a window in the door
      cabin.link(door);
    }
  };
  struct row {
    const char* what;
    std::function<void(scene&)> moves;
  };
  const std::vector<double> out{1, 0.5, 0.5, 2, 1.5, 3}, back{-1, -0.5, -0.5, -2, -1.5, -3};
  const std::vector<double> up{-1, -2, -1, -3};
  auto along = [](movepart& p, const std::vector<double>& steps, bool horizontal) {
    for (double d : steps) EXPECT_EQ(horizontal ? p.moveredraw(d, 0) : p.moveredraw(0, d), 0);
  };
  const row rows[] = {
      {"car right", [&](scene& s) { along(s.car, out, true); }},
      {"car left", [&](scene& s) { along(s.car, back, true); }},
      {"car down", [&](scene& s) { along(s.car, out, false); }},
      {"car up", [&](scene& s) { along(s.car, up, false); }},
      {"car round a square",
       [&](scene& s) {
         along(s.car, out, true);
         along(s.car, out, false);
         along(s.car, back, true);
         along(s.car, up, false);
       }},
      {"cabin down with its door", [&](scene& s) { along(s.cabin, out, false); }},
      {"cabin up with its door", [&](scene& s) { along(s.cabin, up, false); }},
      {"cabin right with its door", [&](scene& s) { along(s.cabin, out, true); }},
      {"cabin left with its door", [&](scene& s) { along(s.cabin, back, true); }},
      {"door slides right in its cabin, then back",
       [&](scene& s) {
         along(*s.door, {2, 2, 1, 0.5, 0.5, 3, 1}, true);
         along(*s.door, {-1, -0.5, -0.5, -2, -1, -3}, true);
       }},
      {"door slides up and down in its cabin",
       [&](scene& s) {
         along(*s.door, {1, 0.5, 0.5, 1, 0.5}, false);
         along(*s.door, {-1, -1, -1}, false);
       }},
      {"door moves, then the cabin",
       [&](scene& s) {
         along(*s.door, {4, 3}, true);
         along(s.cabin, {-2, -1}, false);
         along(s.cabin, {2, 1.5}, true);
       }},
  };
  for (const row& r : rows) {
    win->make_current();
    fl_rectf(0, 0, 200, 200, ground);
    scene s(win.get());
    s.m.draw();
    r.moves(s);
    const window_image moved = read_box(win.get(), 0, 0, 200, 200);
    win->make_current();
    fl_rectf(0, 0, 200, 200, ground);
    s.m.draw();
    const window_image whole = read_box(win.get(), 0, 0, 200, 200);
    int differ = 0;
    std::string first;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x)
        if (!(moved.at(x, y) == whole.at(x, y)) && differ++ == 0)
          first = std::to_string(x) + "," + std::to_string(y);
    EXPECT_EQ(differ, 0) << r.what << ": first at " << first;
  }
}

}  // namespace
