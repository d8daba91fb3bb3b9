// The program's window (--view): the body as body_paint draws it, in a
// scrolling area on the left, and the plant's inputs and outputs in a
// column on the right. Only a change is redrawn: the body when refresh()
// found one, the column when a signal changed. Keys: + and - zoom, 0 back
// to the first zoom; the scroll bars move over a large program.
#ifndef PLCVIEW_BODY_WINDOW_H
#define PLCVIEW_BODY_WINDOW_H

#include <memory>

#include "plcview/body_paint.h"

namespace plcview {

constexpr int window_width = 820, window_height = 640;
constexpr int body_area_width = window_width - static_cast<int>(signals_width);

// The first zoom: the whole width of the body in its area, between 0.5
// and 1. A point (x, y) of the body is drawn at window pixel
// (x * zoom, y * zoom) before any scrolling.
double first_zoom(const body_model& m);

class body_window {
 public:
  // m and s must outlive the window; they are read at each redraw.
  body_window(const body_model& m, const signals& s, const std::string& title);
  ~body_window();
  body_window(const body_window&) = delete;
  body_window& operator=(const body_window&) = delete;

  void show();
  // False once the user has closed the window (the program goes on running).
  bool shown() const;
  // After a scan: body_changed as refresh() said; the signals are compared.
  void update(bool body_changed);

 private:
  class impl;
  std::unique_ptr<impl> impl_;
};

}  // namespace plcview

#endif
