// The automatic gate's model, seen from above: a road from left to right, a sliding leaf that
// closes it, two motors that slide the leaf up (open) and down (closed), its two end switches,
// a photocell across the opening and a warning lamp. Cars come up on the left when the operator
// asks, drive right, wait at the closed leaf and drive through once the way is clear.
//
// The leaf and the cars are moving parts of the kit, so a car never drives into the leaf: its
// move is refused and it waits (behind another car it keeps a small distance). A leaf that
// closes onto a car is refused too, and that is the alarm. One step() applies one cycle's outputs; the inputs are
// read from where the parts stand.
//
// The model draws as the parts move, into its window while the window is shown (into the current
// drawing surface when it has none). A test steps it without a display by giving it a window
// that is never shown: nothing is drawn then.
#ifndef GATE_PLANT_H
#define GATE_PLANT_H

#include <list>
#include <memory>

#include <objgraphiques/movepart.h>

class Fl_Window;

// Inputs and outputs by index on their side of the exchange area.
enum gate_input {
  IN_BP,   // the operator holds the push button
  IN_FO,   // end switch: gate open
  IN_FF,   // end switch: gate closed
  IN_CEL,  // the photocell's beam is cut
};
enum gate_output {
  OUT_MO,  // opening motor
  OUT_MF,  // closing motor
  OUT_CL,  // warning lamp
};
constexpr int gate_input_count = 4;
constexpr int gate_output_count = 3;

// The names, inputs first: input i is entry i, output k is entry 4 + k.
extern const char* const gate_signals[gate_input_count + gate_output_count];

class gate_plant {
 public:
  // Geometry, in window pixels.
  static constexpr int width = 560, height = 300;
  static constexpr int road_top = 130, road_bottom = 210;  // the kerbs run just outside
  static constexpr int leaf_x = 280, leaf_w = 8;           // the leaf slides along x = leaf_x
  static constexpr int closed_top = road_top;              // closed: the leaf spans the road
  static constexpr int open_top = road_top - (road_bottom - road_top);  // open: wholly above it
  // The leaf moves one whole pixel every leaf_period cycles, either way: a part moving up
  // erases only whole pixels behind it.
  static constexpr int leaf_period = 2;
  // The beam is cut by a car anywhere between these two abscissas (the leaf's path and a
  // margin on each side).
  static constexpr int beam_from = leaf_x - 4, beam_to = leaf_x + leaf_w + 8;
  static constexpr int car_length = 56, car_width = 30, car_y = 155, car_entry_x = 10;
  static constexpr double car_speed = 0.5;  // pixels per cycle
  static constexpr int car_gap = 8;         // a car stops this far behind the one ahead
  static constexpr int max_cars = 6;

  // The parts are drawn into window (null: the current surface) and erased in background.
  gate_plant(Fl_Window* window, unsigned background);
  ~gate_plant();
  gate_plant(const gate_plant&) = delete;
  gate_plant& operator=(const gate_plant&) = delete;

  // A car comes up at the left end of the road. Refused (false) while the previous one still
  // stands there or max_cars are on the road.
  bool add_car();

  // The inputs as the parts stand; button is the operator's push button.
  void compute_inputs(bool button, int inputs[gate_input_count]);
  // One cycle: the motors slide the leaf, the cars drive on, the lamp follows its output.
  // Returns false when the leaf has closed onto a car (the alarm); the cycle is then left
  // unfinished.
  bool step(const int outputs[gate_output_count]);
  // Paints every part where it stands (at the start, or after the window was exposed).
  void draw_all();

  // Top of the leaf: closed_top when closed, open_top when open.
  double leaf_top() const { return leaf_.ypos() + closed_top; }
  bool lamp_on() const { return lamp_; }
  int cars_present() const { return static_cast<int>(cars_.size()); }
  // Cars whose rear has cleared the leaf's path since the start.
  int cars_through() const { return through_; }

 private:
  struct car {
    std::unique_ptr<movepart> piece;
    bool through = false;
  };
  bool slide_leaf(const int outputs[gate_output_count]);
  void drive_cars();

  Fl_Window* window_;
  unsigned background_;
  movepart_manager manager_;
  movepart leaf_;
  std::list<car> cars_;
  int motor_cycles_ = 0;  // cycles the motor now running has run
  int motor_way_ = 0;     // -1 opening, 1 closing, 0 stopped
  bool lamp_ = false;
  int through_ = 0;
};

#endif
