#include "sudz-sorter/sorter_plant.h"

#include <cstdio>

#include <FL/Enumerations.H>

#include "objgraphiques/plant_drawing.h"

const char* const sorter_signals[sorter_input_count + sorter_output_count] = {
    "Ent", "Fin", "Gd",  "Bo",  "Bf",  "Wg",  "Wc",  "Wd",  "Ch",  "Egr", "Egs",
    "Edr", "Dem", "Tap", "BrF", "BrO", "WaG", "WaD", "EgA", "EgR", "EdA"};

namespace {

// The fixed sequence of kinds: mixed runs, so that a controller meets both orders.
const box_kind fixed_sequence[] = {box_kind::large, box_kind::small, box_kind::small,
                                   box_kind::large, box_kind::large, box_kind::small,
                                   box_kind::large, box_kind::small};

// Gate angles, in degrees, reported closed. Anywhere in this range the block bars both kinds
// of box close enough to the gate for the sensors before it to see them, so a controller may stop
// the arm wherever it first reads "Bf". The upper end is the arm's stop: held closing, it rests
// there instead of swinging on past the belt, so a controller that answers late still holds its
// box at the sensors.
constexpr double gate_closed_from = 90.0, gate_closed_to = 96.0;

// Sensor points before the gate, at two heights: any box, large boxes only.
constexpr int end_sensor_x = 345, low_sensor_y = 146, high_sensor_y = 125;

// Ejectors: a body of 64 (the stroke) behind a rod of 70 that holds a paddle of 6 by 24 at box
// height, just above the wagon's tray.
constexpr int ejector_stroke = 64, ejector_body = 16, ejector_rod = 70, ejector_rod_t = 6;
constexpr int paddle_w = 6, paddle_h = 24, paddle_y = 213;
constexpr double ejector_speed = 1.0;

}  // namespace

box_kind box_sequence::next() {
  if (seeded_) return (random_() & 1u) ? box_kind::small : box_kind::large;
  const int n = sizeof fixed_sequence / sizeof fixed_sequence[0];
  box_kind k = fixed_sequence[index_];
  index_ = (index_ + 1) % n;
  return k;
}

sorter_plant::sorter_plant(Fl_Window* window, unsigned background, box_sequence sequence)
    : window_(window),
      background_(background),
      sequence_(sequence),
      belt_(window, belt_x, belt_y, belt_length, belt_thickness, belt_speed),
      gate_(window, gate_x, gate_y, gate_hub, 0, gate_arm, gate_speed, gate_speed, &gate_block_,
            0.0, background),
      wagon_(window, load_x, wagon_y, wagon_length, wheel, wagon_speed, left_limit, right_limit,
             nullptr, background),
      left_ejector_(window, left_limit - paddle_w - ejector_rod, paddle_y + 4, ejector_stroke,
                    ejector_body, ejector_rod, ejector_rod_t, ejector_speed, ejector_speed,
                    &left_paddle_, 0.0, background),
      right_ejector_(window, right_limit + paddle_w + ejector_rod, paddle_y + 4, ejector_stroke,
                     ejector_body, ejector_rod, ejector_rod_t, ejector_speed, ejector_speed,
                     &right_paddle_, background) {
  // The belt's bed, under the belt's drawing, holds the boxes up; the floor and the bins' walls
  // stop what falls.
  static_part(belt_x, belt_y, belt_length, belt_thickness, FL_RED);
  static_part(0, floor_y, width, 8, FL_DARK3);
  static_part(left_bin_in - 4, floor_y - 60, 4, 60, FL_DARK3);
  static_part(left_bin_out, floor_y - 60, 4, 60, FL_DARK3);
  static_part(right_bin_in - 4, floor_y - 60, 4, 60, FL_DARK3);
  static_part(right_bin_out, floor_y - 60, 4, 60, FL_DARK3);

  tray_.define(manager_, window, background);
  tray_.add(load_x - wagon_length / 2, tray_top, wagon_length, 6, FL_DARK3);
  gate_block_.define(manager_, window, background);
  gate_block_.add(gate_.tip_x(0.0), gate_.tip_y(0.0), 6, 12, FL_DARK_RED);
  left_paddle_.define(manager_, window, background);
  left_paddle_.add(left_limit - paddle_w, paddle_y, paddle_w, paddle_h, FL_DARK_BLUE);
  right_paddle_.define(manager_, window, background);
  right_paddle_.add(right_limit, paddle_y, paddle_w, paddle_h, FL_DARK_BLUE);
}

