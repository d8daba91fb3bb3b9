#include "sudz-manual/area_names.h"

#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "IOshare/exchange_area.h"

namespace {

std::vector<std::string> names_of(const char (*slots)[ioshare::kNameSlotSize], int count) {
  std::vector<std::string> names;
  count = std::min(std::max(count, 0), ioshare::kMaxSignals);
  for (int i = 0; i < count; ++i)
    names.emplace_back(slots[i], strnlen(slots[i], ioshare::kNameSlotSize));
  return names;
}

}  // namespace

area_names read_area_names(int ident) {
  void* p = shmat(ident, nullptr, SHM_RDONLY);
  if (p == reinterpret_cast<void*>(-1)) {
    std::fprintf(stderr, "sudz-manual: cannot read the names of exchange area %d\n", ident);
    std::exit(1);
  }
  const auto* area = static_cast<const ioshare::exchange_area*>(p);
  area_names names;
  names.inputs = names_of(area->input_names, area->nb_inputs);
  names.outputs = names_of(area->output_names, area->nb_outputs);
  shmdt(p);
  return names;
}
