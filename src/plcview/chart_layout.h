// The chart laid out as automation courses draw it: steps as boxes (the
// initial step doubled) with their actions in a box beside them,
// transitions as bars with their conditions, and parallel branches opened
// and closed by double lines. Graphviz places everything; the window and
// the SVG file only draw what it placed.
//
// Coordinates are in points, x to the right and y downwards from the top
// left corner of the drawing.
#ifndef PLCVIEW_CHART_LAYOUT_H
#define PLCVIEW_CHART_LAYOUT_H

#include <string>
#include <utility>
#include <vector>

#include "plcengine/sfc_chart.h"

namespace sfc {

struct layout_box {
  double x = 0, y = 0, w = 0, h = 0;  // top left corner and size; w 0: none
  double cx() const { return x + w / 2; }
  double cy() const { return y + h / 2; }
};

struct chart_layout {
  double width = 0, height = 0;
  std::vector<layout_box> steps;     // per step
  std::vector<layout_box> actions;   // per step: the box of its actions (w 0: none)
  std::vector<std::string> action_text;  // per step: "Vi (N)" lines
  std::vector<layout_box> bars;      // per transition
  std::vector<std::string> conditions;   // per transition, as text
  std::vector<layout_box> joins;     // per transition: double line before it (w 0: none)
  std::vector<layout_box> splits;    // per transition: double line after it (w 0: none)
  std::vector<std::vector<std::pair<double, double>>> links;  // lines, as polylines
};

// Lays out c with Graphviz's dot. An empty layout if Graphviz fails.
chart_layout layout_chart(const chart& c);

// Writes the chart as an SVG file drawn by Graphviz; false with a message.
bool write_chart_svg(const chart& c, const std::string& path, std::string* error);

// An expression written back as text, with the parentheses it needs.
std::string expr_text(const expr& e);

}  // namespace sfc

#endif
