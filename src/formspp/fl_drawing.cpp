#include "formspp/fl_drawing.h"

#include <memory>

#include <FL/Enumerations.H>

#include "Stringpp/Stringpp.h"

namespace {

void rect_bound(int x, int y, int w, int h, Fl_Color colour) {
  fl_color(colour);
  fl_rectf(x, y, w, h);
  fl_color(FL_BLACK);
  fl_rect(x, y, w, h);
}

void filled_pie(int x, int y, int w, int h, Fl_Color colour) {
  fl_color(colour);
  fl_pie(x, y, w, h, 0.0, 360.0);
}

}  // namespace

void fl_rectbound(int x, int y, int w, int h, int colour) {
  rect_bound(x, y, w, h, static_cast<Fl_Color>(colour));
}

void fl_rectbound(int& x, int& y, int& w, int& h, unsigned& colour) {
  rect_bound(x, y, w, h, colour);
}

namespace formspp_detail {
void line_in_colour(int x, int y, int x1, int y1, unsigned colour) {
  fl_color(colour);
  fl_line(x, y, x1, y1);
}
}  // namespace formspp_detail

void fl_line(int x, int y, int x1, int y1, unsigned& colour) {
  formspp_detail::line_in_colour(x, y, x1, y1, colour);
}

void fl_ovalf(int x, int y, int w, int h, unsigned colour) {
  filled_pie(x, y, w, h, colour);
}

void fl_ovalf(int x, int y, int w, int h, int colour) {
  filled_pie(x, y, w, h, static_cast<Fl_Color>(colour));
}

void fl_circf(int x, int y, int d, unsigned colour) {
  filled_pie(x, y, d, d, colour);
}

void fl_circf(int x, int y, int d, int colour) {
  filled_pie(x, y, d, d, static_cast<Fl_Color>(colour));
}

void fl_drw_String(unsigned align, int x, int y, int w, int h, unsigned colour, int size, int face,
                   const std::string& text) {
  std::unique_ptr<char[]> copy(Stoa(text));
  fl_font(face, size);
  fl_color(colour);
  fl_draw(copy.get(), x, y, w, h, static_cast<Fl_Align>(align), static_cast<Fl_Image*>(nullptr), 1);
}