sorter_plant::~sorter_plant() {
  // A carrier destroys what it carries: the boxes are let go first and destroyed here, once.
  tray_.unlink();
  left_paddle_.unlink();
  right_paddle_.unlink();
  for (box& b : boxes_) delete b.piece;
}

movepart& sorter_plant::static_part(int x, int y, int w, int h, unsigned colour) {
  scenery_.emplace_back(new movepart(manager_, window_, background_));
  scenery_.back()->add(x, y, w, h, colour);
  return *scenery_.back();
}

void sorter_plant::compute_inputs(int in[sorter_input_count]) {
  const double angle = gate_.actual_position();
  const double x = wagon_.xpos();
  // The entry is taken when a box lies anywhere in the room a large box needs there; the
  // points are closer together than the smallest box is wide.
  in[IN_ENT] = 0;
  for (int x = entry_x; x <= entry_x + large_w && !in[IN_ENT]; x += small_w - 4)
    in[IN_ENT] = manager_.busy_position(x, low_sensor_y);
  in[IN_FIN] = manager_.busy_position(end_sensor_x, low_sensor_y);
  in[IN_GD] = manager_.busy_position(end_sensor_x, high_sensor_y);
  in[IN_BO] = gate_.in_stop();
  in[IN_BF] = angle >= gate_closed_from && angle <= gate_closed_to ? 1 : 0;
  in[IN_WG] = wagon_.left_stop();
  in[IN_WC] = x >= load_x - load_window && x <= load_x + load_window ? 1 : 0;
  in[IN_WD] = wagon_.right_stop();
  in[IN_CH] = tray_.part_have_link() != nullptr ? 1 : 0;
  in[IN_EGR] = left_ejector_.in_stop();
  in[IN_EGS] = left_ejector_.out_stop();
  in[IN_EDR] = right_ejector_.in_stop();
}

void sorter_plant::feed() {
  // Counted before registering, so the manager's limit is never reached.
  if (static_cast<int>(boxes_.size()) >= max_boxes ||
      manager_.part_count() >= movepart_manager::max_parts)
    return;
  const box_kind kind = sequence_.next();
  const bool large = kind == box_kind::large;
  const int w = large ? large_w : small_w, h = large ? large_h : small_h;
  auto* piece = new movepart(manager_, window_, background_);
  piece->add(entry_x, belt_y - h, w, h, large ? FL_YELLOW : FL_MAGENTA);
  if (manager_.collision(piece) == 1) {  // the entry is taken: the box is not fed
    delete piece;
    return;
  }
  ++fed_;
  boxes_.push_back({piece, kind, fed_});
  belt_.add_ppart(piece);
  piece->draw();
}

void sorter_plant::move_wagon() {
  // The tray goes with the wagon's whole step; when it (or the box on it) is blocked, the wagon
  // stays.
  const double step = wagon_.xpos() - wagon_.previous_xpos();
  if (step != 0.0 && tray_.moveredraw(step, 0.0) == 1) wagon_.unreact();
  // Standing still, the wagon moves nothing and its painting would change no pixel.
  if (!paint_devices_ && wagon_.xpos() == wagon_.previous_xpos() &&
      wagon_.is_loaded() == painted_load_)
    return;
  painted_load_ = wagon_.is_loaded();
  wagon_.draw();
  tray_.draw();
}

