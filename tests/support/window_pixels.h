// A shown window's pixels as the X server holds them, for tests that compare two paintings, and
// an exposure of the window as when a window lying over it goes away.
#ifndef TESTS_SUPPORT_WINDOW_PIXELS_H
#define TESTS_SUPPORT_WINDOW_PIXELS_H

#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xutil.h>

#include "objgraphiques/plant_window.h"

namespace testsupport {

// The pixels of a window or an offscreen image, bytes as the server gives them (a round trip: every drawing sent before
// is done); "" when the window cannot be read.
inline std::string drawable_pixels(Drawable d, int w, int h) {
  XImage* image = XGetImage(fl_display, d, 0, 0, w, h, AllPlanes, ZPixmap);
  if (image == nullptr) return "";
  std::string bytes(image->data, static_cast<size_t>(image->bytes_per_line) * image->height);
  XDestroyImage(image);
  return bytes;
}
inline std::string window_pixels(Fl_Window* w) {
  return drawable_pixels(fl_xid(w), w->w(), w->h());
}

// Paints green over the window's middle, as a window lying there would leave it, asks the
// server to expose that area, and waits until the toolkit has repainted the window.
inline void uncover(plant_window* w) {
  const Window xid = fl_xid(w);
  // A GC of its own: the toolkit's remembers the colour it last set.
  GC gc = XCreateGC(fl_display, xid, 0, nullptr);
  XSetForeground(fl_display, gc, 0x00ff00);
  XFillRectangle(fl_display, xid, gc, 0, 40, w->w(), w->h() / 2);
  XFreeGC(fl_display, gc);
  XClearArea(fl_display, xid, 0, 40, w->w(), w->h() / 2, True);
  XSync(fl_display, False);
  const long repaints = w->repaints();
  for (int i = 0; i < 1000 && w->repaints() == repaints; ++i) Fl::wait(0.01);
}

}  // namespace testsupport

#endif
