// The body of body_view.h as a list of marks (lines, rectangles, texts), so
// that the window and the SVG file draw the same picture: what conducts or
// is active is filled in green, wires carrying TRUE are green, and every
// pin and variable shows its live value.
#ifndef PLCVIEW_BODY_PAINT_H
#define PLCVIEW_BODY_PAINT_H

#include <string>
#include <vector>

#include "plcview/body_view.h"

namespace plcview {

struct rgb {
  unsigned char r = 0, g = 0, b = 0;
  bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

constexpr rgb black{0, 0, 0}, white{255, 255, 255}, on_fill{0, 255, 0}, on_wire{0, 160, 0},
    value_ink{0, 0, 190}, grey{128, 128, 128}, panel{224, 224, 224};

struct mark {
  enum class kind { line, rect, fill, text } k = kind::line;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // line: ends; rect, fill: corner and size
  rgb colour;
  double width = 1;  // of a line or an outline
  std::string text;  // text: drawn with its baseline at (x1, y1)
  double size = 11;  // text: in points
  int align = -1;    // text: -1 starts at x1, 0 centred on it, 1 ends at it
  bool bold = false;
  bool fixed = false;  // text: a fixed-width font (program text)
};

std::vector<mark> paint_body(const body_model& m);

// The plant's signals in a column, from x, as "name  value" rows with a box
// filled in green for those not 0.
struct signals {
  std::vector<std::string> input_names, output_names;
  std::vector<int> inputs, outputs;
};
constexpr double signals_width = 200;
std::vector<mark> paint_signals(const signals& s, double x, double height);

}  // namespace plcview

#endif