namespace {

bool overlaps_horizontally(movepart& a, movepart& b) {
  return a.actual_first_xpos() < b.actual_last_xpos() &&
         b.actual_first_xpos() < a.actual_last_xpos();
}

}  // namespace

void sorter_plant::take_from_wagon(movepart& paddle, bool pushes_right, bool extending) {
  // The box on the wagon that the paddle touches passes from the wagon to the paddle.
  movepart* onboard = tray_.part_have_link();
  if (onboard != nullptr && paddle.part_have_link() == nullptr && extending) {
    const bool touching = pushes_right ? paddle.actual_last_xpos() >= onboard->actual_first_xpos()
                                       : paddle.actual_first_xpos() <= onboard->actual_last_xpos();
    const bool beside = pushes_right ? paddle.actual_first_xpos() < onboard->actual_first_xpos()
                                     : paddle.actual_last_xpos() > onboard->actual_last_xpos();
    if (touching && beside) {
      tray_.unlink();
      wagon_.unload();
      paddle.link(onboard);
    }
  }
}

bool sorter_plant::step(const int out[sorter_output_count]) {
  if (out[OUT_DEM] == 1 && previous_dem_ == 0) feed();
  previous_dem_ = out[OUT_DEM];

  if (out[OUT_TAP] == 1) belt_.activate();
  belt_.react();
  if (out[OUT_BRF] == 1) gate_.activate_out();
  if (out[OUT_BRO] == 1) gate_.activate_in();
  gate_.react();
  if (gate_.actual_position() > gate_closed_to) gate_.unreact();  // against its stop
  const bool to_left = out[OUT_WAG] == 1, to_right = out[OUT_WAD] == 1;
  if (to_left && !to_right) {
    wagon_.left();
  } else if (to_right && !to_left) {
    wagon_.right();
  } else {
    wagon_.stop();
  }
  wagon_.react();
  if (out[OUT_EGA] == 1) left_ejector_.activate_out();
  if (out[OUT_EGR] == 1) left_ejector_.activate_in();
  left_ejector_.react();
  if (out[OUT_EDA] == 1) right_ejector_.activate_out();
  right_ejector_.react();

  // A paddle only pushes: going back, it lets its box go (the wagon takes it again if it still
  // lies wholly on the tray).
  if (left_ejector_.actual_position() < left_ejector_.last_position()) left_paddle_.unlink();
  if (right_ejector_.actual_position() < right_ejector_.last_position()) right_paddle_.unlink();

  // A device that did not move pushes nothing: its drawing is only its painting, left out
  // unless asked for.
  auto moved = [this](double now, double before) { return paint_devices_ || now != before; };
  if (moved(belt_.traveling(), belt_.previous_travel_value())) belt_.draw();
  for (box& b : boxes_) {
    if (b.piece->actual_first_xpos() > belt_x + belt_length) belt_.supp_ppart(b.piece);
  }
  if (moved(gate_.actual_position(), gate_.last_position())) gate_.draw();
  move_wagon();
  take_from_wagon(left_paddle_, true,
                  left_ejector_.actual_position() > left_ejector_.last_position());
  if (moved(left_ejector_.actual_position(), left_ejector_.last_position())) left_ejector_.draw();
  take_from_wagon(right_paddle_, false,
                  right_ejector_.actual_position() > right_ejector_.last_position());
  if (moved(right_ejector_.actual_position(), right_ejector_.last_position()))
    right_ejector_.draw();
  paint_devices_ = false;
  // A box pushed clear of the tray is let go and falls.
  for (movepart* paddle : {&left_paddle_, &right_paddle_}) {
    movepart* pushed = paddle->part_have_link();
    if (pushed != nullptr && !overlaps_horizontally(*pushed, tray_)) paddle->unlink();
  }
  return fall_and_land();
}

