// Moving parts: rigid pieces made of coloured rectangles that move by fractional pixel steps,
// fall, carry one another and refuse any move that would make them overlap, under a manager that
// knows every piece.
//
// A movepart's origin (x, y) is a double; each element is a rectangle at origin + offset. A move
// erases only the strip that each element uncovers and repaints the element, so a scene is
// painted once and then kept up by the moves alone. draw, undraw and moveredraw place elements at
// the nearest pixel (halves away from zero); absmoveredraw and every collision or occupancy test
// truncate toward zero.
//
// A piece can carry one other piece (link): the carried piece moves first with its carrier, does
// not fall, and is destroyed with it. A carrier and the pieces it carries, directly or through
// one another, never collide with each other: a load may rest on its carrier or lie inside it.
// A refused move returns 1 and leaves every piece as it was.
//
// After any sequence of moves (upward ones by whole pixels: an upward strip is the step
// truncated) a piece looks as a whole painting of the scene shows it (manager.draw() over the
// background): where a strip erased by one element cuts into another
// element of the piece, or into the piece it carries, those are painted again. A carried piece
// shows on top of its carrier. A carried piece that moves on its own (a door sliding in its
// cabin) uncovers its carrier rather than the scene: where an erased strip lies on an element
// of a carrier, the carrier and what it carries are painted again within that strip. So a piece
// that moves inside another is drawn on the other's colour when the other has an element for
// its inside (added before the elements that frame it); where the carrier has no element, the
// strip shows the background, as for any piece.
//
// Three conditions end the process with status 1 after a message on standard error: a 101st
// registration ("too many part !"), a collision test for an unregistered piece ("collision:
// erreur interne !") and the first x bound of a piece without elements.
#ifndef OBJGRAPHIQUES_MOVEPART_H
#define OBJGRAPHIQUES_MOVEPART_H

#include <list>
#include <ostream>

#include "objgraphiques/geometry.h"

class Fl_Window;
class movepart;

class movepart_manager {
 public:
  static constexpr int max_parts = 100;

  movepart_manager() : count(0) {}
  movepart_manager(const movepart_manager&) = delete;
  movepart_manager& operator=(const movepart_manager&) = delete;

  // Appends p to the slots (no duplicate check); a 101st registration is fatal.
  void addpart(movepart* p);
  // Removes p from every slot, shifting the following slots down. An occurrence of p that moves
  // into the slot just examined stays until the next call.
  void suppart(movepart* p);
  // 1 when some element of another registered piece overlaps an element of p (boxes sharing an
  // edge do not overlap), else 0. Pieces that p carries, or that carry p, directly or through
  // one another, are not tested. Fatal when p is not registered.
  int collision(movepart* p);
  // 1 when the point lies in an element of a registered piece, edges included.
  int busy_position(int x, int y);
  // Draws a black cross of 101 by 101 pixels on the point, then busy_position.
  int busy_position_debug(int x, int y);
  // draw of every registered piece, in slot order.
  void draw();
  // fall of every registered piece that is not carried, in slot order.
  void parts_fall();

  int part_count() const { return count; }
  movepart* part(int slot) const { return slot >= 0 && slot < count ? parts[slot] : nullptr; }

 private:
  int count;
  movepart* parts[max_parts] = {};
};

class movepart {
 public:
  // An empty piece at (0.0, 0.0), registered with manager.
  movepart(movepart_manager& manager, Fl_Window* window, unsigned background);
  // An empty piece without window or manager, at (0.0, 0.0) with the toolkit's background
  // colour; define() must come before it is drawn or moved.
  movepart();
  // A copy has every field of the original, manager included, but is not registered and carries
  // nothing: the carried piece stays with the original, which alone destroys it.
  movepart(const movepart& other);
  // Copies every field but the carried piece: this piece keeps the one it carried, if any.
  movepart& operator=(const movepart& other);
  // Unregisters, erases (when it has a window), and destroys the carried piece.
  ~movepart();

