#include "objgraphiques/movepart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include "formspp/fl_drawing.h"
#include "lists/list_double.h"
#include "lists/list_int.h"
#include "objgraphiques/draw_target.h"

namespace {

// Offsets searches start from these bounds, so a piece whose offsets all lie beyond them (or that
// has none) gives the bound itself.
constexpr double low_search = 2000.0;
constexpr double high_search = -2000.0;

// Whether two boxes share a pixel (an empty box shares none).
bool boxes_meet(const pixel_box& a, const pixel_box& b) {
  return a.w > 0 && a.h > 0 && b.w > 0 && b.h > 0 && a.x < b.x + b.w && b.x < a.x + a.w &&
         a.y < b.y + b.h && b.y < a.y + a.h;
}

// One element as the collision and occupancy tests see it: truncated to pixels.
struct pixel_element {
  int x, y, x2, y2;
};

}  // namespace

// ---------------------------------------------------------------- manager

void movepart_manager::addpart(movepart* p) {
  if (count >= max_parts) {
    std::fputs("too many part !\n", stderr);
    std::exit(1);
  }
  parts[count++] = p;
}

void movepart_manager::suppart(movepart* p) {
  for (int i = 0; i < count; ++i) {
    if (parts[i] != p) continue;
    for (int j = i; j + 1 < count; ++j) parts[j] = parts[j + 1];
    --count;
    parts[count] = nullptr;
  }
}

int movepart_manager::collision(movepart* p) {
  int k = -1;
  for (int i = 0; i < count && k < 0; ++i)
    if (parts[i] == p) k = i;
  if (k < 0) {
    std::fprintf(stderr, "collision: erreur interne !\n%p\n", static_cast<void*>(p));
    std::exit(1);
  }
  // The moving piece's boxes once, then every other piece against them.
  constexpr int local = 16;
  pixel_element own_local[local];
  pixel_element* own = own_local;
  const int n = p->element_count();
  pixel_element* heap = nullptr;
  if (n > local) own = heap = new pixel_element[n];
  {
    const int X = trunc_px(p->x), Y = trunc_px(p->y);
    auto ex = p->xoffsets.begin();
    auto ey = p->yoffsets.begin();
    auto w = p->widths.begin();
    auto h = p->heights.begin();
    for (int e = 0; e < n; ++e, ++ex, ++ey, ++w, ++h) {
      own[e].x = trunc_px(*ex + X);
      own[e].y = trunc_px(*ey + Y);
      own[e].x2 = own[e].x + *w;
      own[e].y2 = own[e].y + *h;
    }
  }
  // The moving piece's pixel extent, for passing over pieces whose whole extent (widened by a
  // pixel for the truncation) cannot reach it.
  int left = 0, top = 0, right = 0, bottom = 0;
  for (int e = 0; e < n; ++e) {
    left = e == 0 ? own[e].x : std::min(left, own[e].x);
    top = e == 0 ? own[e].y : std::min(top, own[e].y);
    right = e == 0 ? own[e].x2 : std::max(right, own[e].x2);
    bottom = e == 0 ? own[e].y2 : std::max(bottom, own[e].y2);
  }
  int hit = 0;
  for (int j = 0; j < count && !hit && n > 0; ++j) {
    if (j == k) continue;
    movepart* q = parts[j];
    if (p->carries(q) || q->carries(p)) continue;
    const int X = trunc_px(q->x), Y = trunc_px(q->y);
    if (q->widths.empty() || std::floor(q->extent_left + X) - 1 >= right ||
        std::ceil(q->extent_right + X) + 1 <= left || std::floor(q->extent_top + Y) - 1 >= bottom ||
        std::ceil(q->extent_bottom + Y) + 1 <= top)
      continue;
    auto ex = q->xoffsets.begin();
    auto ey = q->yoffsets.begin();
    auto h = q->heights.begin();
    for (auto w = q->widths.begin(); w != q->widths.end() && !hit; ++w, ++ex, ++ey, ++h) {
      const int ax = trunc_px(*ex + X), ay = trunc_px(*ey + Y);
      const int ax2 = ax + *w, ay2 = ay + *h;
      for (int e = 0; e < n; ++e) {
        const pixel_element& b = own[e];
        if (b.y2 > ay && ay2 > b.y && b.x2 > ax && ax2 > b.x) {
          hit = 1;
          break;
        }
      }
    }
  }
  delete[] heap;
  return hit;
}

