#include "objgraphiques/resistor.h"

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "objgraphiques/plant_drawing.h"

resistor::resistor(Fl_Window* window, int cx, int cy, int width, int height)
    : window_(window), cx_(cx), cy_(cy), width_(width), height_(height), heating_(0) {}

unsigned resistor::colour() const {
  return heating_ ? FL_RED : foreground_;
}

std::array<pixel_arc, 3> resistor::bends() const {
  const int h6 = height_ / 6, h3 = height_ / 3, h2 = height_ / 2, w2 = width_ / 2;
  return {{{{cx_ - h6, cy_ - h6, h3, h3}, -90.0, 90.0},
           {{cx_ - w2, cy_ - h2, h3, h3}, 90.0, 270.0},
           {{cx_ - w2, cy_ + h6, h3, h3}, 90.0, 270.0}}};
}

std::array<pixel_segment, 4> resistor::runs() const {
  const int h6 = height_ / 6, h2 = height_ / 2, w2 = width_ / 2;
  const int left = cx_ + h6 - w2;
  return {{{cx_, cy_ - h6, left, cy_ - h6},
           {cx_, cy_ + h6, left, cy_ + h6},
           {left, cy_ - h2, cx_ + w2, cy_ - h2},
           {left, cy_ + h2, cx_ + w2, cy_ + h2}}};
}

void resistor::draw() {
  const std::array<pixel_arc, 3> b = bends();
  const std::array<pixel_segment, 4> r = runs();
  auto arc = [](const pixel_arc& a) { fl_arc(a.box.x, a.box.y, a.box.w, a.box.h, a.a1, a.a2); };
  auto line = [](const pixel_segment& s) { fl_line(s.x0, s.y0, s.x1, s.y1); };
  fl_line_style(FL_SOLID, 5, nullptr);
  fl_color(colour());
  arc(b[0]);
  line(r[0]);
  line(r[1]);
  arc(b[1]);
  arc(b[2]);
  line(r[2]);
  line(r[3]);
  fl_line_style(FL_SOLID, 0, nullptr);
}

void resistor::look(std::string& look) const {
  append_look(look, colour());
}