  // Sets window, background and manager, origin (0.0, 0.0), and registers. Elements and link
  // are kept.
  void define(movepart_manager& manager, Fl_Window* window, unsigned background);
  // Appends the element (dx, dy, w, h) in colour.
  void add(double dx, double dy, int w, int h, unsigned colour);
  // Carries other and marks it carried. From now on this piece owns other: other must have been
  // made with new, and is destroyed with this piece (by delete) unless unlink() lets it go
  // first; nothing else may destroy it meanwhile. A piece carried before is replaced without
  // its carried mark being cleared, and is no longer owned: its owner is the caller again.
  void link(movepart* other);
  // Marks the carried piece as no longer carried and lets it go: not destroyed, owned by the
  // caller again.
  void unlink();

  // Every element in its colour, then the carried piece.
  void draw();
  // Every element in the background colour, then the carried piece's undraw.
  void undraw();
  // Moves by (dx, dy), carried piece first; erases the uncovered strips and repaints. Returns 1,
  // with nothing moved, when the carried piece or this piece would collide.
  int moveredraw(double dx, double dy);
  // Places the piece so that its smallest offsets land on (x, y), erasing and repainting it
  // whole. The carried piece is neither moved nor drawn. 1 when refused.
  int absmoveredraw(double x, double y);
  // One pixel down, unless carried.
  void fall();

  unsigned my_background_color() const { return background; }
  int is_linked() const { return linked; }
  movepart* part_have_link() const { return carried; }

  double actual_precision_first_xpos() const;  // fatal on a piece without elements
  double actual_precision_first_ypos() const;
  double actual_precision_last_xpos() const;
  double actual_precision_last_ypos() const;
  int actual_first_xpos() const;
  int actual_first_ypos() const;
  int actual_last_xpos() const;
  int actual_last_ypos() const;

  double xpos() const { return x; }
  double ypos() const { return y; }
  int element_count() const { return static_cast<int>(widths.size()); }
  movepart_manager* my_manager() const { return manager; }
  Fl_Window* my_window() const { return window; }

  friend class movepart_manager;
  friend std::ostream& operator<<(std::ostream& s, movepart& p);
  friend int vertical_part_dist(const movepart& a, const movepart& b);

 private:
  void fill_elements(bool own_colour, bool truncate);
  int move_and_paint(double dx, double dy, bool alone);
  // The strips (at most two) that the element at offset (ex, ey), of size (w, h), uncovers when
  // the origin goes from (x0, y0) to where it is now by (dx, dy).
  int strips(double ex, double ey, int w, int h, double x0, double y0, double dx, double dy,
             pixel_box out[2]) const;
  bool elements_meet(const pixel_box& b) const;  // an element at its place shares a pixel with b
  bool chain_meets(const pixel_box& b) const;    // the same, for this piece or what it carries
  bool carries(const movepart* other) const;     // directly or through the pieces it carries
  movepart* carrier() const;                     // the registered piece carrying this one
  void paint_chain();  // elements in their colours, then the carried pieces', into the surface
  double smallest_xoffset() const;
  double smallest_yoffset() const;

  Fl_Window* window;
  unsigned background;
  double x, y;
  movepart_manager* manager;
  std::list<double> xoffsets;
  std::list<double> yoffsets;
  std::list<int> widths;
  std::list<int> heights;
  std::list<int> colours;
  movepart* carried;
  int linked;
  // The elements' extent relative to the origin, kept by add() so that the collision test can
  // pass over a piece far away without looking at its elements.
  double extent_left = 1e300, extent_top = 1e300, extent_right = -1e300, extent_bottom = -1e300;
};

// "coords x y", then the x offsets, y offsets, widths, heights and colours as lists, one a line.
std::ostream& operator<<(std::ostream& s, movepart& p);

// Vertical gap between the two pieces (0 when their vertical spans meet), truncated.
int vertical_part_dist(const movepart& a, const movepart& b);

#endif
