// Tank: a water level that rises and falls with an inflow and an outflow, drawn as a rectangle
// of water under a rectangle of empty space.
//
// Levels are pixels of height above the floor line y; the tank covers the rows y - height to y.
// Flows are volumes per cycle, one pixel of height holding `section` of volume. Everything but
// draw() works without a window or a display.
#ifndef OBJGRAPHIQUES_CUVE_H
#define OBJGRAPHIQUES_CUVE_H

#include <string>

#include "objgraphiques/geometry.h"

class Fl_Window;

class cuve {
 public:
  // The level starts at initial_level, both flows at 0.0. The caller sets both colours before
  // the first draw(). The window is not owned; it may be null for a tank that is never drawn.
  cuve(Fl_Window* window, int x, int y, int width, int height, int empty_threshold,
       int full_threshold, int initial_level, double section, int lidded);

  void change_background(unsigned colour) { background_ = colour; }  // the empty space
  void change_foreground(unsigned colour) { foreground_ = colour; }  // the water

  // Set a flow; the level moves at the next react(). Any value, negative included.
  void change_in(double rate) { inflow_ = rate; }
  void change_out(double rate) { outflow_ = rate; }

  // One cycle: level += (inflow - outflow) / section, then held to height - 1 at the top and to
  // 0.0 at the bottom. Returns 1 when the two flows differ by more than 0.001 (also while the
  // level is held), else 0. A step that would not give a number leaves the level where it is.
  int react();

  // From the level as the last react() left it. overfull() is level >= 12 * full / 10, the
  // threshold truncated toward zero.
  int empty() const { return level_ < empty_threshold_ ? 1 : 0; }
  int full() const { return level_ >= full_threshold_ ? 1 : 0; }
  int overfull() const { return level_ >= overfull_threshold() ? 1 : 0; }
  long long overfull_threshold() const;

  // Makes the window current (when it is shown), then repaints the whole tank: empty space,
  // water, then a black outline (closed box if lidded, else an open U). The current colour is
  // black afterwards.
  void draw();
  // Appends to look what the next draw() paints depends on: equal looks paint equal pixels.
  void look(std::string& look) const;

  // Read-only state.
  double level() const { return level_; }
  int drawn_level() const { return trunc_px(level_); }  // rows of water drawn
  double inflow() const { return inflow_; }
  double outflow() const { return outflow_; }
  double section() const { return section_; }
  unsigned background() const { return background_; }
  unsigned foreground() const { return foreground_; }
  Fl_Window* window() const { return window_; }
  int x() const { return x_; }
  int y() const { return y_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int empty_threshold() const { return empty_threshold_; }
  int full_threshold() const { return full_threshold_; }
  int lidded() const { return lidded_; }

 private:
  Fl_Window* window_;
  unsigned background_ = 0;
  unsigned foreground_ = 0;
  int x_;
  int y_;
  int width_;
  int height_;
  int empty_threshold_;
  int full_threshold_;
  double level_;
  double section_;
  double outflow_;
  double inflow_;
  int lidded_;
};

#endif
