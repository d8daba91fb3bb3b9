#include "objgraphiques/vanne.h"

#include <FL/fl_draw.H>

#include "objgraphiques/plant_drawing.h"

vanne::vanne(Fl_Window* window, int cx, int cy, int length, int gap, int size, int open,
             int horizontal)
    : window_(window),
      cx_(cx),
      cy_(cy),
      length_(length),
      gap_(gap),
      size_(size),
      open_(open),
      drawn_state_(open == 0 ? 1 : 0),
      horizontal_(horizontal) {}

pixel_box vanne::erase_square() const {
  return {cx_ - size_ / 2, cy_ - size_ / 2, size_, size_};
}

std::array<pixel_segment, 2> vanne::pipe_lines() const {
  const int l = length_ / 2;
  const int g = gap_ / 2;
  if (horizontal_) {
    return {{{cx_ - l, cy_ - g, cx_ + l, cy_ - g}, {cx_ - l, cy_ + g, cx_ + l, cy_ + g}}};
  }
  return {{{cx_ - g, cy_ - l, cx_ - g, cy_ + l}, {cx_ + g, cy_ - l, cx_ + g, cy_ + l}}};
}

pixel_box vanne::gate_bar() const {
  const bool lying = (horizontal_ && open_) || (!horizontal_ && !open_);
  if (lying) return {cx_ - size_ / 2, cy_ - gap_ / 2, size_, gap_};
  return {cx_ - gap_ / 2, cy_ - size_ / 2, gap_, size_};
}

void vanne::draw() {
  if (needs_erase()) {
    drawn_state_ = open_;
    const pixel_box e = erase_square();
    fl_color(background_);
    fl_rectf(e.x, e.y, e.w, e.h);
  }
  fl_color(foreground_);
  for (const pixel_segment& s : pipe_lines()) fl_line(s.x0, s.y0, s.x1, s.y1);
  const pixel_box b = gate_bar();
  fl_rectf(b.x, b.y, b.w, b.h);
  fl_circle(cx_, cy_, body_radius());
}

void vanne::look(std::string& look) const {
  append_look(look, open_);
  append_look(look, needs_erase());
  append_look(look, background_);
  append_look(look, foreground_);
}