int movepart_manager::busy_position(int px, int py) {
  for (int j = 0; j < count; ++j) {
    movepart* q = parts[j];
    const int X = trunc_px(q->x), Y = trunc_px(q->y);
    auto ex = q->xoffsets.begin();
    auto ey = q->yoffsets.begin();
    auto h = q->heights.begin();
    for (auto w = q->widths.begin(); w != q->widths.end(); ++w, ++ex, ++ey, ++h) {
      const int left = trunc_px(*ex) + X, top = trunc_px(*ey) + Y;
      if (px >= left && px <= left + *w && py >= top && py <= top + *h) return 1;
    }
  }
  return 0;
}

int movepart_manager::busy_position_debug(int px, int py) {
  fl_line(px - 50, py, px + 50, py, FL_BLACK);
  fl_line(px, py - 50, px, py + 50, FL_BLACK);
  return busy_position(px, py);
}

void movepart_manager::draw() {
  for (int j = 0; j < count; ++j) parts[j]->draw();
}

void movepart_manager::parts_fall() {
  for (int j = 0; j < count; ++j)
    if (parts[j]->is_linked() == 0) parts[j]->fall();
}

// ---------------------------------------------------------------- movepart

movepart::movepart(movepart_manager& m, Fl_Window* w, unsigned bg)
    : window(w), background(bg), x(0.0), y(0.0), manager(&m), carried(nullptr), linked(0) {
  m.addpart(this);
}

movepart::movepart()
    : window(nullptr),
      background(FL_BACKGROUND_COLOR),
      x(0.0),
      y(0.0),
      manager(nullptr),
      carried(nullptr),
      linked(0) {}

movepart::movepart(const movepart& o)
    : window(o.window),
      background(o.background),
      x(o.x),
      y(o.y),
      manager(o.manager),
      xoffsets(o.xoffsets),
      yoffsets(o.yoffsets),
      widths(o.widths),
      heights(o.heights),
      colours(o.colours),
      carried(nullptr),
      linked(o.linked),
      extent_left(o.extent_left),
      extent_top(o.extent_top),
      extent_right(o.extent_right),
      extent_bottom(o.extent_bottom) {}

movepart& movepart::operator=(const movepart& o) {
  if (this == &o) return *this;
  window = o.window;
  background = o.background;
  x = o.x;
  y = o.y;
  manager = o.manager;
  xoffsets = o.xoffsets;
  yoffsets = o.yoffsets;
  widths = o.widths;
  heights = o.heights;
  colours = o.colours;
  linked = o.linked;
  extent_left = o.extent_left;
  extent_top = o.extent_top;
  extent_right = o.extent_right;
  extent_bottom = o.extent_bottom;
  return *this;
}

movepart::~movepart() {
  if (manager != nullptr) manager->suppart(this);
  if (window != nullptr) undraw();
  xoffsets.clear();
  yoffsets.clear();
  widths.clear();
  heights.clear();
  colours.clear();
  delete carried;
}

void movepart::define(movepart_manager& m, Fl_Window* w, unsigned bg) {
  window = w;
  background = bg;
  x = 0.0;
  y = 0.0;
  manager = &m;
  m.addpart(this);
}

