// Jacks: cylinders that push a movepart. A double-acting jack (djack) extends while it is told
// to go out and retracts while it is told to go in; a single-acting jack (sjack) extends while
// told to go out and springs back otherwise. Each comes in four orientations (right, left, down,
// up); hrdjack is a rotary double-acting arm whose position is an angle in degrees.
//
// Each cycle the scenario activates, calls react() to advance the position, then draw(), which
// pushes the part by the step (taking the step back when the part is blocked) and paints the
// body in blue and the rod in black over whatever was there. Commands act on the next react()
// only. The position runs from 0.0 (retracted) to the stroke; halvings of sizes truncate.
//
// The background colour erases a down-facing jack moved to a new anchor. It is a constructor
// argument; by default it is the pushed part's background colour (the toolkit's background
// colour when there is no part). A jack without a part moves and draws, pushing nothing.
#ifndef OBJGRAPHIQUES_JACKS_H
#define OBJGRAPHIQUES_JACKS_H

class Fl_Window;
class movepart;

// Background argument meaning "the pushed part's background colour".
constexpr unsigned jack_part_background = 0xFFFFFFFFu;

// What the two kinds of jack share: geometry, position and out command.
class basic_jack {
 public:
  // 1 when the position is below 0.001, or within 0.001 of the stroke.
  int in_stop() const { return position < 0.001 ? 1 : 0; }
  int out_stop() const { return position > stroke - 0.001 ? 1 : 0; }
  int is_out_activing() const { return out_command; }
  // The position before the last react().
  void unreact() { position = previous_position; }
  // draw() of the pushed part.
  void partdraw();

  double actual_position() const { return position; }
  double last_position() const { return previous_position; }
  unsigned my_background_color() const { return background; }
  int anchor_x() const { return x; }
  int anchor_y() const { return y; }
  movepart* pushed_part() const { return part; }

 protected:
  basic_jack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
             int rod_thickness, double out_speed, double in_speed, movepart* part,
             double initial_position, unsigned background);
  // 1 when the position moved by more than 0.001 since previous_position.
  int moved() const;
  // Pushes the part by (dx, dy); a refused push takes the step back.
  void push(double dx, double dy);
  enum class facing { right, left, down, up };
  // The drawing of every straight jack: push the part by the step in the facing direction, then
  // body, rod and piston line at the position that results.
  void draw_facing(facing f);
  // A down-facing jack's body (one pixel larger) and rod in the background colour.
  void undraw_down();
  // undraw_down and a new anchor when (nx, ny) differs from it; then draw_facing(down).
  void move_down_anchor(int nx, int ny);

  Fl_Window* window;
  unsigned background;
  int x, y;
  int stroke;
  int body_thickness;
  int rod_length;
  int rod_thickness;
  double out_speed;
  double in_speed;
  double position;
  double previous_position;
  int out_command;
  movepart* part;
};

class djack : public basic_jack {
 public:
  djack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
        int rod_thickness, double out_speed, double in_speed, movepart* part,
        double initial_position, unsigned background = jack_part_background);
  void activate_out() { out_command = 1; }
  void activate_in() { in_command = 1; }
  int is_in_activing() const { return in_command; }
  // In alone retracts, out alone extends, both or neither hold; the commands are then cleared.
  // 1 when the position moved by more than 0.001.
  int react();

 protected:
  int in_command = 0;
};

class sjack : public basic_jack {
 public:
  sjack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
        int rod_thickness, double out_speed, double in_speed, movepart* part,
        double initial_position, unsigned background = jack_part_background);
  void activate_out() { out_command = 1; }
  void activate_in() {}
  // Out extends, anything else springs back by the in speed; the command is then cleared.
  int react();
};

// Right-facing: body (x, y, S, B) grows to the right, the part moves by (+d, 0).
class rdjack : public djack {
 public:
  using djack::djack;
  void draw();
};
// Left-facing: body (x - S, y, S, B), the part moves by (-d, 0).
class ldjack : public djack {
 public:
  using djack::djack;
  void draw();
};
// Down-facing: body (x, y, B, S), the part moves by (0, +d). Can be moved to a new anchor.
class bdjack : public djack {
 public:
  using djack::djack;
  void draw();
  // Erases body and rod in the background colour.
  void undraw();
  // When (nx, ny) is not the anchor, undraw and move the anchor there; then draw.
  void draw(int nx, int ny);
};
// Up-facing: body (x, y - S, B, S), the part moves by (0, -d).
class tdjack : public djack {
 public:
  using djack::djack;
  void draw();
};

class rsjack : public sjack {
 public:
  rsjack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
         int rod_thickness, double out_speed, double in_speed, movepart* part,
         unsigned background = jack_part_background);
  void draw();
};
class lsjack : public sjack {
 public:
  lsjack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
         int rod_thickness, double out_speed, double in_speed, movepart* part,
         unsigned background = jack_part_background);
  void draw();
};
class bsjack : public sjack {
 public:
  using sjack::sjack;
  void draw();
  void undraw();
  void draw(int nx, int ny);
};
class tsjack : public sjack {
 public:
  tsjack(Fl_Window* window, int x, int y, int stroke, int body_thickness, int rod_length,
         int rod_thickness, double out_speed, double in_speed, movepart* part,
         unsigned background = jack_part_background);
  void draw();
};

// Rotary arm about the pivot (x, y): position in degrees from 0 to 360, increasing clockwise on
// screen. The pushed part's smallest offsets follow the arm's tip; the hub is a blue disc of
// diameter hub centred on the pivot.
class hrdjack : public djack {
 public:
  hrdjack(Fl_Window* window, int x, int y, int hub, int spare, int arm, double out_speed,
          double in_speed, movepart* part, double initial_position,
          unsigned background = jack_part_background);
  void draw();
  // The tip at an angle in degrees, pi taken as 3.1415, products truncated toward zero.
  int tip_x(double degrees) const;
  int tip_y(double degrees) const;

 private:
  int hub;
  int spare;
  int arm;
};

#endif
