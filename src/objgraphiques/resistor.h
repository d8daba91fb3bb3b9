// Heater: a thick folded tube, four horizontal runs joined by three half-circle bends with both
// ends on the right, drawn red (88) while it heats and in the foreground colour otherwise.
//
// It has no thermal model and erases nothing: switched off, it is painted over in the foreground
// colour. With h6 = height/6, h3 = height/3, h2 = height/2 and w2 = width/2 (int divisions).
// Everything but draw() works without a window or a display.
#ifndef OBJGRAPHIQUES_RESISTOR_H
#define OBJGRAPHIQUES_RESISTOR_H

#include <string>

#include <array>

#include "objgraphiques/geometry.h"

class Fl_Window;

class resistor {
 public:
  // (cx, cy) is the centre, width and height the overall size. Not heating. The caller sets the
  // foreground colour before the first draw().
  resistor(Fl_Window* window, int cx, int cy, int width, int height);

  void change_background(unsigned colour) { background_ = colour; }  // kept, never drawn
  void change_foreground(unsigned colour) { foreground_ = colour; }  // when not heating

  // Neither draws; the colour follows at the next draw().
  void heat() { heating_ = 1; }
  void unheat() { heating_ = 0; }

  // In this order: line style solid, width 5; colour(); the inner bend, the two inner runs, the
  // two outer bends, the two outer runs; line style back to the toolkit default. Draws into the
  // current window.
  void draw();
  // Appends to look what the next draw() paints depends on: equal looks paint equal pixels.
  void look(std::string& look) const;

  // Geometry. Bends in drawing order: inner (right half of the h3 square at the centre), upper
  // outer and lower outer (left halves). Runs in drawing order: inner upper, inner lower, outer
  // upper and outer lower; the outer runs end at x = cx + w2, the two terminals.
  std::array<pixel_arc, 3> bends() const;
  std::array<pixel_segment, 4> runs() const;
  // The colour of the next draw(): 88 (red) while heating, else the foreground colour.
  unsigned colour() const;

  // Read-only state.
  int is_heating() const { return heating_; }
  int cx() const { return cx_; }
  int cy() const { return cy_; }
  int width() const { return width_; }
  int height() const { return height_; }
  unsigned background() const { return background_; }
  unsigned foreground() const { return foreground_; }
  Fl_Window* window() const { return window_; }

 private:
  Fl_Window* window_;
  unsigned background_ = 0;
  unsigned foreground_ = 0;
  int cx_;
  int cy_;
  int width_;
  int height_;
  int heating_;
};

#endif