void movepart::add(double dx, double dy, int w, int h, unsigned colour) {
  xoffsets.push_back(dx);
  yoffsets.push_back(dy);
  widths.push_back(w);
  heights.push_back(h);
  colours.push_back(static_cast<int>(colour));
  extent_left = std::min(extent_left, dx);
  extent_top = std::min(extent_top, dy);
  extent_right = std::max(extent_right, dx + w);
  extent_bottom = std::max(extent_bottom, dy + h);
}

void movepart::link(movepart* other) {
  carried = other;
  if (other != nullptr) other->linked = 1;
}

void movepart::unlink() {
  if (carried != nullptr) carried->linked = 0;
  carried = nullptr;
}

void movepart::fill_elements(bool own_colour, bool truncate) {
  auto ex = xoffsets.begin();
  auto ey = yoffsets.begin();
  auto w = widths.begin();
  auto h = heights.begin();
  for (auto k = colours.begin(); k != colours.end(); ++k, ++ex, ++ey, ++w, ++h) {
    const int px = truncate ? trunc_px(*ex + x) : round_px(x + *ex);
    const int py = truncate ? trunc_px(*ey + y) : round_px(y + *ey);
    fl_rectf(px, py, *w, *h, own_colour ? static_cast<Fl_Color>(*k) : background);
  }
}

void movepart::draw() {
  if (draw_into(window)) fill_elements(true, false);
  if (carried != nullptr) carried->draw();
}

void movepart::undraw() {
  if (draw_into(window)) fill_elements(false, false);
  if (carried != nullptr) carried->undraw();
}

int movepart::moveredraw(double dx, double dy) {
  return move_and_paint(dx, dy, true);
}

int movepart::strips(double ex, double ey, int w, int h, double x0, double y0, double dx, double dy,
                     pixel_box out[2]) const {
  int n = 0;
  if (x > x0) {
    out[n++] = {round_px(ex + x0) - 1, round_px(ey + y0), round_px(dx) + 1, h};
  } else if (x < x0) {
    out[n++] = {round_px(x + ex + w), round_px(ey + y), 1 - round_px(dx), h};
  }
  if (y > y0) {
    out[n++] = {round_px(ex + x0), round_px(ey + y0), w, round_px(dy) + 1};
  } else if (y < y0) {
    out[n++] = {round_px(ex + x), round_px(y + ey + h), w, trunc_px(-dy)};
  }
  return n;
}

bool movepart::elements_meet(const pixel_box& b) const {
  auto ex = xoffsets.begin();
  auto ey = yoffsets.begin();
  auto h = heights.begin();
  for (auto w = widths.begin(); w != widths.end(); ++w, ++ex, ++ey, ++h)
    if (boxes_meet(b, {round_px(x + *ex), round_px(y + *ey), *w, *h})) return true;
  return false;
}

bool movepart::chain_meets(const pixel_box& b) const {
  int depth = 0;
  for (const movepart* p = this; p != nullptr && depth <= movepart_manager::max_parts;
       p = p->carried, ++depth)
    if (p->elements_meet(b)) return true;
  return false;
}

bool movepart::carries(const movepart* other) const {
  int depth = 0;
  for (const movepart* p = carried; p != nullptr && depth <= movepart_manager::max_parts;
       p = p->carried, ++depth)
    if (p == other) return true;
  return false;
}

movepart* movepart::carrier() const {
  if (manager == nullptr || linked == 0) return nullptr;
  for (int j = 0; j < manager->part_count(); ++j)
    if (manager->part(j)->carried == this) return manager->part(j);
  return nullptr;
}

void movepart::paint_chain() {
  int depth = 0;
  for (movepart* p = this; p != nullptr && depth <= movepart_manager::max_parts;
       p = p->carried, ++depth)
    p->fill_elements(true, false);
}

