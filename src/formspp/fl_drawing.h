// Drawing primitives: set the colour and make one toolkit drawing call.
//
// Every function draws into whatever the toolkit currently draws into. None makes a window
// current, and none saves or restores the colour, the font or the line style: the colour a call
// sets stays set for the calls that follow it. Coordinates are window pixels; colours are toolkit
// colour indices (an `int` colour is the same index). Sizes are handed to the toolkit unchanged,
// zero and negative ones included.
//
// The names overload the toolkit's own `fl_` calls, whose declarations come with this header.
#ifndef FORMSPP_FL_DRAWING_H
#define FORMSPP_FL_DRAWING_H

#include <string>

#include <FL/fl_draw.H>

// Fills the box (x, y, w, h) in `colour`, then outlines the same box in black (56).
// The current colour is black afterwards.
void fl_rectbound(int x, int y, int w, int h, int colour);
// Same as the form above; the arguments are only read.
void fl_rectbound(int& x, int& y, int& w, int& h, unsigned& colour);

// Sets `colour`, then draws the line from (x, y) to (x1, y1).
// A modifiable `unsigned` variable as colour selects this reference form; any other colour
// expression (a literal, a constant such as FL_BLACK, an `int`) selects the value form below.
// Both do the same; the reference form only reads the colour.
void fl_line(int x, int y, int x1, int y1, unsigned& colour);

namespace formspp_detail {
void line_in_colour(int x, int y, int x1, int y1, unsigned colour);
}

// Value form of the line above. It is a template only so that a call with an `unsigned`
// variable is not ambiguous between the two forms: the plain reference form wins that tie.
template <typename = void>
inline void fl_line(int x, int y, int x1, int y1, unsigned colour) {
  formspp_detail::line_in_colour(x, y, x1, y1, colour);
}

// Sets `colour`, then fills the ellipse inscribed in the box (x, y, w, h).
void fl_ovalf(int x, int y, int w, int h, unsigned colour);
void fl_ovalf(int x, int y, int w, int h, int colour);

// Sets `colour`, then fills the disc of diameter d inscribed in the d by d square whose top-left
// corner is (x, y): its centre is (x + d/2, y + d/2).
void fl_circf(int x, int y, int d, unsigned colour);
void fl_circf(int x, int y, int d, int colour);

// Sets the font (face, size) and the colour, then draws `text` in the box (x, y, w, h) with the
// toolkit's alignment flags `align`, symbols enabled. Note the order: size before face.
void fl_drw_String(unsigned align, int x, int y, int w, int h, unsigned colour, int size, int face,
                   const std::string& text);

#endif
