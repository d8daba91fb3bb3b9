#include "objgraphiques/melangeur.h"

#include <cmath>

#include <FL/fl_draw.H>

#include "objgraphiques/plant_drawing.h"

namespace {
const double turning_threshold = 0.001;
}

melangeur::melangeur(Fl_Window* window, int cx, int cy, int diameter)
    : window_(window),
      cx_(cx),
      cy_(cy),
      diameter_(diameter),
      angle_(40.0),
      previous_angle_(0.0),
      speed_(0.0) {}

int melangeur::turning() const {
  return std::fabs(speed_) > turning_threshold ? 1 : 0;
}

void melangeur::react() {
  if (!turning()) return;
  previous_angle_ = angle_;
  angle_ = angle_ + speed_;
}

std::array<pixel_segment, 2> melangeur::cross(double a) const {
  const int p = trunc_px(std::cos(a) * diameter_ / 2.0);
  const int q = trunc_px(std::sin(a) * diameter_ / 2.0);
  return {{{cx_ + p, cy_ + q, cx_ - p, cy_ - q}, {cx_ - q, cy_ + p, cx_ + q, cy_ - p}}};
}

void melangeur::cr_draw(double a) {
  for (const pixel_segment& s : cross(a)) fl_line(s.x0, s.y0, s.x1, s.y1);
}

void melangeur::draw() {
  if (turning()) {
    fl_color(background_);
    cr_draw(previous_angle_);
  }
  fl_color(foreground_);
  cr_draw(angle_);
  fl_circle(cx_, cy_, diameter_ / 2);
}

void melangeur::look(std::string& look) const {
  // While it turns, draw() also erases the cross at the previous angle.
  const int t = turning();
  append_look(look, angle_);
  append_look(look, t);
  if (t) append_look(look, previous_angle_);
  append_look(look, background_);
  append_look(look, foreground_);
}