int movepart::move_and_paint(double dx, double dy, bool alone) {
  if (carried != nullptr) {
    const int r = carried->move_and_paint(dx, dy, false);
    if (r != 0) return r;
  }
  const double x0 = x, y0 = y;
  x += dx;
  y += dy;
  int result = 0;
  if (manager != nullptr && manager->collision(this) == 1) {
    result = 1;
    x = x0;
    y = y0;
    if (carried != nullptr) carried->move_and_paint(-dx, -dy, false);
  }
  if ((x == x0 && y == y0) || !draw_into(window)) return result;
  // Each element: the strips it uncovers in the background, then the element at its new place.
  pixel_box s[2];
  auto ex = xoffsets.begin();
  auto ey = yoffsets.begin();
  auto w = widths.begin();
  auto h = heights.begin();
  for (auto k = colours.begin(); k != colours.end(); ++k, ++ex, ++ey, ++w, ++h) {
    const Fl_Color own = static_cast<Fl_Color>(*k);
    const int px = round_px(x + *ex), py = round_px(y + *ey);
    const int n = strips(*ex, *ey, *w, *h, x0, y0, dx, dy, s);
    for (int i = 0; i < n; ++i) {
      fl_rectf(s[i].x, s[i].y, s[i].w, s[i].h, background);
      fl_rectf(px, py, *w, *h, own);
    }
  }
  // An element's strips may cut into elements painted before it (an element inside another, or
  // touching it on the side it moves away from): those elements, and every one after them, are
  // painted again, so that the piece ends as a whole painting leaves it.
  int first = element_count();
  {
    int e = 0;
    auto ex1 = xoffsets.begin();
    auto ey1 = yoffsets.begin();
    auto h1 = heights.begin();
    for (auto w1 = widths.begin(); w1 != widths.end() && e < first; ++w1, ++ex1, ++ey1, ++h1, ++e) {
      const pixel_box place{round_px(x + *ex1), round_px(y + *ey1), *w1, *h1};
      auto ex2 = std::next(ex1);
      auto ey2 = std::next(ey1);
      auto h2 = std::next(h1);
      for (auto w2 = std::next(w1); w2 != widths.end() && e < first; ++w2, ++ex2, ++ey2, ++h2) {
        const int n = strips(*ex2, *ey2, *w2, *h2, x0, y0, dx, dy, s);
        for (int i = 0; i < n; ++i)
          if (boxes_meet(place, s[i])) first = e;
      }
    }
  }
  if (first < element_count()) {
    int e = 0;
    ex = xoffsets.begin();
    ey = yoffsets.begin();
    w = widths.begin();
    h = heights.begin();
    for (auto k = colours.begin(); k != colours.end(); ++k, ++ex, ++ey, ++w, ++h, ++e)
      if (e >= first)
        fl_rectf(round_px(x + *ex), round_px(y + *ey), *w, *h, static_cast<Fl_Color>(*k));
  }
  // The carried piece moved first: what this piece erased or painted over it, it paints again.
  if (carried != nullptr) {
    bool covered = false;
    ex = xoffsets.begin();
    ey = yoffsets.begin();
    h = heights.begin();
    for (w = widths.begin(); w != widths.end() && !covered; ++w, ++ex, ++ey, ++h) {
      covered = carried->chain_meets({round_px(x + *ex), round_px(y + *ey), *w, *h});
      const int n = strips(*ex, *ey, *w, *h, x0, y0, dx, dy, s);
      for (int i = 0; i < n && !covered; ++i) covered = carried->chain_meets(s[i]);
    }
    if (covered) carried->paint_chain();
  }
  // A carried piece moving on its own uncovers its carriers, not the scene: where a strip lies on
  // a carrier, the whole chain from the outermost carrier is painted again within that strip.
  movepart* outer = alone ? carrier() : nullptr;
  if (outer == nullptr) return result;
  for (int depth = 0; depth <= movepart_manager::max_parts; ++depth) {
    movepart* c = outer->carrier();
    if (c == nullptr) break;
    outer = c;
  }
  ex = xoffsets.begin();
  ey = yoffsets.begin();
  h = heights.begin();
  for (w = widths.begin(); w != widths.end(); ++w, ++ex, ++ey, ++h) {
    const int n = strips(*ex, *ey, *w, *h, x0, y0, dx, dy, s);
    for (int i = 0; i < n; ++i) {
      // The strip meets a carrier when it meets the outer chain outside this piece's own.
      bool meets = false;
      int depth = 0;
      for (movepart* c = outer; c != nullptr && c != this && depth <= movepart_manager::max_parts;
           c = c->carried, ++depth)
        meets = meets || c->elements_meet(s[i]);
      if (!meets) continue;
      fl_push_clip(s[i].x, s[i].y, s[i].w, s[i].h);
      outer->paint_chain();
      fl_pop_clip();
    }
  }
  return result;
}

