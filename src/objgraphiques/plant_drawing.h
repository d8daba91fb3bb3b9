// A plant's picture as parts painted in a fixed order, each repainted only when what it shows
// has changed since it was last painted.
//
// A part gives its look (the values its picture depends on, appended as bytes to a string) and
// its painting. Parts whose paintings touch must be one part, so that painting one never spoils
// another: then painting only the parts whose look changed leaves the same pixels as painting
// all of them. A device whose painting erases what it showed before puts that erasing in its
// look too, so it is painted once more when the erasing is over.
#ifndef OBJGRAPHIQUES_PLANT_DRAWING_H
#define OBJGRAPHIQUES_PLANT_DRAWING_H

#include <cstring>
#include <functional>
#include <string>
#include <vector>

class Fl_Window;

// Appends the bytes of v to a look.
template <typename T>
void append_look(std::string& look, const T& v) {
  char bytes[sizeof v];
  std::memcpy(bytes, &v, sizeof v);
  look.append(bytes, sizeof v);
}

class plant_drawing {
 public:
  using look_fn = std::function<void(std::string& look)>;
  using paint_fn = std::function<void()>;

  // Adds a part after the others. look appends to a string it is given empty. A part whose
  // painting blends into what lies under it (smoothed text drawn over itself darkens its edges
  // until they settle) is also painted on the `settle` cycles after each painting its look
  // asked for, as a painting every cycle would: 255 passes settle any blend of 8-bit colours.
  void add(look_fn look, paint_fn paint, int settle = 0);

  // Paints, in order, every part whose look differs from its look when it was last painted (all
  // of them when everything is true, or when nothing was painted yet), into window made current
  // before the first of them (into the current surface when window is null). Returns the
  // number of parts painted.
  int paint(bool everything, Fl_Window* window = nullptr);

  int part_count() const { return static_cast<int>(parts_.size()); }

 private:
  struct part {
    look_fn look;
    paint_fn paint;
    std::string painted;  // its look when last painted
    bool ever = false;
    int settle = 0;
    int settling = 0;  // paintings still to come for the blend to settle
  };
  std::vector<part> parts_;
  std::string current_;  // reused, so that a cycle allocates nothing
};

// Whether the environment asks for the whole plant to be painted every cycle
// (SUDZ_FULL_REDRAW set to anything but "" or "0"), for comparison and debugging.
bool full_redraw_forced();

#endif
