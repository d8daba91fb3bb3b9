#include "objgraphiques/cuve.h"

#include <cmath>

#include <FL/Enumerations.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "objgraphiques/plant_drawing.h"

#include "formspp/fl_drawing.h"

cuve::cuve(Fl_Window* window, int x, int y, int width, int height, int empty_threshold,
           int full_threshold, int initial_level, double section, int lidded)
    : window_(window),
      x_(x),
      y_(y),
      width_(width),
      height_(height),
      empty_threshold_(empty_threshold),
      full_threshold_(full_threshold),
      level_(initial_level),
      section_(section),
      outflow_(0.0),
      inflow_(0.0),
      lidded_(lidded) {}

int cuve::react() {
  const double next = level_ + (inflow_ - outflow_) / section_;
  // 0/0 (a zero section with equal flows) or a flow that is not a number would leave the
  // level undefined for good; keep the last one instead.
  if (!std::isnan(next)) level_ = next;
  if (level_ >= height_) level_ = height_ - 1;
  if (level_ < 0) level_ = 0;
  return std::fabs(outflow_ - inflow_) > 0.001 ? 1 : 0;
}

long long cuve::overfull_threshold() const {
  // Integer arithmetic truncating toward zero, wide enough that no threshold overflows it.
  return 12LL * full_threshold_ / 10;
}

void cuve::draw() {
  if (window_ && window_->shown()) window_->make_current();
  const int l = drawn_level();
  fl_rectf(x_, y_ - height_, width_, height_ - l, background_);
  fl_rectf(x_, y_ - l, width_, l, foreground_);
  if (lidded_) {
    fl_rect(x_, y_ - height_, width_, height_, FL_BLACK);
  } else {
    fl_line(x_, y_ - height_, x_, y_, FL_BLACK);
    fl_line(x_, y_, x_ + width_, y_, FL_BLACK);
    fl_line(x_ + width_, y_ - height_, x_ + width_, y_, FL_BLACK);
  }
}

void cuve::look(std::string& look) const {
  append_look(look, drawn_level());
  append_look(look, background_);
  append_look(look, foreground_);
}