double movepart::smallest_xoffset() const {
  double m = low_search;
  for (double v : xoffsets)
    if (v < m) m = v;
  return m;
}

double movepart::smallest_yoffset() const {
  double m = low_search;
  for (double v : yoffsets)
    if (v < m) m = v;
  return m;
}

int movepart::absmoveredraw(double nx, double ny) {
  const bool visible = draw_into(window);
  if (visible) fill_elements(false, true);
  const double x0 = x, y0 = y;
  x = nx - smallest_xoffset();
  y = ny - smallest_yoffset();
  int result = 0;
  if (manager != nullptr && manager->collision(this) == 1) {
    result = 1;
    x = x0;
    y = y0;
  }
  if (visible) fill_elements(true, true);
  return result;
}

void movepart::fall() {
  if (linked == 0) moveredraw(0.0, 1.0);
}

double movepart::actual_precision_first_xpos() const {
  if (xoffsets.empty()) {
    std::fprintf(stderr,
                 "ERREUR dans movepart::actual_precision_first_xpos()\n"
                 "LISTE DE %p ANORMALEMENT VIDE !!!\n\n",
                 static_cast<const void*>(this));
    std::exit(1);
  }
  return x + smallest_xoffset();
}

double movepart::actual_precision_first_ypos() const {
  return y + smallest_yoffset();
}

double movepart::actual_precision_last_xpos() const {
  double m = high_search;
  auto w = widths.begin();
  for (auto ex = xoffsets.begin(); ex != xoffsets.end(); ++ex, ++w)
    if (*ex + *w > m) m = *ex + *w;
  return x + m;
}

double movepart::actual_precision_last_ypos() const {
  double m = high_search;
  auto h = heights.begin();
  for (auto ey = yoffsets.begin(); ey != yoffsets.end(); ++ey, ++h)
    if (*ey + *h > m) m = *ey + *h;
  return y + m;
}

int movepart::actual_first_xpos() const {
  return trunc_px(actual_precision_first_xpos());
}
int movepart::actual_first_ypos() const {
  return trunc_px(actual_precision_first_ypos());
}
int movepart::actual_last_xpos() const {
  return trunc_px(actual_precision_last_xpos());
}
int movepart::actual_last_ypos() const {
  return trunc_px(actual_precision_last_ypos());
}

std::ostream& operator<<(std::ostream& s, movepart& p) {
  s << "coords " << p.x << " " << p.y << "\n";
  s << p.xoffsets << "\n";
  s << p.yoffsets << "\n";
  s << p.widths << "\n";
  s << p.heights << "\n";
  s << p.colours << "\n";
  return s;
}

int vertical_part_dist(const movepart& a, const movepart& b) {
  auto span = [](const movepart& p, double* top, double* bottom) {
    *top = p.y + p.smallest_yoffset();
    double m = 0.0;
    auto h = p.heights.begin();
    for (auto ey = p.yoffsets.begin(); ey != p.yoffsets.end(); ++ey, ++h)
      if (*ey + *h > m) m = *ey + *h;
    *bottom = p.y + m;
  };
  double at, ab, bt, bb;
  span(a, &at, &ab);
  span(b, &bt, &bb);
  if (bt > ab) return trunc_px(bt - ab);
  if (at > bb) return trunc_px(at - bb);
  return 0;
}
