#include "plcview/chart_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <string>

namespace sfc {

namespace {

constexpr Fl_Color active_fill = FL_GREEN;
constexpr int margin = 10;
constexpr int io_row = 18;

}  // namespace

view_geometry geometry_for(const chart_layout& l, const std::vector<bool>& active) {
  view_geometry g;
  const double room_w = view_chart_width - 2 * margin;
  g.scale = l.width > room_w ? room_w / l.width : 1.0;
  g.x0 = margin + std::max(0.0, (room_w - l.width * g.scale) / 2);
  // The first active step (in the order of the text) in the middle, within
  // the chart's bounds.
  double focus = 0;
  for (size_t s = 0; s < active.size() && s < l.steps.size(); ++s) {
    if (active[s]) {
      focus = l.steps[s].cy() * g.scale;
      break;
    }
  }
  const double full = l.height * g.scale + 2 * margin;
  double offset = focus - view_height / 2.0;
  offset = std::min(offset, full - view_height);
  offset = std::max(offset, 0.0);
  g.y0 = margin - std::floor(offset);
  return g;
}

class chart_window::impl : public Fl_Widget {
 public:
  impl(const chart& c, const plant_names& names, const chart_layout& l)
      : Fl_Widget(0, 0, view_width, view_height),
        c_(c),
        names_(names),
        l_(l),
        active_(c.steps.size(), false),
        inputs_(names.inputs.size(), 0),
        outputs_(names.outputs.size(), 0) {}

  size_t steps() const { return c_.steps.size(); }

