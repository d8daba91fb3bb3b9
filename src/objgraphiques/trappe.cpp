#include "objgraphiques/trappe.h"

#include <cmath>

#include <FL/fl_draw.H>

#include "objgraphiques/plant_drawing.h"

trappe::trappe(Fl_Window* window, int x, int y, int length, double angle, int open, int horizontal)
    : window_(window),
      x_(x),
      y_(y),
      length_(length),
      angle_(angle),
      open_(open),
      drawn_state_(open == 0 ? 1 : 0),
      horizontal_(horizontal) {}

pixel_segment trappe::closed_segment() const {
  if (horizontal_) return {x_, y_, x_ + length_, y_};
  return {x_, y_, x_, y_ + length_};
}

pixel_segment trappe::open_segment() const {
  const int cl = trunc_px(std::cos(angle_) * length_);
  const int sl = trunc_px(std::sin(angle_) * length_);
  if (horizontal_) return {x_, y_, x_ + cl, y_ - sl};
  return {x_, y_, x_ + sl, y_ - cl};
}

void trappe::draw() {
  if (needs_erase()) {
    drawn_state_ = open_;
    const pixel_segment e = erased_segment();
    fl_color(background_);
    fl_line(e.x0, e.y0, e.x1, e.y1);
  }
  const pixel_segment s = current_segment();
  fl_color(foreground_);
  fl_line(s.x0, s.y0, s.x1, s.y1);
}

void trappe::look(std::string& look) const {
  append_look(look, open_);
  append_look(look, needs_erase());
  append_look(look, background_);
  append_look(look, foreground_);
}
