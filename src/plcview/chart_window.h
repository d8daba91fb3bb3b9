// The chart window (--view): the chart as laid out by chart_layout, the
// active steps filled in green, and the plant's inputs and outputs in a
// column on the right. The view follows the evolution: it scrolls so that
// the first active step stands in the middle of the chart area.
#ifndef PLCVIEW_CHART_WINDOW_H
#define PLCVIEW_CHART_WINDOW_H

#include <memory>
#include <string>
#include <vector>

#include "plcengine/binding.h"
#include "plcengine/runtime.h"
#include "plcengine/sfc_chart.h"
#include "plcview/chart_layout.h"

namespace sfc {

// The window's size and its chart area (the left part).
constexpr int view_width = 820, view_height = 640;
constexpr int view_chart_width = 600;

// Where the chart's points land in the chart area: a point (x, y) of the
// layout is drawn at pixel (x0 + x * scale, y0 + y * scale) of the window.
struct view_geometry {
  double scale = 1, x0 = 0, y0 = 0;
};
// The geometry for these active steps (empty: the top of the chart).
view_geometry geometry_for(const chart_layout& l, const std::vector<bool>& active);

class chart_window {
 public:
  // Titled "program: chart name".
  chart_window(const chart& c, const plant_names& names, const chart_layout& l,
               const std::string& program = "sudz-sfc");
  ~chart_window();
  chart_window(const chart_window&) = delete;
  chart_window& operator=(const chart_window&) = delete;

  void show();
  // False once the user has closed the window (the chart goes on running).
  bool shown() const;
  // The state to show; only a change is redrawn.
  void update(const std::vector<bool>& active, const std::vector<int>& inputs,
              const std::vector<int>& outputs);
  // The same from a running chart: its steps as rt has them, the plant's
  // signals as the chart's binding b links them, input k and output k to
  // its k-th link. Nothing once the window is closed.
  void update(const plc::runtime& rt, const plc::binding& b);

 private:
  class impl;
  std::unique_ptr<impl> impl_;
};

}  // namespace sfc

#endif