  void draw() override {
    const view_geometry g = geometry_for(l_, active_);
    fl_push_clip(0, 0, view_chart_width, view_height);
    fl_rectf(0, 0, view_chart_width, view_height, FL_WHITE);
    auto X = [&](double x) { return static_cast<int>(std::lround(g.x0 + x * g.scale)); };
    auto Y = [&](double y) { return static_cast<int>(std::lround(g.y0 + y * g.scale)); };
    auto S = [&](double v) { return std::max(1, static_cast<int>(std::lround(v * g.scale))); };
    const int font = std::max(8, static_cast<int>(std::lround(12 * g.scale)));
    fl_color(FL_BLACK);
    fl_line_style(FL_SOLID, 1);
    for (const auto& line : l_.links)
      for (size_t k = 1; k < line.size(); ++k)
        fl_line(X(line[k - 1].first), Y(line[k - 1].second), X(line[k].first), Y(line[k].second));
    fl_font(FL_HELVETICA, font);
    for (size_t s = 0; s < l_.steps.size(); ++s) {
      const layout_box& b = l_.steps[s];
      const int x = X(b.x), y = Y(b.y), w = S(b.w), h = S(b.h);
      fl_rectf(x, y, w, h, active_[s] ? active_fill : FL_WHITE);
      fl_color(FL_BLACK);
      fl_rect(x, y, w, h);
      if (c_.steps[s].initial) fl_rect(x + 3, y + 3, w - 6, h - 6);
      fl_draw(c_.steps[s].name.c_str(), x, y, w, h, FL_ALIGN_CENTER);
      const layout_box& a = l_.actions[s];
      if (a.w > 0) {
        fl_rectf(X(a.x), Y(a.y), S(a.w), S(a.h), FL_WHITE);
        fl_color(FL_BLACK);
        fl_rect(X(a.x), Y(a.y), S(a.w), S(a.h));
        fl_font(FL_HELVETICA, std::max(8, font - 1));
        fl_draw(l_.action_text[s].c_str(), X(a.x) + 4, Y(a.y), S(a.w) - 4, S(a.h),
                FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        fl_font(FL_HELVETICA, font);
      }
    }
    for (size_t t = 0; t < l_.bars.size(); ++t) {
      const layout_box& b = l_.bars[t];
      fl_rectf(X(b.x), Y(b.cy()) - 1, S(b.w), 3, FL_BLACK);
      fl_color(FL_BLACK);
      fl_font(FL_HELVETICA, std::max(8, font - 1));
      fl_draw(l_.conditions[t].c_str(), X(b.x + b.w) + 6, Y(b.cy()) + font / 3);
      fl_font(FL_HELVETICA, font);
      for (const layout_box* d : {&l_.joins[t], &l_.splits[t]}) {
        if (d->w <= 0) continue;
        fl_line(X(d->x), Y(d->cy()) - 2, X(d->x + d->w), Y(d->cy()) - 2);
        fl_line(X(d->x), Y(d->cy()) + 1, X(d->x + d->w), Y(d->cy()) + 1);
      }
    }
    fl_pop_clip();
    draw_signals();
  }

  void draw_signals() {
    const int x = view_chart_width;
    fl_rectf(x, 0, view_width - x, view_height, FL_LIGHT2);
    fl_color(FL_BLACK);
    fl_line(x, 0, x, view_height);
    int y = margin;
    auto column = [&](const char* title, const std::vector<std::string>& names,
                      const std::vector<int>& values) {
      fl_font(FL_HELVETICA_BOLD, 13);
      fl_color(FL_BLACK);
      fl_draw(title, x + margin, y + 13);
      y += io_row + 4;
      fl_font(FL_HELVETICA, 12);
      for (size_t i = 0; i < names.size() && y + io_row < view_height; ++i) {
        const bool on = values[i] != 0;
        fl_rectf(x + margin, y + 3, 12, 12, on ? active_fill : FL_WHITE);
        fl_color(FL_BLACK);
        fl_rect(x + margin, y + 3, 12, 12);
        fl_draw((names[i] + "  " + std::to_string(values[i])).c_str(), x + margin + 20, y + 13);
        y += io_row;
      }
      y += io_row / 2;
    };
    column("Entrees", names_.inputs, inputs_);
    column("Sorties", names_.outputs, outputs_);
  }

  void update(const std::vector<bool>& active, const std::vector<int>& inputs,
              const std::vector<int>& outputs) {
    if (active == active_ && inputs == inputs_ && outputs == outputs_) return;
    active_ = active;
    inputs_ = inputs;
    outputs_ = outputs;
    redraw();
  }

  const chart& c_;
  const plant_names& names_;
  const chart_layout& l_;
  std::vector<bool> active_;
  std::vector<int> inputs_, outputs_;
  Fl_Double_Window* window_ = nullptr;
  std::string title_;
};

chart_window::chart_window(const chart& c, const plant_names& names, const chart_layout& l,
                           const std::string& program) {
  auto* w = new Fl_Double_Window(view_width, view_height);
  impl_.reset(new impl(c, names, l));
  w->end();
  w->add(impl_.get());
  impl_->title_ = program + ": " + c.name;
  w->label(impl_->title_.c_str());
  impl_->window_ = w;
}

chart_window::~chart_window() {
  if (impl_->window_ != nullptr) {
    impl_->window_->hide();
    impl_->window_->remove(impl_.get());
    delete impl_->window_;
  }
}

void chart_window::show() {
  impl_->window_->show();
  Fl::check();
}

bool chart_window::shown() const {
  return impl_->window_->shown();
}

void chart_window::update(const std::vector<bool>& active, const std::vector<int>& inputs,
                          const std::vector<int>& outputs) {
  impl_->update(active, inputs, outputs);
}

void chart_window::update(const plc::runtime& rt, const plc::binding& b) {
  if (!shown()) return;
  std::vector<bool> active(impl_->steps());
  for (size_t s = 0; s < active.size(); ++s) active[s] = rt.step_active(static_cast<int>(s));
  std::vector<int> inputs(b.inputs.size()), outputs(b.outputs.size());
  for (size_t i = 0; i < inputs.size(); ++i)
    inputs[i] = static_cast<int>(rt.get(b.inputs[i].var).i);
  for (size_t i = 0; i < outputs.size(); ++i) outputs[i] = rt.get(b.outputs[i].var).truth() ? 1 : 0;
  update(active, inputs, outputs);
}

}  // namespace sfc
