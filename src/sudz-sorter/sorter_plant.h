// The sorting line's model: boxes of two kinds fed onto a straight belt, a swing gate, a wagon
// that takes each box to one of two bins, and two ejectors that push it off the wagon. Built
// from the moving-part library only.
//
// Every part is a movepart of the library, moved by the library's own jacks, belt and wagon, so
// collisions are the library's: a box blocked by another box, by the closed gate or by an
// ejector waits where it is; nothing ever overlaps. One step() applies one cycle's outputs. The
// inputs are read from the parts' real positions (limit switches, presence sensors).
//
// The library draws as it moves. The model draws into its window when it has one, else into
// the current drawing surface; a test that steps it without a display installs a surface of
// its own. The window's static scenery and the counters are the window's (sorter_window.h).
#ifndef SUDZ_SORTER_SORTER_PLANT_H
#define SUDZ_SORTER_SORTER_PLANT_H

#include <cstdint>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "objgraphiques/belts.h"
#include "objgraphiques/jacks.h"
#include "objgraphiques/movepart.h"
#include "objgraphiques/wagons.h"

class Fl_Window;

// Inputs and outputs by index on their side of the exchange area.
enum sorter_input {
  IN_ENT,  // a box stands at the belt's entry
  IN_FIN,  // a box stands at the end of the belt, before the gate
  IN_GD,   // the box there is large
  IN_BO,   // gate open
  IN_BF,   // gate closed
  IN_WG,   // wagon at its left limit (large boxes' bin)
  IN_WC,   // wagon under the end of the belt
  IN_WD,   // wagon at its right limit (small boxes' bin)
  IN_CH,   // a box lies on the wagon
  IN_EGR,  // left ejector retracted
  IN_EGS,  // left ejector extended
  IN_EDR,  // right ejector retracted
};
enum sorter_output {
  OUT_DEM,  // ask for a box (rising edge)
  OUT_TAP,  // belt runs
  OUT_BRF,  // gate closes
  OUT_BRO,  // gate opens
  OUT_WAG,  // wagon to the left
  OUT_WAD,  // wagon to the right
  OUT_EGA,  // left ejector out
  OUT_EGR,  // left ejector in
  OUT_EDA,  // right ejector out (springs back otherwise)
};
constexpr int sorter_input_count = 12;
constexpr int sorter_output_count = 9;

// The names, inputs first: input i is entry i, output k is entry 12 + k.
extern const char* const sorter_signals[sorter_input_count + sorter_output_count];

enum class box_kind { large, small };

// The kinds of the boxes in the order they are fed: a fixed sequence, or a seeded one.
class box_sequence {
 public:
  box_sequence() = default;  // the fixed sequence
  explicit box_sequence(std::uint32_t seed) : seeded_(true), random_(seed) {}
  box_kind next();

 private:
  bool seeded_ = false;
  std::minstd_rand random_;
  int index_ = 0;
};

enum class bin_side { left, right };

// One box delivered to a bin.
struct delivery {
  int number;  // 1 for the first box fed
  box_kind kind;
  bin_side bin;
};

class sorter_plant {
 public:
  // Geometry, in window pixels.
  static constexpr int width = 760, height = 440;
  static constexpr int belt_x = 90, belt_y = 150, belt_length = 300, belt_thickness = 8;
  static constexpr double belt_speed = 1.0;
  static constexpr int entry_x = 100;
  static constexpr int gate_x = 350, gate_y = 80, gate_arm = 50, gate_hub = 12;
  static constexpr double gate_speed = 3.0;  // degrees per cycle
  static constexpr int wagon_y = 260, wagon_length = 60, wheel = 12;
  static constexpr double wagon_speed = 2.0;  // whole pixels: the wagon erases whole-pixel strips
  static constexpr int left_limit = 86, right_limit = 674, load_x = 410, load_window = 6;
  static constexpr int tray_top = 239;
  static constexpr int floor_y = 400;
  static constexpr int left_bin_in = 142, left_bin_out = 200;  // inner walls' faces
  static constexpr int right_bin_in = 570, right_bin_out = 618;
  static constexpr int max_boxes = 10;  // boxes at once, well under the manager's limit
  static constexpr int large_w = 40, large_h = 30, small_w = 24, small_h = 16;

  // The parts are drawn into window (null: the current surface), erased in background.
  sorter_plant(Fl_Window* window, unsigned background, box_sequence sequence = box_sequence());
  ~sorter_plant();
  sorter_plant(const sorter_plant&) = delete;
  sorter_plant& operator=(const sorter_plant&) = delete;

  // The inputs as the parts stand.
  void compute_inputs(int inputs[sorter_input_count]);
  // One cycle: the outputs act, the parts move, boxes fall and land. Returns false when a box
  // has fallen past the wagon to the floor (the alarm); the cycle is then left unfinished.
  bool step(const int outputs[sorter_output_count]);
  // Paints every part where it stands (after the window was exposed, or at the start).
  void draw_all();
  // A step paints the belt, the gate, the wagon and the ejectors only when they move; the next
  // step paints them all, moved or not (after the window was repainted, or every cycle for a
  // full painting).
  void repaint_devices() { paint_devices_ = true; }

  // Deliveries since the start, in order, and the counts per bin and kind.
  const std::vector<delivery>& deliveries() const { return deliveries_; }
  int count(bin_side bin, box_kind kind) const;
  int boxes_fed() const { return fed_; }
  int boxes_present() const { return static_cast<int>(boxes_.size()); }

  // Appends to look what the painting of the parts and of the window's scenery depends on:
  // every part's origin, the moving devices' positions and the counts.
  void look(std::string& look) const;

  // Appends to look the origin of every part reaching into the rectangle (x, y, w, h): painting
  // such a part paints over what the window shows there.
  void look_within(int x, int y, int w, int h, std::string& look) const;

  // Every registered part's origin, in registration order: "x y" per part with 3 decimals.
  std::string positions() const;

  double wagon_x() const { return wagon_.xpos(); }
  double gate_angle() const { return gate_.actual_position(); }

 private:
  struct box {
    movepart* piece;  // owned; destroyed when delivered
    box_kind kind;
    int number;
  };
  void feed();
  void move_wagon();
  // While the paddle goes out, the box on the wagon that it touches passes to it.
  void take_from_wagon(movepart& paddle, bool pushes_right, bool extending);
  bool fall_and_land();
  void remove(std::list<box>::iterator b);
  movepart& static_part(int x, int y, int w, int h, unsigned colour);

  Fl_Window* window_;
  unsigned background_;
  box_sequence sequence_;
  movepart_manager manager_;
  std::vector<std::unique_ptr<movepart>> scenery_;  // bed, floor, bin walls
  movepart tray_;
  movepart gate_block_;
  movepart left_paddle_;
  movepart right_paddle_;
  hbelt belt_;
  hrdjack gate_;
  cookwagon wagon_;
  rdjack left_ejector_;
  lsjack right_ejector_;
  std::list<box> boxes_;
  int previous_dem_ = 0;
  bool paint_devices_ = true;
  int painted_load_ = -1;  // the wagon's load as last painted
  int fed_ = 0;
  std::vector<delivery> deliveries_;
};

#endif
