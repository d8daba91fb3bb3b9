#include "sudz-panel/panel_options.h"

#include <cstring>
#include <iterator>

#include "IOshare/exchange_area.h"
#include "plantkit/plant_start.h"

namespace {

// The washing machine's names, inputs then outputs: what a controller written for it expects.
const char* const machine_inputs[] = {"T",    "Niv",  "Vide", "Tr",   "St",  "Prel",
                                      "Lav",  "Rinc", "Ess",  "T1mt", "T5mt"};
const char* const machine_outputs[] = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                       "AvL", "ArL", "AvR", "T1m", "T5m"};

// Splits "A,B,C" at commas; refuses what the area cannot hold.
bool split_names(const std::string& list, const char* option, std::list<std::string>* names,
                 std::string* error) {
  return panel_names(list, option, names, error);
}

}  // namespace

panel_options parse_panel_options(int argc, char** argv) {
  panel_options o;
  o.inputs.assign(std::begin(machine_inputs), std::end(machine_inputs));
  o.outputs.assign(std::begin(machine_outputs), std::end(machine_outputs));
  int i = 1;
  for (; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0) {
      o.help = true;
      return o;
    }
    const bool in = std::strcmp(a, "--inputs") == 0;
    const bool out = std::strcmp(a, "--outputs") == 0;
    if (!in && !out) break;
    if (i + 1 >= argc) {
      o.error = std::string(a) + " needs a list of names";
      return o;
    }
    if (!split_names(argv[++i], a, in ? &o.inputs : &o.outputs, &o.error)) return o;
  }
  // What is left is the controller command, built as the simulator builds it.
  o.command = controller_command(argc - i + 1, argv + i - 1);
  return o;
}
