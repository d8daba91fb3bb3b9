// late_sorter: a controller of the sorting line that answers every input at least LATE cycles
// late (default 20), as a PLC polling every 100 ms does. It keeps the inputs it receives and
// decides from the newest set at least LATE cycles old; its timers count the input clock as it
// comes. It sorts one box at a time and, since it cannot catch the wagon's few cycles under the
// belt, brings the wagon back by counting cycles to short of the place, then in short moves,
// each looked at once it is old enough to be seen, until "Wc".
//
//   late_sorter [--late N] -automemlink <id>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"

namespace {

enum class stage { close, ask, wait_box, open, load, to_bin, push, pull, back, look, move };

// Cycles from each limit to the loading place, at 2 pixels a cycle.
const int from_left = 147, from_right = 117;
const int short_of_place = 10;  // cycles the counted run stops short, whatever the delays
const int right_push = 75;      // the right ejector's stroke is 64 cycles

}  // namespace

int main(int argc, char** argv) {
  int late = 20;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--late") == 0) late = std::atoi(argv[i + 1]);
  IOsharemem_client io(automemlink_ident(argc, argv));
  std::map<std::string, int> index;
  for (int i = 0; i < io.input_count(); ++i) index[io.input_name(i)] = i;

  struct inputs {
    int clock;
    std::vector<int> value;
  };
  std::deque<inputs> kept;
  inputs seen{-1, std::vector<int>(io.input_count(), 0)};  // what the controller answers
  auto in = [&](const char* name) { return seen.value[index[name]]; };

  std::map<std::string, int> out;
  stage s = stage::close;
  bool large = false, to_right = false;
  int since = 0, moves = 0;  // input clock when the current timed command started; short moves
  int r;
  while ((r = io.receive()) != -1) {
    if (r == 0) continue;
    const int now = io.inputs_clock();
    kept.push_back({now, {}});
    for (int i = 0; i < io.input_count(); ++i) kept.back().value.push_back(io.input_value(i));
    while (!kept.empty() && kept.front().clock <= now - late) {
      seen = kept.front();
      kept.pop_front();
    }
    if (seen.clock < 0) continue;

    out = {{"Tap", 1}};
    switch (s) {
      case stage::close:
        out["BrF"] = 1;
        if (in("Bf")) s = stage::ask;
        break;
      case stage::ask:
        out["Dem"] = 1;
        if (in("Ent") || in("Fin")) s = stage::wait_box;
        break;
      case stage::wait_box:
        if (in("Fin")) {
          large = in("Gd") == 1;
          s = stage::open;
        }
        break;
      case stage::open:
        out["BrO"] = 1;
        if (in("Bo")) s = stage::load;
        break;
      case stage::load:
        if (in("Ch")) s = stage::to_bin;
        break;
      case stage::to_bin:
        out[large ? "WaG" : "WaD"] = 1;
        if (in(large ? "Wg" : "Wd")) {
          s = stage::push;
          since = now;
        }
        break;
      case stage::push:
        out[large ? "EgA" : "EdA"] = 1;
        if (large ? in("Egs") == 1 : now - since >= right_push) s = stage::pull;
        break;
      case stage::pull:
        if (large) out["EgR"] = 1;
        if (in(large ? "Egr" : "Edr")) {
          s = stage::back;
          to_right = large;
          since = now;
        }
        break;
      case stage::back:
        out[to_right ? "WaD" : "WaG"] = 1;
        if (now - since >= (large ? from_left : from_right) - short_of_place) {
          s = stage::look;
          since = now;
          moves = 0;
        }
        break;
      case stage::look:  // still: the inputs from after the wagon stopped tell where it stands
        if (seen.clock <= since + 2) break;
        if (in("Wc")) {
          s = stage::close;
          break;
        }
        // Past the place (many moves, or a limit reached): turn back.
        if (++moves > 12 || in(to_right ? "Wd" : "Wg")) {
          to_right = !to_right;
          moves = 0;
        }
        out[to_right ? "WaD" : "WaG"] = 1;
        s = stage::move;
        break;
      case stage::move:  // one round of moving, a few pixels
        s = stage::look;
        since = now;
        break;
    }
    for (int i = 0; i < io.output_count(); ++i) {
      const auto o = out.find(io.output_name(i));
      io.set_output(i, o == out.end() ? 0 : o->second);
    }
    io.outputs_refresh();
  }
  return 0;
}
