#include "objgraphiques/jacks.h"

#include <cmath>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "formspp/fl_drawing.h"
#include "objgraphiques/draw_target.h"
#include "objgraphiques/movepart.h"

namespace {

constexpr double pi = 3.1415;

unsigned background_of(movepart* part, unsigned background) {
  if (background != jack_part_background) return background;
  return part != nullptr ? part->my_background_color() : static_cast<unsigned>(FL_BACKGROUND_COLOR);
}

// Body in blue, rod in black, both outlined in black, then the piston line.
void paint(int bx, int by, int bw, int bh, int rx, int ry, int rw, int rh, int lx0, int ly0,
           int lx1, int ly1) {
  fl_rectbound(bx, by, bw, bh, static_cast<int>(FL_BLUE));
  fl_rectbound(rx, ry, rw, rh, static_cast<int>(FL_BLACK));
  fl_line(lx0, ly0, lx1, ly1, FL_BLACK);
}

}  // namespace

basic_jack::basic_jack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out,
                       double in, movepart* p, double initial, unsigned bg)
    : window(w),
      background(background_of(p, bg)),
      x(ax),
      y(ay),
      stroke(s),
      body_thickness(b),
      rod_length(l),
      rod_thickness(t),
      out_speed(out),
      in_speed(in),
      position(initial),
      previous_position(initial),
      out_command(0),
      part(p) {}

int basic_jack::moved() const {
  return std::fabs(previous_position - position) > 0.001 ? 1 : 0;
}

void basic_jack::partdraw() {
  if (part != nullptr) part->draw();
}

void basic_jack::push(double dx, double dy) {
  if (part != nullptr && part->moveredraw(dx, dy) == 1) unreact();
}

djack::djack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out, double in,
             movepart* p, double initial, unsigned bg)
    : basic_jack(w, ax, ay, s, b, l, t, out, in, p, initial, bg) {}

int djack::react() {
  previous_position = position;
  if (in_command == 1 && out_command == 0) {
    position -= in_speed;
    if (position < 0) position = 0;
  } else if (in_command != 1 && out_command == 1) {
    position += out_speed;
    if (position > stroke) position = stroke;
  }
  in_command = 0;
  out_command = 0;
  return moved();
}

sjack::sjack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out, double in,
             movepart* p, double initial, unsigned bg)
    : basic_jack(w, ax, ay, s, b, l, t, out, in, p, initial, bg) {}

int sjack::react() {
  previous_position = position;
  if (out_command == 1) {
    position += out_speed;
    if (position > stroke) position = stroke;
  } else {
    position -= in_speed;
    if (position < 0) position = 0;
  }
  out_command = 0;
  return moved();
}

rsjack::rsjack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out, double in,
               movepart* p, unsigned bg)
    : sjack(w, ax, ay, s, b, l, t, out, in, p, 0.0, bg) {}
lsjack::lsjack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out, double in,
               movepart* p, unsigned bg)
    : sjack(w, ax, ay, s, b, l, t, out, in, p, 0.0, bg) {}
tsjack::tsjack(Fl_Window* w, int ax, int ay, int s, int b, int l, int t, double out, double in,
               movepart* p, unsigned bg)
    : sjack(w, ax, ay, s, b, l, t, out, in, p, 0.0, bg) {}

void basic_jack::draw_facing(facing f) {
  const bool visible = draw_into(window);
  const double d = position - previous_position;
  switch (f) {
    case facing::right:
      push(d, 0.0);
      break;
    case facing::left:
      push(-d, 0.0);
      break;
    case facing::down:
      push(0.0, d);
      break;
    case facing::up:
      push(0.0, -d);
      break;
  }
  if (!visible) return;
  const int p = trunc_px(position), S = stroke, B = body_thickness, L = rod_length,
            T = rod_thickness;
  switch (f) {
    case facing::right:
      paint(x, y, S, B, x + p, y + B / 2 - T / 2, L, T, x + p, y, x + p, y + B - 1);
      break;
    case facing::left:
      paint(x - S, y, S, B, x - p - L, y + B / 2 - T / 2, L, T, x - p, y, x - p, y + B - 1);
      break;
    case facing::down:
      paint(x, y, B, S, x + B / 2 - T / 2, y + p, T, L, x, y + p, x + B - 1, y + p);
      break;
    case facing::up:
      paint(x, y - S, B, S, x + B / 2 - T / 2, y - p - L, T, L, x, y - p, x + B - 1, y - p);
      break;
  }
  partdraw();
}

void basic_jack::undraw_down() {
  if (!draw_into(window)) return;
  const int p = trunc_px(position), B = body_thickness, T = rod_thickness;
  fl_rectf(x, y, B + 1, stroke + 1, background);
  fl_rectf(x + B / 2 - T / 2, y + p, T, rod_length, background);
}

void basic_jack::move_down_anchor(int nx, int ny) {
  draw_into(window);
  if (nx != x || ny != y) {
    undraw_down();
    x = nx;
    y = ny;
  }
  draw_facing(facing::down);
}

void rdjack::draw() {
  draw_facing(facing::right);
}
void ldjack::draw() {
  draw_facing(facing::left);
}
void bdjack::draw() {
  draw_facing(facing::down);
}
void tdjack::draw() {
  draw_facing(facing::up);
}
void rsjack::draw() {
  draw_facing(facing::right);
}
void lsjack::draw() {
  draw_facing(facing::left);
}
void bsjack::draw() {
  draw_facing(facing::down);
}
void tsjack::draw() {
  draw_facing(facing::up);
}
void bdjack::undraw() {
  undraw_down();
}
void bsjack::undraw() {
  undraw_down();
}
void bdjack::draw(int nx, int ny) {
  move_down_anchor(nx, ny);
}
void bsjack::draw(int nx, int ny) {
  move_down_anchor(nx, ny);
}

hrdjack::hrdjack(Fl_Window* w, int px, int py, int hub_size, int spare_value, int arm_length,
                 double out, double in, movepart* p, double initial, unsigned bg)
    : djack(w, px, py, 360, 1, 360, 1, out, in, p, initial, bg),
      hub(hub_size),
      spare(spare_value),
      arm(arm_length) {}

int hrdjack::tip_x(double degrees) const {
  return x + trunc_px(std::cos(degrees * pi / 180.0) * arm);
}

int hrdjack::tip_y(double degrees) const {
  return y + trunc_px(std::sin(degrees * pi / 180.0) * arm);
}

void hrdjack::draw() {
  const bool visible = draw_into(window);
  if (part != nullptr && part->absmoveredraw(tip_x(position), tip_y(position)) == 1) unreact();
  if (!visible) return;
  const unsigned erase = part != nullptr ? part->my_background_color() : background;
  fl_line(x, y, tip_x(previous_position), tip_y(previous_position), erase);
  fl_circf(x - hub / 2, y - hub / 2, hub, static_cast<unsigned>(FL_BLUE));
  fl_line(x, y, tip_x(position), tip_y(position), FL_BLACK);
  partdraw();
}
