// Valve: a butterfly valve on a pipe. Two parallel pipe lines, a circular body on them and a
// gate bar inside the body that lies along the pipe when open and across it when closed.
//
// It has no flow of its own. All halvings are int divisions truncating toward zero. Everything
// but draw() works without a window or a display.
#ifndef OBJGRAPHIQUES_VANNE_H
#define OBJGRAPHIQUES_VANNE_H

#include <string>

#include <array>

#include "objgraphiques/geometry.h"

class Fl_Window;

class vanne {
 public:
  // (cx, cy) is the centre of the body; `length` the length of the pipe lines; `gap` the distance
  // between them and the thickness of the bar; `size` the body's diameter and the bar's length.
  // The first draw() always erases the body. The caller sets both colours before it.
  vanne(Fl_Window* window, int cx, int cy, int length, int gap, int size, int open, int horizontal);

  void change_background(unsigned colour) { background_ = colour; }  // erases the body
  void change_foreground(unsigned colour) { foreground_ = colour; }  // pipe, bar, body

  // Neither draws; the screen follows at the next draw().
  void open() { open_ = 1; }
  void close() { open_ = 0; }

  // In this order: if the state changed since the last erase, fill erase_square() in the
  // background colour; then, in the foreground colour, the two pipe lines, the gate bar and the
  // body's circle outline (centre (cx, cy), radius size/2). Draws into the current window.
  void draw();
  // Appends to look what the next draw() paints depends on: equal looks paint equal pixels.
  void look(std::string& look) const;

  // Geometry of the current state.
  int needs_erase() const { return drawn_state_ != open_ ? 1 : 0; }
  pixel_box erase_square() const;
  std::array<pixel_segment, 2> pipe_lines() const;
  pixel_box gate_bar() const;  // along the pipe when open, across it when closed
  int body_radius() const { return size_ / 2; }

  // Read-only state.
  int is_open() const { return open_; }
  int drawn_state() const { return drawn_state_; }
  int horizontal() const { return horizontal_; }
  int cx() const { return cx_; }
  int cy() const { return cy_; }
  unsigned background() const { return background_; }
  unsigned foreground() const { return foreground_; }
  Fl_Window* window() const { return window_; }

 private:
  Fl_Window* window_;
  unsigned background_ = 0;
  unsigned foreground_ = 0;
  int cx_;
  int cy_;
  int length_;
  int gap_;
  int size_;
  int open_;
  int drawn_state_;
  int horizontal_;
};

#endif
