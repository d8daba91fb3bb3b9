// Where the moving parts draw. A part with a window draws into it, made current first, and only
// while it is shown (a hidden window has nothing to draw into); a part without a window draws
// into whatever surface is current, which lets a test record the calls without a display.
#ifndef OBJGRAPHIQUES_DRAW_TARGET_H
#define OBJGRAPHIQUES_DRAW_TARGET_H

#include <cmath>

#include <FL/Fl_Window.H>

#include "objgraphiques/geometry.h"

// Makes window current when it is shown; true when drawing may go ahead.
inline bool draw_into(Fl_Window* window) {
  if (window == nullptr) return true;
  if (!window->shown()) return false;
  window->make_current();
  return true;
}

// v to the nearest pixel, halves away from zero.
inline int round_px(double v) {
  return trunc_px(std::round(v));
}

#endif
