// A drawing sheet: a clip rectangle and drawing calls that keep their figures inside it.
//
// Each drawing call clips to the sheet (when the sheet is valid), sets its own colour, draws one
// figure and removes the clip again. The colour it set (or black, where noted) stays current. The
// sheet draws into whatever window is current and never makes a window current.
//
// The sheet is valid when right > left and bottom > top. An invalid sheet (the default one
// included) draws without clipping and touches no clip.
#ifndef FORMSPP_VISION_SHEET_H
#define FORMSPP_VISION_SHEET_H

#include <string>

class OFL_vision_sheet {
 public:
  // An invalid sheet: all edges 0, colour black (56).
  OFL_vision_sheet() = default;

  // The rectangle (x, y, w, h) and the sheet's colour (stored only: each call takes its own).
  void define(int x, int y, int w, int h, int colour);
  // The rectangle only; the colour stays.
  void resize(int x, int y, int w, int h);
  bool valid() const { return right > left && bottom > top; }

  void ofl_line(int x0, int y0, int x1, int y1, int colour);
  // Dashed, then the line style is solid again.
  void ofl_dash_line(int x0, int y0, int x1, int y1, int colour);
  // A zig-zag of three lines: through a point a quarter of the way along pushed sideways by half
  // the length, and one three quarters along pushed the other way.
  void ofl_break_line(int x0, int y0, int x1, int y1, int colour);
  // The line with an open head at (x1, y1): two strokes of length `head` at `half_angle` radians
  // on each side of the line. Equal ends give a head pointing upwards.
  void ofl_drw_arrow_line(int x0, int y0, int x1, int y1, int head, double half_angle, int colour);
  // A filled 40-degree wedge with its apex on (x1, y1), as long as the line from (x0, y0) and
  // opening back toward it, outlined in black. The colour is black afterwards.
  void ofl_arrowbound(int x0, int y0, int x1, int y1, unsigned colour);

  void ofl_rect(int x, int y, int w, int h, unsigned colour);
  void ofl_rectf(int x, int y, int w, int h, unsigned colour);
  // Filled, then outlined in black; black afterwards.
  void ofl_rectbound(int x, int y, int w, int h, unsigned colour);
  // Circles of diameter d inscribed in the square whose top-left corner is (x, y).
  void ofl_circ(int x, int y, int d, unsigned colour);
  void ofl_circf(int x, int y, int d, unsigned colour);
  // Filled, then outlined in black; black afterwards.
  void ofl_circbound(int x, int y, int d, unsigned colour);

  // Font (face, size), colour, then `text` in the box (x, y, w, h) with the toolkit's alignment
  // flags, symbols enabled. Note the order: size before face.
  void ofl_drw_text(unsigned align, int x, int y, int w, int h, unsigned colour, int size, int face,
                    const char* text);
  // The same with a string; note the order: face before size.
  void ofl_drw_String(unsigned align, int x, int y, int w, int h, unsigned colour, int face,
                      int size, const std::string& text);

  int left = 0;
  int top = 0;
  int right = 0;   // left + width
  int bottom = 0;  // top + height
  int colour = 56;
};

#endif
