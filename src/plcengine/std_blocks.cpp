#include "plcengine/std_blocks.h"

#include <algorithm>
#include <limits>

#include "plcengine/program.h"

namespace plc {

namespace {

const struct {
  const char* name;
  fb_kind kind;
  std::vector<fb_param> params;
} blocks[] = {
    {"TON",
     fb_kind::TON,
     {{"IN", type::BOOL, false},
      {"PT", type::TIME, false},
      {"Q", type::BOOL, true},
      {"ET", type::TIME, true}}},
    {"TOF",
     fb_kind::TOF,
     {{"IN", type::BOOL, false},
      {"PT", type::TIME, false},
      {"Q", type::BOOL, true},
      {"ET", type::TIME, true}}},
    {"TP",
     fb_kind::TP,
     {{"IN", type::BOOL, false},
      {"PT", type::TIME, false},
      {"Q", type::BOOL, true},
      {"ET", type::TIME, true}}},
    {"CTU",
     fb_kind::CTU,
     {{"CU", type::BOOL, false},
      {"R", type::BOOL, false},
      {"PV", type::INT, false},
      {"Q", type::BOOL, true},
      {"CV", type::INT, true}}},
    {"CTD",
     fb_kind::CTD,
     {{"CD", type::BOOL, false},
      {"LD", type::BOOL, false},
      {"PV", type::INT, false},
      {"Q", type::BOOL, true},
      {"CV", type::INT, true}}},
    {"CTUD",
     fb_kind::CTUD,
     {{"CU", type::BOOL, false},
      {"CD", type::BOOL, false},
      {"R", type::BOOL, false},
      {"LD", type::BOOL, false},
      {"PV", type::INT, false},
      {"QU", type::BOOL, true},
      {"QD", type::BOOL, true},
      {"CV", type::INT, true}}},
    {"R_TRIG", fb_kind::R_TRIG, {{"CLK", type::BOOL, false}, {"Q", type::BOOL, true}}},
    {"F_TRIG", fb_kind::F_TRIG, {{"CLK", type::BOOL, false}, {"Q", type::BOOL, true}}},
    {"SR",
     fb_kind::SR,
     {{"S1", type::BOOL, false}, {"R", type::BOOL, false}, {"Q1", type::BOOL, true}}},
    {"RS",
     fb_kind::RS,
     {{"S", type::BOOL, false}, {"R1", type::BOOL, false}, {"Q1", type::BOOL, true}}},
};

}  // namespace

bool fb_kind_of(const std::string& name, fb_kind* out) {
  for (const auto& b : blocks) {
    if (same_name(name, b.name)) {
      *out = b.kind;
      return true;
    }
  }
  return false;
}

const char* fb_name(fb_kind k) {
  return blocks[static_cast<int>(k)].name;
}
const std::vector<fb_param>& params_of(fb_kind k) {
  return blocks[static_cast<int>(k)].params;
}

int param_index(fb_kind k, const std::string& name) {
  const auto& ps = params_of(k);
  for (size_t i = 0; i < ps.size(); ++i)
    if (same_name(name, ps[i].name)) return static_cast<int>(i);
  return -1;
}

fb_instance::fb_instance(fb_kind k) : kind(k) {
  for (const fb_param& fp : params_of(k)) p.push_back(convert(value::of_int(type::LINT, 0), fp.t));
}

void fb_instance::call(std::int64_t now) {
  auto b = [&](int i) { return p[i].truth(); };
  auto set_b = [&](int i, bool v) { p[i] = value::of_bool(v); };
  auto set_t = [&](int i, std::int64_t v) { p[i] = value::of_int(p[i].t, v); };
  const std::int64_t int_max = std::numeric_limits<std::int16_t>::max();
  const std::int64_t int_min = std::numeric_limits<std::int16_t>::min();
  switch (kind) {
    case fb_kind::TON: {
      const bool in = b(0);
      const std::int64_t pt = p[1].i;
      if (!in) {
        running = false;
        set_b(2, false), set_t(3, 0);
      } else {
        if (!running) running = true, start = now;
        const std::int64_t et = std::min(now - start, pt);
        set_t(3, std::max<std::int64_t>(et, 0));
        set_b(2, now - start >= pt);
      }
      break;
    }
    case fb_kind::TOF: {
      const bool in = b(0);
      const std::int64_t pt = p[1].i;
      if (in) {
        running = false;
        set_b(2, true), set_t(3, 0);
      } else if (prev_in) {
        running = true, start = now;
        set_t(3, 0);
        set_b(2, pt > 0);
      } else if (running) {
        const std::int64_t et = std::min(now - start, pt);
        set_t(3, std::max<std::int64_t>(et, 0));
        if (now - start >= pt) running = false, set_b(2, false);
      }
      prev_in = in;
      break;
    }
    case fb_kind::TP: {
      const bool in = b(0);
      const std::int64_t pt = p[1].i;
      if (!running && in && !prev_in && !b(2)) running = true, start = now;
      if (running) {
        const std::int64_t et = now - start;
        if (et >= pt) {
          // ET holds PT while IN stays TRUE, and falls back with it.
          running = false;
          set_b(2, false), set_t(3, in ? pt : 0);
        } else {
          set_b(2, true), set_t(3, std::max<std::int64_t>(et, 0));
        }
      } else if (!in) {
        set_t(3, 0);
      }
      prev_in = in;
      break;
    }
    case fb_kind::CTU: {
      const bool cu = b(0);
      if (b(1))
        set_t(4, 0);
      else if (cu && !prev_in && p[4].i < int_max)
        set_t(4, p[4].i + 1);
      prev_in = cu;
      set_b(3, p[4].i >= p[2].i);
      break;
    }
    case fb_kind::CTD: {
      const bool cd = b(0);
      if (b(1))
        set_t(4, p[2].i);
      else if (cd && !prev_in && p[4].i > int_min)
        set_t(4, p[4].i - 1);
      prev_in = cd;
      set_b(3, p[4].i <= 0);
      break;
    }
    case fb_kind::CTUD: {
      const bool cu = b(0), cd = b(1);
      const bool up = cu && !prev_in, down = cd && !prev_down;
      if (b(2))
        set_t(7, 0);
      else if (b(3))
        set_t(7, p[4].i);
      else if (up && !down && p[7].i < int_max)
        set_t(7, p[7].i + 1);
      else if (down && !up && p[7].i > int_min)
        set_t(7, p[7].i - 1);
      prev_in = cu, prev_down = cd;
      set_b(5, p[7].i >= p[4].i);
      set_b(6, p[7].i <= 0);
      break;
    }
    case fb_kind::R_TRIG: {
      const bool clk = b(0);
      set_b(1, clk && !prev_in);
      prev_in = clk;
      break;
    }
    case fb_kind::F_TRIG: {
      const bool clk = b(0);
      set_b(1, !clk && prev_in);
      prev_in = clk;
      break;
    }
    case fb_kind::SR:
      set_b(2, b(0) || (!b(1) && b(2)));
      break;
    case fb_kind::RS:
      set_b(2, !b(1) && (b(0) || b(2)));
      break;
  }
}

}  // namespace plc
