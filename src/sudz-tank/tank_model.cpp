#include "tank_model.h"

#include <algorithm>
#include <cmath>

const char* const tank_signals[tank_input_count + tank_output_count] = {
    "Lt", "Tt", "Ft", "Lh", "Ll", "SPl", "SPt", "Aut", "Vin", "Pch", "Agi"};

namespace {

constexpr int probe_delay_cycles =
    static_cast<int>(tank_model::probe_delay_s / tank_model::cycle_s + 0.5);

int clamp_int(int v, int lo, int hi) {
  return std::min(std::max(v, lo), hi);
}

int round_int(double v) {
  return static_cast<int>(std::lround(v));
}

}  // namespace

tank_model::tank_model(std::uint64_t seed) : delay_(probe_delay_cycles, cold_c), random_(seed) {}

double tank_model::noise() {
  // splitmix64: the same numbers on every machine and library, unlike <random>'s
  // distributions. The sum of four uniform draws is near enough to normal for a sensor.
  double sum = 0;
  for (int k = 0; k < 4; ++k) {
    std::uint64_t z = (random_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    sum += static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
  }
  return (sum - 2.0) * 1.7320508075688772;  // variance of the sum: 1/3
}

void tank_model::compute_inputs(const tank_operator& op, int in[tank_input_count]) {
  const double level = level_ + level_noise_mm * noise();
  const double temperature = probe_c_ + temperature_noise_c * noise();
  const double flow = outflow_lps_ * (1 + flow_noise * noise());
  in[IN_LT] = clamp_int(round_int(level), 0, static_cast<int>(height_mm));
  in[IN_TT] = clamp_int(round_int(temperature * 10), 0, 1000);
  in[IN_FT] = std::max(0, round_int(flow * 600));  // l/s to 0.1 l/min
  in[IN_LH] = level_ >= high_switch_mm ? 1 : 0;
  in[IN_LL] = level_ <= low_switch_mm ? 1 : 0;
  in[IN_SPL] = op.level_set_point;
  in[IN_SPT] = op.temperature_set_point;
  in[IN_AUT] = op.automatic ? 1 : 0;
}

tank_alarm tank_model::step(const int out[tank_output_count], int draw_off) {
  const double dt = cycle_s;
  const double command = clamp_int(out[OUT_VIN], 0, 100);
  heater_ = clamp_int(out[OUT_PCH], 0, 100);
  stirring_ = out[OUT_AGI] >= 1;
  const double opening = clamp_int(draw_off, 0, 100) / 100.0;

  // The inlet valve moves towards its command at a full stroke per valve_stroke_s.
  const double rate = 100 / valve_stroke_s * dt;
  valve_ += std::max(-rate, std::min(rate, command - valve_));

  // Mass balance: l/s, 1 l is 10 mm of level.
  const double q_in = inflow();
  outflow_lps_ = outflow_lps * opening * std::sqrt(std::max(level_, 0.0) / height_mm);
  level_ += (q_in - outflow_lps_) / kg_per_mm * dt;
  level_ = std::max(level_, 0.0);

  // Heat balance of the two zones, in degC. A nearly empty tank keeps a small mass, so that
  // the balance stays defined; its water is then the inflow's.
  const double mass = std::max(level_ * kg_per_mm, 0.5);
  const double m_element = element_share * mass, m_bulk = mass - m_element;
  const double mixing = stirring_ ? mixing_kgps_on : mixing_kgps_off;
  const double exchange = mixing * (element_c_ - bulk_c_);
  const double power = heater_ / 100 * heater_w / water_j_per_kg_k;  // kg.K/s
  const double loss = loss_w_per_k / water_j_per_kg_k * (bulk_c_ - room_c);
  element_c_ += (power - exchange) / m_element * dt;
  bulk_c_ += (exchange + q_in * (cold_c - bulk_c_) - loss) / m_bulk * dt;
  // Water boils away at 100 degC rather than heating further.
  element_c_ = std::min(std::max(element_c_, 0.0), 100.0);
  bulk_c_ = std::min(std::max(bulk_c_, 0.0), 100.0);

  // The probe: the bulk as it was probe_delay_s ago, through its lag.
  const double seen = delay_[delay_at_];
  delay_[delay_at_] = bulk_c_;
  delay_at_ = (delay_at_ + 1) % delay_.size();
  probe_c_ += (seen - probe_c_) * dt / probe_lag_s;

  if (level_ >= height_mm) {
    level_ = height_mm;
    return tank_alarm::overflow;
  }
  if (heater_ > 0 && level_ < element_mm) return tank_alarm::dry_heater;
  return tank_alarm::none;
}

void tank_model::set_state(double level_mm, double temperature_c, double valve_percent) {
  level_ = level_mm;
  bulk_c_ = element_c_ = probe_c_ = temperature_c;
  std::fill(delay_.begin(), delay_.end(), temperature_c);
  valve_ = valve_percent;
}
