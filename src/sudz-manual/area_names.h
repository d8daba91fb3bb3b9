// The signal names laid out in an exchange area, read by a controller that wants to show them.
#ifndef SUDZ_MANUAL_AREA_NAMES_H
#define SUDZ_MANUAL_AREA_NAMES_H

#include <string>
#include <vector>

struct area_names {
  std::vector<std::string> inputs;   // input i is inputs[i]
  std::vector<std::string> outputs;  // output i is outputs[i]
};

// Reads the names of the area of segment ident through a read-only attach of its own, which it
// releases. Counts outside 0..41 are cut to that range and each name to its 50-byte slot. An
// area that cannot be attached: a message on standard error and exit status 1.
area_names read_area_names(int ident);

#endif