bool sorter_plant::fall_and_land() {
  for (auto it = boxes_.begin(); it != boxes_.end();) {
    movepart* p = it->piece;
    if (p->is_linked()) {  // carried by the wagon or an ejector
      ++it;
      continue;
    }
    const double y0 = p->ypos();
    p->fall();
    if (p->ypos() != y0) {
      ++it;
      continue;
    }
    // At rest. Wholly on the wagon's tray, the wagon takes it (one box at a time); a box across
    // the tray's edge is not held and falls off when the wagon leaves.
    if (p->actual_last_ypos() == tray_top && p->actual_first_xpos() >= tray_.actual_first_xpos() &&
        p->actual_last_xpos() <= tray_.actual_last_xpos() && tray_.part_have_link() == nullptr) {
      tray_.link(p);
      wagon_.load();
      ++it;
      continue;
    }
    if (p->actual_last_ypos() >= floor_y) {
      const double first = p->actual_precision_first_xpos(), last = p->actual_precision_last_xpos();
      bin_side side;
      if (first >= left_bin_in && last <= left_bin_out) {
        side = bin_side::left;
      } else if (first >= right_bin_in && last <= right_bin_out) {
        side = bin_side::right;
      } else {
        return false;  // on the floor
      }
      deliveries_.push_back({it->number, it->kind, side});
      auto done = it++;
      remove(done);
      continue;
    }
    // Below the wagon's level and stopped short of the floor: it has fallen past the wagon.
    if (p->actual_first_ypos() > tray_top) return false;
    ++it;
  }
  return true;
}

void sorter_plant::remove(std::list<box>::iterator b) {
  belt_.supp_ppart(b->piece);
  delete b->piece;
  boxes_.erase(b);
}

void sorter_plant::draw_all() {
  // Every part but the belt's bed, which the belt's own drawing covers.
  for (int i = 0; i < manager_.part_count(); ++i) {
    movepart* p = manager_.part(i);
    if (p != scenery_.front().get()) p->draw();
  }
}

int sorter_plant::count(bin_side bin, box_kind kind) const {
  int n = 0;
  for (const delivery& d : deliveries_)
    if (d.bin == bin && d.kind == kind) ++n;
  return n;
}

void sorter_plant::look(std::string& look) const {
  for (int i = 0; i < manager_.part_count(); ++i) {
    const movepart* p = manager_.part(i);
    append_look(look, p->xpos());
    append_look(look, p->ypos());
  }
  append_look(look, belt_.traveling());
  append_look(look, gate_.actual_position());
  append_look(look, gate_.last_position());
  append_look(look, wagon_.xpos());
  append_look(look, wagon_.previous_xpos());
  append_look(look, wagon_.is_loaded());
  append_look(look, left_ejector_.actual_position());
  append_look(look, right_ejector_.actual_position());
  append_look(look, deliveries_.size());
}

void sorter_plant::look_within(int x, int y, int w, int h, std::string& look) const {
  for (int i = 0; i < manager_.part_count(); ++i) {
    movepart* p = manager_.part(i);
    if (p->element_count() == 0) continue;
    if (p->actual_last_xpos() < x || p->actual_first_xpos() >= x + w) continue;
    if (p->actual_last_ypos() < y || p->actual_first_ypos() >= y + h) continue;
    append_look(look, i);
    append_look(look, p->xpos());
    append_look(look, p->ypos());
  }
}

std::string sorter_plant::positions() const {
  std::string s;
  char line[96];
  for (int i = 0; i < manager_.part_count(); ++i) {
    movepart* p = manager_.part(i);
    std::snprintf(line, sizeof line, "%.3f %.3f\n", p->xpos(), p->ypos());
    s += line;
  }
  std::snprintf(line, sizeof line, "belt %.3f gate %.3f wagon %.3f ejectors %.3f %.3f\n",
                belt_.traveling(), gate_.actual_position(), wagon_.xpos(),
                left_ejector_.actual_position(), right_ejector_.actual_position());
  s += line;
  return s;
}
