// A toolkit graphics driver that records the drawing calls instead of drawing them, installed as
// the current drawing surface for the life of a recording_surface. Needs no display.
//
// Each call is recorded as one line of text, e.g. "color 216", "rectf 20 100 300 350",
// "line 1 2 3 4", "circle 260 75 15", "arc 1 2 3 4 -90 90", "pie 1 2 3 4 0 360",
// "line_style 0 5", "font 8 16", "text 10.0 deg", together with the window that was current.
#ifndef TESTS_FORMSPP_RECORDING_DRIVER_H
#define TESTS_FORMSPP_RECORDING_DRIVER_H

#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl_Device.H>
#include <FL/Fl_Window.H>

class recording_driver : public Fl_Graphics_Driver {
 public:
  std::vector<std::string> calls;
  std::vector<Fl_Window*> current;  // Fl_Window::current() at each call

  void color(Fl_Color c) override {
    Fl_Graphics_Driver::color(c);
    add("color", {static_cast<double>(c)});
  }
  void color(uchar r, uchar g, uchar b) override { add("color_rgb", {1.0 * r, 1.0 * g, 1.0 * b}); }
  void rect(int x, int y, int w, int h) override {
    add("rect", {1.0 * x, 1.0 * y, 1.0 * w, 1.0 * h});
  }
  void rectf(int x, int y, int w, int h) override {
    add("rectf", {1.0 * x, 1.0 * y, 1.0 * w, 1.0 * h});
  }
  void line(int x, int y, int x1, int y1) override {
    add("line", {1.0 * x, 1.0 * y, 1.0 * x1, 1.0 * y1});
  }
  void line(int x, int y, int x1, int y1, int x2, int y2) override {
    add("line", {1.0 * x, 1.0 * y, 1.0 * x1, 1.0 * y1, 1.0 * x2, 1.0 * y2});
  }
  void xyline(int x, int y, int x1) override { add("xyline", {1.0 * x, 1.0 * y, 1.0 * x1}); }
  void yxline(int x, int y, int y1) override { add("yxline", {1.0 * x, 1.0 * y, 1.0 * y1}); }
  void circle(double x, double y, double r) override { add("circle", {x, y, r}); }
  void arc(int x, int y, int w, int h, double a1, double a2) override {
    add("arc", {1.0 * x, 1.0 * y, 1.0 * w, 1.0 * h, a1, a2});
  }
  void arc(double x, double y, double r, double a1, double a2) override {
    add("arc_d", {x, y, r, a1, a2});
  }
  void pie(int x, int y, int w, int h, double a1, double a2) override {
    add("pie", {1.0 * x, 1.0 * y, 1.0 * w, 1.0 * h, a1, a2});
  }
  void line_style(int style, int width, char*) override {
    add("line_style", {1.0 * style, 1.0 * width});
  }
  void font(Fl_Font face, Fl_Fontsize size) override {
    Fl_Graphics_Driver::font(face, size);
    add("font", {1.0 * face, 1.0 * size});
  }
  void draw(const char* str, int n, int, int) override {
    calls.push_back("text " + std::string(str, static_cast<size_t>(n)));
    current.push_back(Fl_Window::current());
  }
  // Clips are recorded ("push_clip 1 2 3 4", "pop_clip") only when asked for.
  bool record_clips = false;
  void push_clip(int x, int y, int w, int h) override {
    if (record_clips) add("push_clip", {1.0 * x, 1.0 * y, 1.0 * w, 1.0 * h});
  }
  void pop_clip() override {
    if (record_clips) add("pop_clip", {});
  }
  double width(const char*, int n) override { return 8.0 * n; }
  int height() override { return size(); }
  int descent() override { return 0; }

 private:
  void add(const char* kind, std::vector<double> args) {
    std::ostringstream s;
    s << kind;
    for (double a : args) s << ' ' << a;
    calls.push_back(s.str());
    current.push_back(Fl_Window::current());
  }
};

// Makes a recording_driver the current drawing surface until destroyed, then puts back the
// surface that was current before.
class recording_surface : public Fl_Surface_Device {
 public:
  recording_surface() : Fl_Surface_Device(nullptr), previous_(Fl_Surface_Device::surface()) {
    driver(&recorder);
    set_current();
  }
  ~recording_surface() override { previous_->set_current(); }
  recording_surface(const recording_surface&) = delete;
  recording_surface& operator=(const recording_surface&) = delete;

  recording_driver recorder;

 private:
  Fl_Surface_Device* previous_;
};

#endif
