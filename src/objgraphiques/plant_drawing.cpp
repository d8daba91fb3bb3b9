#include "objgraphiques/plant_drawing.h"

#include <cstdlib>

#include <FL/Fl_Window.H>

void plant_drawing::add(look_fn look, paint_fn paint, int settle) {
  parts_.push_back({std::move(look), std::move(paint), std::string(), false, settle, 0});
}

int plant_drawing::paint(bool everything, Fl_Window* window) {
  int painted = 0;
  for (part& p : parts_) {
    current_.clear();
    p.look(current_);
    const bool changed = everything || !p.ever || current_ != p.painted;
    if (!changed && p.settling == 0) continue;
    if (painted == 0 && window != nullptr) window->make_current();
    if (changed) {
      // The look is taken before painting: a painting that erases its previous state changes it.
      p.painted.swap(current_);
      p.ever = true;
      p.settling = p.settle;
    } else {
      --p.settling;
    }
    p.paint();
    ++painted;
  }
  return painted;
}

bool full_redraw_forced() {
  const char* v = std::getenv("SUDZ_FULL_REDRAW");
  return v != nullptr && *v != '\0' && std::strcmp(v, "0") != 0;
}
