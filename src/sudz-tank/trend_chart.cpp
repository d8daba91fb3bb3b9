#include "trend_chart.h"

#include <algorithm>

#include <FL/fl_draw.H>

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
      ring_(columns) {}

void trend_chart::record(const sample& values) {
  if (++in_column_ < cycles_per_column) return;
  in_column_ = 0;
  ring_[written_ % columns] = values;
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
  // The newest column written here, if any; the one just after the newest stays blank.
  const long newest = written_ - 1;
  long k = newest - ((newest - column) % columns + columns) % columns;
  const bool blank = written_ == 0 || k < 0 || k == newest - columns + 1;
  for (int panel = 0; panel < 2; ++panel) {
    fl_color(background_);
    fl_yxline(x, top(panel), top(panel) + panel_h_ - 1);
    fl_color(grid_colour);
    for (int q = 1; q < 4; ++q) fl_point(x, top(panel) + q * (panel_h_ - 1) / 4);
  }
  if (blank) return;
  const sample& now = ring_[k % columns];
  const sample& before = k > 0 ? ring_[(k - 1) % columns] : now;
  for (int i = 0; i < traces; ++i) {
    fl_color(colour_[i]);
    fl_yxline(x, row(i, before[i]), row(i, now[i]));
  }
}

void trend_chart::paint_all() {
  for (int c = 0; c < columns; ++c) paint_column(c);
  painted_ = written_;
}

void trend_chart::paint_new() {
  // More than a sweep behind (the window was not shown): every column has changed.
  if (written_ - painted_ >= columns - 1) {
    paint_all();
    return;
  }
  for (long k = painted_; k < written_; ++k) {
    paint_column(static_cast<int>(k % columns));
    paint_column(static_cast<int>((k + 1) % columns));  // the blank column after it
  }
  painted_ = written_;
}
