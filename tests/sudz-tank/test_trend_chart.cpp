// The trend chart painted a few columns at a time, shifted on the X server, leaves the same
// pixels as the chart painted whole, whatever the number of new columns between two paintings.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "objgraphiques/plant_window.h"
#include "support/window_pixels.h"
#include "trend_chart.h"

namespace {

trend_chart make_chart() {
  return trend_chart(10, 10, 60, 20, {1000, 100, 1000, 1000, 100, 1000},
                     {FL_CYAN, FL_GREEN, FL_BLUE, FL_MAGENTA, FL_YELLOW, FL_RED}, FL_WHITE);
}

// A sample that moves every trace differently with k.
trend_chart::sample sample_at(int k) {
  return {500, k % 101, (k * 37) % 1001, 400, (k * 7) % 101, 300 + (k * 13) % 400};
}

TEST(TrendChart, NewColumnsShiftedInEqualTheWholeChart) {
  plant_window w(340, 170);
  w.show();
  ASSERT_TRUE(w.shown());
  Fl::flush();
  w.make_current();
  trend_chart live = make_chart(), whole = make_chart();
  // Steps between paintings: one column, several, none, and more than the chart holds.
  const int steps[] = {1, 1, 3, 0, 7, 1, 40, 1, 2, 350, 1, 5};
  int k = 0;
  live.paint_all();
  for (int step : steps) {
    for (int c = 0; c < step * trend_chart::cycles_per_column; ++c, ++k) {
      live.record(sample_at(k));
      whole.record(sample_at(k));
    }
    w.make_current();
    live.paint_new();
    const std::string shifted = testsupport::window_pixels(&w);
    w.make_current();
    whole.paint_all();
    EXPECT_EQ(shifted, testsupport::window_pixels(&w)) << "after " << live.written() << " columns";
  }
  EXPECT_EQ(live.written(), k / trend_chart::cycles_per_column);
}

}  // namespace
