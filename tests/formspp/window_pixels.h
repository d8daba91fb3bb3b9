// A real window on the test's private X server, and its pixels read back after drawing straight
// into it. Nothing here calls the toolkit's event loop between a drawing and its reading, so no
// expose can repaint over what the test drew.
#ifndef TESTS_FORMSPP_WINDOW_PIXELS_H
#define TESTS_FORMSPP_WINDOW_PIXELS_H

#include <memory>
#include <ostream>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

struct rgb {
  int r, g, b;
  bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream& operator<<(std::ostream& os, const rgb& c) {
  return os << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}

inline rgb rgb_of(Fl_Color c) {
  unsigned char r, g, b;
  Fl::get_color(c, r, g, b);
  return {r, g, b};
}

// A plain (single-buffered) window filled with `colour`, shown and fully painted.
inline std::unique_ptr<Fl_Window> shown_window(int w, int h, Fl_Color colour) {
  std::unique_ptr<Fl_Window> win(new Fl_Window(10, 10, w, h, "pixels"));
  win->box(FL_FLAT_BOX);
  win->color(colour);
  win->end();
  win->show();
  for (int i = 0; i < 200 && (!win->visible() || win->damage()); ++i) Fl::wait(0.01);
  for (int i = 0; i < 10; ++i) Fl::check();
  XSync(fl_display, False);
  return win;
}

// Colour of one pixel of `win`, read from the X server. Leaves `win` current.
inline rgb pixel_at(Fl_Window* win, int x, int y) {
  win->make_current();
  XSync(fl_display, False);
  unsigned char p[3] = {0, 0, 0};
  fl_read_image(p, x, y, 1, 1);
  return {p[0], p[1], p[2]};
}

// All pixels of a box of `win`, read at once.
struct window_image {
  int x0, y0, w, h;
  std::unique_ptr<unsigned char[]> data;
  rgb at(int x, int y) const {
    const unsigned char* p = &data[3 * ((y - y0) * w + (x - x0))];
    return {p[0], p[1], p[2]};
  }
};

inline window_image read_box(Fl_Window* win, int x, int y, int w, int h) {
  win->make_current();
  XSync(fl_display, False);
  window_image img{x, y, w, h, std::unique_ptr<unsigned char[]>(new unsigned char[3 * w * h])};
  fl_read_image(img.data.get(), x, y, w, h);
  return img;
}

// Number of pixels of colour c in the box of side 2r+1 centred on (x, y).
inline int count_near(Fl_Window* win, int x, int y, int r, rgb c) {
  const window_image img = read_box(win, x - r, y - r, 2 * r + 1, 2 * r + 1);
  int n = 0;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx)
      if (img.at(x + dx, y + dy) == c) ++n;
  return n;
}

#endif
