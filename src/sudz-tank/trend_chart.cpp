#include "trend_chart.h"

#include <algorithm>

#include <FL/fl_draw.H>
#include <FL/x.H>

namespace {

// Grid lines at each quarter of a panel.
constexpr unsigned grid_colour = FL_LIGHT2;

}  // namespace

trend_chart::trend_chart(int x, int y, int panel_h, int gap, const sample& full,
                         const std::array<unsigned, traces>& colour, unsigned background)
    : x_(x),
      y_(y),
      panel_h_(panel_h),
      gap_(gap),
      full_(full),
      colour_(colour),
      background_(background),
      ring_(columns + 1) {}

void trend_chart::record(const sample& values) {
  if (++in_column_ < cycles_per_column) return;
  in_column_ = 0;
  ring_[written_ % ring_.size()] = values;
  ++written_;
}

int trend_chart::row(int trace, int value) const {
  const int panel = trace < traces / 2 ? 0 : 1;
  const int v = std::min(std::max(value, 0), full_[trace]);
  return top(panel) + (panel_h_ - 1) -
         static_cast<int>(static_cast<long>(v) * (panel_h_ - 1) / full_[trace]);
}

void trend_chart::paint_column(int column) {
  const int x = x_ + column;
  const long k = written_ - columns + column;  // the sample shown, the newest at the right
  for (int panel = 0; panel < 2; ++panel) {
    fl_color(background_);
    fl_yxline(x, top(panel), top(panel) + panel_h_ - 1);
    fl_color(grid_colour);
    for (int q = 1; q < 4; ++q) fl_point(x, top(panel) + q * (panel_h_ - 1) / 4);
  }
  if (k < 0) return;
  const long size = static_cast<long>(ring_.size());
  const sample& now = ring_[k % size];
  const sample& before = k > 0 ? ring_[(k - 1) % size] : now;
  for (int i = 0; i < traces; ++i) {
    fl_color(colour_[i]);
    fl_yxline(x, row(i, before[i]), row(i, now[i]));
  }
}

void trend_chart::shift(int n) {
  // A context of its own that asks for no exposure events: a part of the chart hidden under
  // another window is painted whole when it shows again.
  static GC gc = nullptr;
  if (gc == nullptr) {
    XGCValues values;
    values.graphics_exposures = False;
    gc = XCreateGC(fl_display, fl_window, GCGraphicsExposures, &values);
  }
  for (int panel = 0; panel < 2; ++panel)
    XCopyArea(fl_display, fl_window, fl_window, gc, x_ + n, top(panel), columns - n, panel_h_, x_,
              top(panel));
}

void trend_chart::paint_all() {
  for (int c = 0; c < columns; ++c) paint_column(c);
  painted_ = written_;
}

void trend_chart::paint_new() {
  const long n = written_ - painted_;
  if (n <= 0) return;
  if (n >= columns) {
    paint_all();
    return;
  }
  shift(static_cast<int>(n));
  for (int c = columns - static_cast<int>(n); c < columns; ++c) paint_column(c);
  painted_ = written_;
}
