// Wagons: carriages that run left and right between two limits. A wagon moves by its velocity
// in each react() (0, +speed reference or -speed reference) and stops at a limit, where it stays
// with left_stop() or right_stop() true while its velocity keeps its value. x is the wagon's
// centre; halvings and quarterings of its sizes truncate toward zero.
//
// cookwagon draws one: two black wheels below the reference line y, a black load box from
// y - 15 to y + 5 shown only when loaded, and a carried piece that it moves by half the wagon's
// step. The carried piece is not owned.
#ifndef OBJGRAPHIQUES_WAGONS_H
#define OBJGRAPHIQUES_WAGONS_H

class Fl_Window;
class movepart;

class wagon {
 public:
  wagon(Fl_Window* window, int x, int y, int length, int wheel_size, double speed_reference,
        int left_limit, int right_limit, movepart* part, unsigned background);

  void right() { velocity = speed_reference; }
  void left() { velocity = -speed_reference; }
  void stop() { velocity = 0.0; }
  // Moves by the velocity, held between the limits; 1 when x changed.
  int react();
  void unreact() { x = previous_x; }
  void load() { loaded = 1; }
  void unload() { loaded = 0; }
  int is_loaded() const { return loaded; }
  // New speed reference; a moving wagon takes it at once in its own direction.
  void change_speed_ref(double speed);
  // 1 when an end of the wagon is exactly on its limit.
  int left_stop() const { return x - length / 2 == left_limit ? 1 : 0; }
  int right_stop() const { return x + length / 2 == right_limit ? 1 : 0; }

  double xpos() const { return x; }
  double previous_xpos() const { return previous_x; }
  double actual_velocity() const { return velocity; }
  movepart* carried_part() const { return part; }

 protected:
  Fl_Window* window;
  unsigned background;
  double x;
  double y;
  double previous_x;
  double left_limit, right_limit;
  int length;
  int wheel_size;
  double velocity;
  double speed_reference;
  movepart* part;
  int loaded;
};

class cookwagon : public wagon {
 public:
  using wagon::wagon;
  // Moves the carried piece by half the step (a refused move takes the wagon's step back),
  // erases the uncovered strip, the old wheels and (when unloaded) the load box, then paints the
  // wheels, the load box when loaded, and the carried piece.
  void draw();
};

#endif
