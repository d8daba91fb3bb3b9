// Hatch: a hinged flap drawn as one line from its hinge (x, y). Closed, it lies to the right
// (horizontal) or hangs down (vertical); open, it is swung by `angle` radians: up and
// counter-clockwise on screen from the right (horizontal), or clockwise from straight up
// (vertical).
//
// With cl = cos(angle) * length and sl = sin(angle) * length, each truncated toward zero.
// Everything but draw() works without a window or a display.
#ifndef OBJGRAPHIQUES_TRAPPE_H
#define OBJGRAPHIQUES_TRAPPE_H

#include <string>

#include "objgraphiques/geometry.h"

class Fl_Window;

class trappe {
 public:
  // The angle is in radians and used as it is. The first draw() erases the position opposite to
  // the initial one, unless the state is changed back before it. The caller sets both colours
  // before the first draw().
  trappe(Fl_Window* window, int x, int y, int length, double angle, int open, int horizontal);

  void change_background(unsigned colour) { background_ = colour; }  // erases the old position
  void change_foreground(unsigned colour) { foreground_ = colour; }  // the flap

  // Neither draws; the screen follows at the next draw().
  void open() { open_ = 1; }
  void close() { open_ = 0; }

  // In this order: if the state changed since the last erase, erased_segment() in the background
  // colour; then current_segment() in the foreground colour. Draws into the current window.
  void draw();
  // Appends to look what the next draw() paints depends on: equal looks paint equal pixels.
  void look(std::string& look) const;

  // Geometry.
  pixel_segment closed_segment() const;
  pixel_segment open_segment() const;
  pixel_segment current_segment() const { return open_ ? open_segment() : closed_segment(); }
  // The position shown before the change: the closed one if the flap is now open, else the open.
  pixel_segment erased_segment() const { return open_ ? closed_segment() : open_segment(); }
  int needs_erase() const { return drawn_state_ != open_ ? 1 : 0; }

  // Read-only state.
  int is_open() const { return open_; }
  int drawn_state() const { return drawn_state_; }
  int horizontal() const { return horizontal_; }
  double angle() const { return angle_; }
  int length() const { return length_; }
  unsigned background() const { return background_; }
  unsigned foreground() const { return foreground_; }
  Fl_Window* window() const { return window_; }

 private:
  Fl_Window* window_;
  unsigned background_ = 0;
  unsigned foreground_ = 0;
  int x_;
  int y_;
  int length_;
  double angle_;
  int open_;
  int drawn_state_;
  int horizontal_;
};

#endif
