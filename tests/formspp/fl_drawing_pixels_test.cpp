// The drawing primitives on a real window of the test's X server.
#include <gtest/gtest.h>

#include "formspp/fl_drawing.h"
#include "formspp/window_pixels.h"

namespace {

TEST(FlDrawingPixels, ShapesLandWhereAndInTheColourAsked) {
  auto win = shown_window(200, 200, FL_WHITE);
  const rgb white = rgb_of(FL_WHITE), black = rgb_of(FL_BLACK), blue = rgb_of(FL_BLUE);
  win->make_current();

  // A disc of diameter 20 at (10, 10) is centred on (20, 20); the square's corner stays clear.
  fl_circf(10, 10, 20, FL_BLUE);
  EXPECT_EQ(pixel_at(win.get(), 20, 20), blue);
  EXPECT_EQ(pixel_at(win.get(), 11, 11), white);
  EXPECT_EQ(pixel_at(win.get(), 29, 20), blue);
  EXPECT_EQ(pixel_at(win.get(), 31, 20), white);

  // Filled box with a black outline.
  win->make_current();
  fl_rectbound(50, 50, 40, 30, static_cast<int>(FL_RED));
  EXPECT_EQ(pixel_at(win.get(), 70, 65), rgb_of(FL_RED));
  EXPECT_EQ(pixel_at(win.get(), 50, 65), black);
  EXPECT_EQ(pixel_at(win.get(), 89, 65), black);
  EXPECT_EQ(pixel_at(win.get(), 70, 50), black);
  EXPECT_EQ(pixel_at(win.get(), 91, 65), white);

  // The colour of the line, then black left current by fl_rectbound for the next plain call.
  win->make_current();
  fl_line(100, 120, 180, 120, static_cast<unsigned>(FL_YELLOW));
  EXPECT_EQ(pixel_at(win.get(), 140, 120), rgb_of(FL_YELLOW));
  win->make_current();
  fl_rectbound(100, 140, 10, 10, static_cast<int>(FL_GREEN));
  fl_line(120, 145, 180, 145);
  EXPECT_EQ(pixel_at(win.get(), 150, 145), black);

  // An ellipse inscribed in its box.
  win->make_current();
  fl_ovalf(10, 100, 60, 20, static_cast<int>(FL_BLUE));
  EXPECT_EQ(pixel_at(win.get(), 40, 110), blue);
  EXPECT_EQ(pixel_at(win.get(), 12, 102), white);
}

TEST(FlDrawingPixels, TextIsDrawnInTheColourInsideItsBox) {
  auto win = shown_window(200, 100, FL_WHITE);
  win->make_current();
  fl_drw_String(FL_ALIGN_LEFT, 10, 10, 180, 30, FL_BLUE, 16, FL_TIMES, "10.0 deg");
  const window_image img = read_box(win.get(), 0, 0, 200, 100);
  const rgb blue = rgb_of(FL_BLUE), white = rgb_of(FL_WHITE);
  int inside = 0, outside = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool in_box = x >= 10 && x < 190 && y >= 10 && y < 40;
      if (in_box && img.at(x, y) == blue) ++inside;
      if (!in_box && !(img.at(x, y) == white)) ++outside;
    }
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);
}

}  // namespace
