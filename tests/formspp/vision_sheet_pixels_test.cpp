// The vision sheet on a real window: a figure partly outside the sheet is cut at its edges, and
// the window's clip is whole again afterwards.
#include <gtest/gtest.h>

#include "formspp/vision_sheet.h"
#include "formspp/window_pixels.h"

TEST(VisionSheetPixels, FiguresAreCutAtTheSheetsEdges) {
  auto win = shown_window(100, 100, FL_WHITE);
  const rgb white = rgb_of(FL_WHITE), red = rgb_of(FL_RED), blue = rgb_of(FL_BLUE);
  win->make_current();
  OFL_vision_sheet sheet;
  sheet.define(20, 30, 40, 20, FL_BLACK);
  sheet.ofl_rectf(0, 0, 100, 100, FL_RED);
  fl_rectf(80, 80, 10, 10, FL_BLUE);  // unclipped again after the sheet's call
  EXPECT_EQ(pixel_at(win.get(), 20, 30), red);
  EXPECT_EQ(pixel_at(win.get(), 59, 49), red);
  EXPECT_EQ(pixel_at(win.get(), 19, 30), white);
  EXPECT_EQ(pixel_at(win.get(), 60, 40), white);
  EXPECT_EQ(pixel_at(win.get(), 40, 50), white);
  EXPECT_EQ(pixel_at(win.get(), 40, 29), white);
  EXPECT_EQ(pixel_at(win.get(), 85, 85), blue);
}
