// Small pixel shapes that the devices compute before drawing them, so that a model or a test
// can check a device's geometry without drawing.
#ifndef OBJGRAPHIQUES_GEOMETRY_H
#define OBJGRAPHIQUES_GEOMETRY_H

// A box of window pixels: top-left corner (x, y), width w, height h.
struct pixel_box {
  int x, y, w, h;
  bool operator==(const pixel_box& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// A line of window pixels from (x0, y0) to (x1, y1).
struct pixel_segment {
  int x0, y0, x1, y1;
  bool operator==(const pixel_segment& o) const {
    return x0 == o.x0 && y0 == o.y0 && x1 == o.x1 && y1 == o.y1;
  }
};

// An arc of the ellipse inscribed in a box, from angle a1 to a2 in degrees, counter-clockwise
// from three o'clock.
struct pixel_arc {
  pixel_box box;
  double a1, a2;
  bool operator==(const pixel_arc& o) const { return box == o.box && a1 == o.a1 && a2 == o.a2; }
};

// v truncated toward zero to a pixel coordinate. A value that is not a number gives 0 and one
// beyond the range of int the nearest end of it, where a plain conversion would be undefined.
inline int trunc_px(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

#endif
