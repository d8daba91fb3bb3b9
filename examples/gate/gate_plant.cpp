#include "gate_plant.h"

#include <algorithm>

#include <FL/Enumerations.H>

const char* const gate_signals[gate_input_count + gate_output_count] = {"Bp", "Fo", "Ff", "Cel",
                                                                        "Mo", "Mf", "Cl"};

namespace {

// The leaf's frame: two rails along its length and a bar every 16 pixels.
constexpr int rail = 2, bar = 3, bar_gap = 16;

}  // namespace

gate_plant::gate_plant(Fl_Window* window, unsigned background)
    : window_(window), background_(background) {
  // The leaf is made in its closed place; its origin then moves by the travel alone.
  const int length = road_bottom - road_top;
  leaf_.define(manager_, window, background);
  leaf_.add(leaf_x, closed_top, rail, length, FL_DARK3);
  leaf_.add(leaf_x + leaf_w - rail, closed_top, rail, length, FL_DARK3);
  for (int y = 0; y + bar <= length; y += bar_gap) leaf_.add(leaf_x, closed_top + y, leaf_w, bar, FL_DARK3);
  leaf_.add(leaf_x, closed_top + length - bar, leaf_w, bar, FL_DARK3);
}

gate_plant::~gate_plant() = default;

bool gate_plant::add_car() {
  if (static_cast<int>(cars_.size()) >= max_cars) return false;
  std::unique_ptr<movepart> p(new movepart(manager_, window_, background_));
  const int x = car_entry_x, y = car_y;
  p->add(x + 8, y - 3, 12, 3, FL_BLACK);  // wheels, seen from above
  p->add(x + 38, y - 3, 12, 3, FL_BLACK);
  p->add(x + 8, y + car_width, 12, 3, FL_BLACK);
  p->add(x + 38, y + car_width, 12, 3, FL_BLACK);
  p->add(x, y, car_length, car_width, FL_BLUE);
  p->add(x + 30, y + 4, 10, car_width - 8, FL_CYAN);  // windscreen, towards the front
  if (manager_.collision(p.get()) == 1) return false;  // the previous car still stands there
  p->draw();
  cars_.push_back(car{std::move(p)});
  return true;
}

void gate_plant::compute_inputs(bool button, int in[gate_input_count]) {
  const double top = leaf_top();
  in[IN_BP] = button ? 1 : 0;
  in[IN_FO] = top <= open_top ? 1 : 0;
  in[IN_FF] = top >= closed_top ? 1 : 0;
  in[IN_CEL] = 0;
  for (car& c : cars_) {
    if (c.piece->actual_precision_last_xpos() > beam_from &&
        c.piece->actual_precision_first_xpos() < beam_to)
      in[IN_CEL] = 1;
  }
}

bool gate_plant::slide_leaf(const int out[gate_output_count]) {
  // Both motors at once pull against each other: the leaf stays. Each stops at its end.
  const bool opening = out[OUT_MO] == 1, closing = out[OUT_MF] == 1;
  const double top = leaf_top();
  int way = 0;
  if (opening && !closing && top > open_top) way = -1;
  if (closing && !opening && top < closed_top) way = 1;
  if (way != motor_way_) motor_cycles_ = 0;
  motor_way_ = way;
  // A motor that starts moves the leaf at once, then every leaf_period cycles.
  if (way == 0 || motor_cycles_++ % leaf_period != 0) return true;
  // A car under the leaf refuses the move down: the gate has closed onto it.
  return leaf_.moveredraw(0.0, way) == 0 || way < 0;
}

void gate_plant::drive_cars() {
  // Front car first, so that the one behind follows in the same cycle, keeping its distance.
  double ahead = 1e300;  // rear of the car ahead
  for (auto it = cars_.begin(); it != cars_.end();) {
    movepart& p = *it->piece;
    if (p.actual_precision_last_xpos() + car_speed + car_gap <= ahead)
      p.moveredraw(car_speed, 0.0);  // refused behind the leaf: it waits
    ahead = p.actual_precision_first_xpos();
    if (!it->through && p.actual_precision_first_xpos() >= leaf_x + leaf_w) {
      it->through = true;
      ++through_;
    }
    if (p.actual_precision_first_xpos() >= width) {
      it = cars_.erase(it);  // off the road
    } else {
      ++it;
    }
  }
}

bool gate_plant::step(const int out[gate_output_count]) {
  lamp_ = out[OUT_CL] == 1;
  if (!slide_leaf(out)) return false;
  drive_cars();
  return true;
}

void gate_plant::draw_all() {
  manager_.draw();
}
