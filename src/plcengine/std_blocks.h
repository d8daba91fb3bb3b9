// The standard function blocks: timers, counters, edges and bistables.
//
// Each instance holds its parameters (inputs, then outputs, in the order of
// params_of) and what it remembers between calls. Timers read the time
// given to each call, so a fake clock steps them without waiting.
//
// F_TRIG gives no pulse on its first call, whatever CLK is: a falling edge
// needs CLK seen TRUE first (R_TRIG likewise pulses on a first call with
// CLK TRUE, as it rises from the FALSE it starts at).
#ifndef PLCENGINE_STD_BLOCKS_H
#define PLCENGINE_STD_BLOCKS_H

#include <cstdint>
#include <string>
#include <vector>

#include "plcengine/value.h"

namespace plc {

enum class fb_kind : std::uint8_t { TON, TOF, TP, CTU, CTD, CTUD, R_TRIG, F_TRIG, SR, RS };

struct fb_param {
  const char* name;
  type t;
  bool output;
};

// The block of that name (any case); false if it is not a standard one.
bool fb_kind_of(const std::string& name, fb_kind* out);
const char* fb_name(fb_kind k);
const std::vector<fb_param>& params_of(fb_kind k);
// Index of that parameter (any case) in params_of(k), -1 if none.
int param_index(fb_kind k, const std::string& name);

struct fb_instance {
  explicit fb_instance(fb_kind k);
  fb_kind kind;
  std::vector<value> p;
  // Memory between calls.
  bool prev_in = false, prev_down = false;
  bool running = false;
  std::int64_t start = 0;
  // Runs the block once with its current inputs, at now_ms.
  void call(std::int64_t now_ms);
};

}  // namespace plc

#endif
