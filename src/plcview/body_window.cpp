#include "plcview/body_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace plcview {

namespace {

void draw_marks(const std::vector<mark>& marks, double x0, double y0, double zoom) {
  auto X = [&](double x) { return static_cast<int>(std::lround(x0 + x * zoom)); };
  auto Y = [&](double y) { return static_cast<int>(std::lround(y0 + y * zoom)); };
  for (const mark& k : marks) {
    fl_color(fl_rgb_color(k.colour.r, k.colour.g, k.colour.b));
    switch (k.k) {
      case mark::kind::line:
        fl_line_style(FL_SOLID, std::max(1, static_cast<int>(std::lround(k.width * zoom))));
        fl_line(X(k.x1), Y(k.y1), X(k.x2), Y(k.y2));
        break;
      case mark::kind::rect:
        fl_line_style(FL_SOLID, 1);
        fl_rect(X(k.x1), Y(k.y1), X(k.x1 + k.x2) - X(k.x1) + 1, Y(k.y1 + k.y2) - Y(k.y1) + 1);
        break;
      case mark::kind::fill:
        fl_rectf(X(k.x1), Y(k.y1), X(k.x1 + k.x2) - X(k.x1), Y(k.y1 + k.y2) - Y(k.y1));
        break;
      case mark::kind::text: {
        const Fl_Font f = k.fixed ? FL_COURIER : k.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
        fl_font(f, std::max(6, static_cast<int>(std::lround(k.size * zoom))));
        const int w = static_cast<int>(fl_width(k.text.c_str()));
        const int x = k.align < 0 ? X(k.x1) : k.align == 0 ? X(k.x1) - w / 2 : X(k.x1) - w;
        fl_draw(k.text.c_str(), x, Y(k.y1));
        break;
      }
    }
  }
  fl_line_style(FL_SOLID, 1);
}

// The body, as large as it is drawn at the current zoom.
class canvas : public Fl_Widget {
 public:
  canvas(const body_model& m, double zoom) : Fl_Widget(0, 0, 1, 1), m_(m), zoom_(zoom) {
    resize_to_zoom();
  }
  void draw() override {
    fl_push_clip(x(), y(), w(), h());
    draw_marks(paint_body(m_), x(), y(), zoom_);
    fl_pop_clip();
  }
  void set_zoom(double z) {
    zoom_ = std::min(4.0, std::max(0.2, z));
    resize_to_zoom();
  }
  double zoom() const { return zoom_; }

 private:
  void resize_to_zoom() {
    size(std::max(1, static_cast<int>(std::ceil(m_.width * zoom_))),
         std::max(1, static_cast<int>(std::ceil(m_.height * zoom_))));
  }
  const body_model& m_;
  double zoom_;
};

class column : public Fl_Widget {
 public:
  explicit column(const signals& s)
      : Fl_Widget(body_area_width, 0, window_width - body_area_width, window_height), s_(s) {}
  void draw() override {
    draw_marks(paint_signals(s_, 0, h()), x(), y(), 1);
    shown_in_ = s_.inputs;
    shown_out_ = s_.outputs;
  }
  bool stale() const { return shown_in_ != s_.inputs || shown_out_ != s_.outputs; }

 private:
  const signals& s_;
  std::vector<int> shown_in_, shown_out_;
};

// Keys for the zoom, wherever the pointer is.
class frame : public Fl_Double_Window {
 public:
  frame() : Fl_Double_Window(window_width, window_height) {}
  std::function<bool(int)> on_key;
  int handle(int event) override {
    if (event == FL_KEYBOARD && on_key && on_key(Fl::event_key())) return 1;
    return Fl_Double_Window::handle(event);
  }
};

}  // namespace

double first_zoom(const body_model& m) {
  const double room = body_area_width - 20;
  if (m.width <= room) return 1;
  return std::max(0.5, room / m.width);
}

class body_window::impl {
 public:
  frame* window = nullptr;
  Fl_Scroll* scroll = nullptr;
  canvas* body = nullptr;
  column* side = nullptr;
  std::string title;
  double zoom0 = 1;
};

body_window::body_window(const body_model& m, const signals& s, const std::string& title)
    : impl_(new impl) {
  impl_->title = title;
  impl_->zoom0 = first_zoom(m);
  impl_->window = new frame;
  impl_->scroll = new Fl_Scroll(0, 0, body_area_width, window_height);
  impl_->scroll->box(FL_FLAT_BOX);
  impl_->scroll->color(FL_WHITE);
  impl_->body = new canvas(m, impl_->zoom0);
  impl_->scroll->end();
  impl_->side = new column(s);
  impl_->window->end();
  impl_->window->label(impl_->title.c_str());
  impl* i = impl_.get();
  impl_->window->on_key = [i](int key) {
    double z = i->body->zoom();
    if (key == '+' || key == '=' || key == FL_KP + '+')
      z *= 1.25;
    else if (key == '-' || key == FL_KP + '-')
      z /= 1.25;
    else if (key == '0')
      z = i->zoom0;
    else
      return false;
    i->body->set_zoom(z);
    i->scroll->scroll_to(0, 0);
    i->scroll->redraw();
    return true;
  };
}

body_window::~body_window() {
  impl_->window->hide();
  delete impl_->window;
}

void body_window::show() {
  impl_->window->show();
  Fl::check();
}

bool body_window::shown() const {
  return impl_->window->shown();
}

void body_window::update(bool body_changed) {
  if (body_changed) impl_->body->redraw();
  if (impl_->side->stale()) impl_->side->redraw();
}

}  // namespace plcview
