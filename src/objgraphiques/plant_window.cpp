#include "objgraphiques/plant_window.h"

void plant_window::flush() {
  Fl_Double_Window::flush();
  ++repaints_;
  if (!repaint_ || !shown()) return;
  // Draws onto the screen, unclipped: the toolkit leaves the copied area as clip region.
  make_current();
  repaint_();
}
