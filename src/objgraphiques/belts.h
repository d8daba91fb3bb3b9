// Belts: conveyors for moving parts. A belt keeps a travel that advances by its speed in each
// cycle in which it is driven (activate, then react), and a list of the pieces lying on it, in
// the order they were added; it owns none of them.
//
// hbelt is a straight horizontal belt: the pieces on it whose first x lies between x and
// x + length (both included) move with its travel. rbelt is a round belt (a turntable) about the
// pivot (x, y): every piece on it turns about the pivot by the belt's speed in degrees, keeping
// its orientation; a positive speed turns clockwise on screen. Its white disc of diameter `size`
// is centred on the pivot; its marker, of length `size`, starts at the pivot.
#ifndef OBJGRAPHIQUES_BELTS_H
#define OBJGRAPHIQUES_BELTS_H

#include <list>

class Fl_Window;
class movepart;

class belt {
 public:
  belt(Fl_Window* window, int x, int y, int length, int height, double speed);

  // Appends the piece (twice added, twice listed).
  void add_ppart(movepart* p);
  // Removes its first occurrence; nothing when absent.
  void supp_ppart(movepart* p);
  void supp_all_ppart() { pieces.clear(); }
  std::list<movepart*>* part_list() { return &pieces; }

  void activate() { driven = 1; }
  // When driven, the travel gains the speed and wraps into [0, length], and the previous travel
  // is set one step behind it, even across the wrap. The drive is then released.
  void react();
  void unreact() { travel = previous_travel; }
  int is_activing() const { return driven; }

  double travel_value() const { return travel; }
  double previous_travel_value() const { return previous_travel; }

 protected:
  Fl_Window* window;
  int x, y;
  int length;
  int height;
  double speed;
  double travel;
  double previous_travel;
  int driven;
  std::list<movepart*> pieces;
};

class hbelt : public belt {
 public:
  hbelt(Fl_Window* window, int x, int y, int length, int height, double speed);
  // The red belt outlined in black, its travel mark, then each piece on the belt moved by the
  // last step (0 when not driven) and drawn.
  void draw();
  // As draw, with a mark one pixel longer, only when the last step is one ordinary step
  // (0.001 < |step| <= speed + 0.001); otherwise nothing.
  void redraw();
  double traveling() const { return travel; }
  // 1 when the piece's first x lies on the belt.
  int lies_on(movepart& p) const;

 private:
  void paint(int mark_extra);
};

class rbelt : public belt {
 public:
  rbelt(Fl_Window* window, int x, int y, int size, int spare, double speed);
  // The white disc.
  void draw();
  // The disc, every piece turned about the pivot (or redrawn in place when the travel did not
  // change), then the marker at the current turn.
  void redraw();
  // The current turn in degrees.
  double radius() const { return travel; }

 private:
  int spare;
};

#endif
