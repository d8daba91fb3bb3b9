#include "objgraphiques/wagons.h"

#include <cmath>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "formspp/fl_drawing.h"
#include "objgraphiques/draw_target.h"
#include "objgraphiques/movepart.h"

wagon::wagon(Fl_Window* w, int wx, int wy, int l, int wheel, double speed, int left_lim,
             int right_lim, movepart* p, unsigned bg)
    : window(w),
      background(bg),
      x(wx),
      y(wy),
      previous_x(wx),
      left_limit(left_lim),
      right_limit(right_lim),
      length(l),
      wheel_size(wheel),
      velocity(0.0),
      speed_reference(speed),
      part(p),
      loaded(0) {}

int wagon::react() {
  const int H = length / 2;
  previous_x = x;
  x += velocity;
  if (x + H > right_limit) {
    x = right_limit - H;
  } else if (x - H < left_limit) {
    x = left_limit + H;
  }
  return x != previous_x ? 1 : 0;
}

void wagon::change_speed_ref(double speed) {
  speed_reference = speed;
  if (std::fabs(velocity) >= 0.001) velocity = velocity > 0 ? speed : -speed;
}

void cookwagon::draw() {
  const bool visible = draw_into(window);
  if (part != nullptr && part->moveredraw((x - previous_x) / 2.0, 0) == 1) unreact();
  if (!visible) return;
  const int H = length / 2, Q = length / 4, w2 = wheel_size / 2;
  if (x > previous_x) {
    fl_rectf(trunc_px(previous_x - H), trunc_px(y - wheel_size), trunc_px(x - previous_x),
             2 * wheel_size, background);
  } else if (x < previous_x) {
    fl_rectf(trunc_px(x + H), trunc_px(y - wheel_size), trunc_px(previous_x - x), 2 * wheel_size,
             background);
  }
  fl_circf(trunc_px(previous_x - Q + w2), trunc_px(y + w2), w2, background);
  fl_circf(trunc_px(previous_x + Q - wheel_size), trunc_px(y + w2), w2, background);
  fl_circf(trunc_px(x - Q + w2), trunc_px(y + w2), w2, static_cast<unsigned>(FL_BLACK));
  fl_circf(trunc_px(x + Q - wheel_size), trunc_px(y + w2), w2, static_cast<unsigned>(FL_BLACK));
  if (loaded) {
    fl_rectf(trunc_px(x - H - 5.0), trunc_px(y - 15.0), 5, 5, background);
    fl_rectf(trunc_px(x + H), trunc_px(y - 15.0), 5, 5, background);
    fl_rectf(trunc_px(x - H), trunc_px(y - 15.0), length, 20, FL_BLACK);
  } else {
    fl_rectf(trunc_px(x - H), trunc_px(y - 15.0), length, 20, background);
  }
  if (part != nullptr) part->draw();
}
