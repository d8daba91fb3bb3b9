#include "objgraphiques/belts.h"

#include <cmath>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "formspp/fl_drawing.h"
#include "lists/list_helpers.h"
#include "objgraphiques/draw_target.h"
#include "objgraphiques/movepart.h"

namespace {
constexpr double pi = 3.1415;
}

belt::belt(Fl_Window* w, int bx, int by, int l, int h, double s)
    : window(w),
      x(bx),
      y(by),
      length(l),
      height(h),
      speed(s),
      travel(0.0),
      previous_travel(0.0),
      driven(0) {}

void belt::add_ppart(movepart* p) {
  pieces.push_back(p);
}

void belt::supp_ppart(movepart* p) {
  sup_number(pieces, item_where(pieces, p));
}

void belt::react() {
  previous_travel = travel;
  if (driven) {
    travel += speed;
    if (travel > length) travel -= length;
    if (travel < 0) travel += length;
    previous_travel = travel - speed;
  }
  driven = 0;
}

hbelt::hbelt(Fl_Window* w, int bx, int by, int l, int h, double s) : belt(w, bx, by, l, h, s) {}

int hbelt::lies_on(movepart& p) const {
  const int first = p.actual_first_xpos();
  return first >= x && first <= x + length ? 1 : 0;
}

void hbelt::paint(int mark_extra) {
  const bool visible = draw_into(window);
  if (visible) {
    fl_rectbound(x, y, length, height, static_cast<int>(FL_RED));
    const int t = trunc_px(travel);
    fl_line(x + t, y, x + t, y + height - 1 + mark_extra, FL_BLACK);
  }
  const double d = travel - previous_travel;
  for (movepart* p : pieces) {
    if (!lies_on(*p)) continue;
    p->moveredraw(d, 0.0);
    p->draw();
  }
}

void hbelt::draw() {
  paint(0);
}

void hbelt::redraw() {
  const double d = std::fabs(travel - previous_travel);
  if (d > speed + 0.001 || d <= 0.001) return;
  paint(1);
}

rbelt::rbelt(Fl_Window* w, int px, int py, int size, int spare_value, double s)
    : belt(w, px, py, 360, size, s), spare(spare_value) {}

void rbelt::draw() {
  if (draw_into(window)) fl_circf(x - height / 2, y - height / 2, height, FL_WHITE);
}

void rbelt::redraw() {
  const bool visible = draw_into(window);
  const double d = travel - previous_travel;
  if (visible) fl_circf(x - height / 2, y - height / 2, height, FL_WHITE);
  for (movepart* p : pieces) {
    const double fx = p->actual_precision_first_xpos(), fy = p->actual_precision_first_ypos();
    double tx = fx, ty = fy;
    if (std::fabs(d) > 0.001) {
      const double lx = p->actual_precision_last_xpos(), ly = p->actual_precision_last_ypos();
      const double cx = (fx + lx) / 2 - x, cy = (fy + ly) / 2 - y;
      const double a = speed * pi / 180;
      const double rx = std::cos(a) * cx - std::sin(a) * cy;
      const double ry = std::sin(a) * cx + std::cos(a) * cy;
      tx = x + rx - (lx - fx) / 2;
      ty = y + ry - (ly - fy) / 2;
    }
    p->absmoveredraw(tx, ty);
  }
  if (visible) {
    const double t = travel * pi / 180;
    fl_line(x, y, x + trunc_px(std::cos(t) * height), y + trunc_px(std::sin(t) * height), FL_BLACK);
  }
}
