// The window a plant is painted into. The toolkit paints the widgets into a back buffer and
// copies it to the screen whenever the window is exposed (uncovered, mapped, a dialog closed
// over it) or a widget is redrawn; the plant, painted straight onto the screen, is lost in
// what that copy covers. The window calls its repaint hook right after each copy, from inside
// the toolkit's event handling, so the plant is back at once, also while a modal dialog runs.
#ifndef OBJGRAPHIQUES_PLANT_WINDOW_H
#define OBJGRAPHIQUES_PLANT_WINDOW_H

#include <functional>

#include <FL/Fl_Double_Window.H>

class plant_window : public Fl_Double_Window {
 public:
  plant_window(int w, int h, const char* title = nullptr) : Fl_Double_Window(w, h, title) {}

  // Called with the window current after the toolkit has repainted it.
  void on_repaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }
  // How many times the toolkit has repainted the window.
  long repaints() const { return repaints_; }

  void flush() override;

 private:
  std::function<void()> repaint_;
  long repaints_ = 0;
};

#endif
