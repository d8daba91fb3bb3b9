#include "formspp/vision_sheet.h"

#include <cmath>
#include <memory>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "Stringpp/Stringpp.h"

namespace {

// The sheet's clip for the life of one drawing call, only for a valid sheet.
class sheet_clip {
 public:
  explicit sheet_clip(const OFL_vision_sheet& s) : pushed_(s.valid()) {
    if (pushed_) fl_push_clip(s.left, s.top, s.right - s.left, s.bottom - s.top);
  }
  ~sheet_clip() {
    if (pushed_) fl_pop_clip();
  }
  sheet_clip(const sheet_clip&) = delete;
  sheet_clip& operator=(const sheet_clip&) = delete;

 private:
  bool pushed_;
};

int trunc_int(double v) {
  return static_cast<int>(v);
}

}  // namespace

void OFL_vision_sheet::define(int x, int y, int w, int h, int c) {
  resize(x, y, w, h);
  colour = c;
}

void OFL_vision_sheet::resize(int x, int y, int w, int h) {
  left = x;
  top = y;
  right = x + w;
  bottom = y + h;
}

void OFL_vision_sheet::ofl_line(int x0, int y0, int x1, int y1, int c) {
  sheet_clip clip(*this);
  fl_color(static_cast<Fl_Color>(c));
  fl_line(x0, y0, x1, y1);
}

void OFL_vision_sheet::ofl_dash_line(int x0, int y0, int x1, int y1, int c) {
  sheet_clip clip(*this);
  fl_color(static_cast<Fl_Color>(c));
  fl_line_style(FL_DASH, 0);
  fl_line(x0, y0, x1, y1);
  fl_line_style(FL_SOLID);
}

void OFL_vision_sheet::ofl_break_line(int x0, int y0, int x1, int y1, int c) {
  const int ax = (3 * x0 + x1 + 2 * (y0 - y1)) / 4, ay = (3 * y0 + y1 + 2 * (x1 - x0)) / 4;
  const int bx = (x0 + 3 * x1 + 2 * (y1 - y0)) / 4, by = (y0 + 3 * y1 + 2 * (x0 - x1)) / 4;
  sheet_clip clip(*this);
  fl_color(static_cast<Fl_Color>(c));
  fl_line(x0, y0, ax, ay);
  fl_line(ax, ay, bx, by);
  fl_line(bx, by, x1, y1);
}

void OFL_vision_sheet::ofl_drw_arrow_line(int x0, int y0, int x1, int y1, int head,
                                          double half_angle, int c) {
  const double L = head, t = half_angle;
  int t1x, t1y, t2x, t2y;
  if (x1 == x0) {
    const int k = trunc_int(L * std::sin(t)), m = trunc_int(L * std::cos(t));
    const int ty = y0 < y1 ? y1 - m : y1 + m;
    t1x = x1 - k;
    t2x = x1 + k;
    t1y = t2y = ty;
  } else if (y1 == y0) {
    // The head's back lies behind the tip, on the side the line comes from.
    const int back = trunc_int(L * std::cos(t)), side = trunc_int(L * std::sin(t));
    t1x = t2x = x1 > x0 ? x1 - back : x1 + back;
    t1y = y1 - side;
    t2y = y1 + side;
  } else {
    const double f = std::atan(static_cast<double>(y1 - y0) / (x1 - x0));
    const int sign = x1 > x0 ? -1 : 1;
    t1x = x1 + sign * trunc_int(L * std::cos(f - t));
    t1y = y1 + sign * trunc_int(L * std::sin(f - t));
    t2x = x1 + sign * trunc_int(L * std::cos(f + t));
    t2y = y1 + sign * trunc_int(L * std::sin(f + t));
  }
  sheet_clip clip(*this);
  fl_color(static_cast<Fl_Color>(c));
  fl_line(t1x, t1y, x1, y1);
  fl_line(t2x, t2y, x1, y1);
  fl_line(x0, y0, x1, y1);
}

void OFL_vision_sheet::ofl_arrowbound(int x0, int y0, int x1, int y1, unsigned c) {
  const long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
  const double n = std::sqrt(static_cast<double>(dx * dx + dy * dy));
  const float deg = static_cast<float>(
      std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / 3.141592653589793);
  const double a1 = 160.0f - deg, a2 = 200.0f - deg;
  // The pie's box is centred on the end point, so that the wedge's apex lies there.
  const int r = trunc_int(2 * n);
  const int bx = x1 - r / 2, by = y1 - r / 2;
  sheet_clip clip(*this);
  fl_color(c);
  fl_pie(bx, by, r, r, a1, a2);
  // Outlined in black like the other bound figures: the arc and the two radii.
  fl_color(FL_BLACK);
  fl_arc(bx, by, r, r, a1, a2);
  const double cx = bx + r / 2.0, cy = by + r / 2.0, radius = r / 2.0,
               rad = 3.141592653589793 / 180.0;
  fl_line(x1, y1, static_cast<int>(std::lround(cx + radius * std::cos(a1 * rad))),
          static_cast<int>(std::lround(cy - radius * std::sin(a1 * rad))));
  fl_line(x1, y1, static_cast<int>(std::lround(cx + radius * std::cos(a2 * rad))),
          static_cast<int>(std::lround(cy - radius * std::sin(a2 * rad))));
}

void OFL_vision_sheet::ofl_rect(int x, int y, int w, int h, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_rect(x, y, w, h);
}

void OFL_vision_sheet::ofl_rectf(int x, int y, int w, int h, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_rectf(x, y, w, h);
}

void OFL_vision_sheet::ofl_rectbound(int x, int y, int w, int h, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_rectf(x, y, w, h);
  fl_color(FL_BLACK);
  fl_rect(x, y, w, h);
}

void OFL_vision_sheet::ofl_circ(int x, int y, int d, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_arc(x, y, d, d, 0.0, 360.0);
}

void OFL_vision_sheet::ofl_circf(int x, int y, int d, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_pie(x, y, d, d, 0.0, 360.0);
}

void OFL_vision_sheet::ofl_circbound(int x, int y, int d, unsigned c) {
  sheet_clip clip(*this);
  fl_color(c);
  fl_pie(x, y, d, d, 0.0, 360.0);
  fl_color(FL_BLACK);
  fl_arc(x, y, d, d, 0.0, 360.0);
}

void OFL_vision_sheet::ofl_drw_text(unsigned align, int x, int y, int w, int h, unsigned c,
                                    int size, int face, const char* text) {
  sheet_clip clip(*this);
  fl_font(face, size);
  fl_color(c);
  fl_draw(text, x, y, w, h, static_cast<Fl_Align>(align), nullptr, 1);
}

void OFL_vision_sheet::ofl_drw_String(unsigned align, int x, int y, int w, int h, unsigned c,
                                      int face, int size, const std::string& text) {
  std::unique_ptr<char[]> copy(Stoa(text));
  ofl_drw_text(align, x, y, w, h, c, size, face, copy.get());
}
