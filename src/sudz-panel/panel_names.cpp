// The name lists of --inputs and --outputs, apart from the rest of the command line so that
// they can be read on their own (fuzzing).
#include "IOshare/exchange_area.h"
#include "sudz-panel/panel_options.h"

bool panel_names(const std::string& list, const char* option, std::list<std::string>* names,
                 std::string* error) {
  names->clear();
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    if (name.empty()) {
      *error = std::string("empty name in ") + option;
      return false;
    }
    if (static_cast<int>(name.size()) > ioshare::kMaxNameLength) {
      *error = std::string("name longer than 49 characters in ") + option + ": " + name;
      return false;
    }
    names->push_back(name);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (static_cast<int>(names->size()) > ioshare::kMaxSignals) {
    *error = std::string("more than 41 names in ") + option;
    return false;
  }
  return true;
}
