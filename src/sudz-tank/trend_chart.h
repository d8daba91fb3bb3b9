// A trend chart of the last minute: two panels, one above the other, each with three traces
// (a measurement, its set point and the output that drives it), recorded every cycle.
//
// A new column is completed every cycles_per_column cycles, the newest at the right. A column
// shows its own sample only, each trace a vertical stroke from the previous column's value to
// its own, so painting a column never touches another. New columns are painted by shifting
// what is on show to the left on the X server (a copy within the window) and painting only
// them at the right: the same pixels as painting the whole chart.
#ifndef SUDZ_TANK_TREND_CHART_H
#define SUDZ_TANK_TREND_CHART_H

#include <array>
#include <vector>

class trend_chart {
 public:
  static constexpr int traces = 6;  // panel 0: traces 0 to 2, panel 1: traces 3 to 5
  static constexpr int columns = 300;
  static constexpr int cycles_per_column = 40;  // 300 columns of 0.2 s: a minute
  using sample = std::array<int, traces>;

  // Panels of columns x panel_h pixels at (x, y) and (x, y + panel_h + gap). full[i] is the
  // value of trace i at the top of its panel (0 at the bottom); colour[i] its colour.
  trend_chart(int x, int y, int panel_h, int gap, const sample& full,
              const std::array<unsigned, traces>& colour, unsigned background);

  // One cycle's values; every cycles_per_column-th completes a column.
  void record(const sample& values);
  // Columns completed since the start.
  long written() const { return written_; }

  // Paints every column as it stands (at the start and when the window was repainted).
  void paint_all();
  // Paints the columns completed since the last painting.
  void paint_new();

  // The row of a value of trace i, in window pixels.
  int row(int trace, int value) const;
  int left() const { return x_; }
  int top(int panel) const { return y_ + panel * (panel_h_ + gap_); }
  int panel_height() const { return panel_h_; }

 private:
  void paint_column(int column);  // from the sample it shows, or blank
  void shift(int n);              // what is on show, n columns to the left

  int x_, y_, panel_h_, gap_;
  sample full_;
  std::array<unsigned, traces> colour_;
  unsigned background_;
  std::vector<sample> ring_;  // sample k at k % ring_.size()
  long written_ = 0;          // columns completed
  long painted_ = 0;          // columns completed when last painted
  int in_column_ = 0;         // cycles recorded towards the next column
};

#endif
