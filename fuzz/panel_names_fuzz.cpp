// libFuzzer target: any bytes as the list after sudz-panel --inputs or --outputs. A list that is
// taken must hold what the exchange area can: 1 to 41 names, each 1 to 49 characters.
#include <cstdint>
#include <cstdlib>
#include <list>
#include <string>

#include "sudz-panel/panel_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  std::list<std::string> names;
  std::string error;
  if (!panel_names(list, "--inputs", &names, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (names.empty() || names.size() > 41) std::abort();
  for (const std::string& n : names)
    if (n.empty() || n.size() > 49 || n.find(',') != std::string::npos) std::abort();
  return 0;
}
