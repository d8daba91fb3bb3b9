#include "sudz-panel/panel_options.h"

#include <cstring>

#include "IOshare/exchange_area.h"
#include "sudz/startup.h"

namespace {

// Splits "A,B,C" at commas; refuses what the area cannot hold.
bool split_names(const std::string& list, const char* option, std::list<std::string>* names,
                 std::string* error) {
  return panel_names(list, option, names, error);
}

}  // namespace

panel_options parse_panel_options(int argc, char** argv) {
  panel_options o;
  for (int i = 0; i < 11; ++i) o.inputs.emplace_back(table_signaux[i]);
  for (int i = 11; i < 22; ++i) o.outputs.emplace_back(table_signaux[i]);
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
