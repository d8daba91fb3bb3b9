// Mixer drum: a circle with a cross of two perpendicular diameters that turns by `speed` radians
// every cycle while the speed is above 0.001 in absolute value.
//
// The angle is never reduced modulo a turn. Screen y grows downwards, so a positive speed turns
// the cross clockwise on the screen. Everything but the drawing works without a window or a
// display.
#ifndef OBJGRAPHIQUES_MELANGEUR_H
#define OBJGRAPHIQUES_MELANGEUR_H

#include <array>
#include <string>

#include "objgraphiques/geometry.h"

class Fl_Window;

class melangeur {
 public:
  // Angle 40.0 radians, previous angle 0.0, speed 0.0. The caller sets both colours before the
  // first draw().
  melangeur(Fl_Window* window, int cx, int cy, int diameter);

  void change_background(unsigned colour) { background_ = colour; }  // erases the old cross
  void change_foreground(unsigned colour) { foreground_ = colour; }  // cross and circle

  // Radians added to the angle per cycle. No other effect.
  void change_speed(double speed) { speed_ = speed; }

  // While turning: previous angle = angle, angle += speed. Otherwise nothing.
  void react();

  // Draws the cross at angle a in the current colour: the two segments of cross(a).
  void cr_draw(double a);

  // In this order: while turning, the cross at the previous angle in the background colour;
  // the cross at the angle in the foreground colour; the circle outline of radius diameter/2.
  // Draws into the current window.
  void draw();
  // Appends to look what the next draw() paints depends on: equal looks paint equal pixels.
  void look(std::string& look) const;

  // The two diameters at angle a. With p = cos(a) * diameter / 2.0 and q = sin(a) * diameter / 2.0,
  // both truncated toward zero: (cx + p, cy + q) to (cx - p, cy - q), then
  // (cx - q, cy + p) to (cx + q, cy - p).
  std::array<pixel_segment, 2> cross(double a) const;
  int turning() const;
  int radius() const { return diameter_ / 2; }

  // Read-only state.
  double angle() const { return angle_; }
  double previous_angle() const { return previous_angle_; }
  double speed() const { return speed_; }
  int cx() const { return cx_; }
  int cy() const { return cy_; }
  int diameter() const { return diameter_; }
  unsigned background() const { return background_; }
  unsigned foreground() const { return foreground_; }
  Fl_Window* window() const { return window_; }

 private:
  Fl_Window* window_;
  unsigned background_ = 0;
  unsigned foreground_ = 0;
  int cx_;
  int cy_;
  int diameter_;
  double angle_;
  double previous_angle_;
  double speed_;
};

#endif
