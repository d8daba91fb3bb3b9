// A move drawn into a real window of the test's X server: the strip an element uncovers is
// erased in the background colour and nothing else around it changes.
#include <gtest/gtest.h>

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

}  // namespace
