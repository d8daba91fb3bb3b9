// What a chart means, checked before it runs: every name known, every step
// defined once and reachable, an initial step, and no output driven by two
// steps that can be active together.
//
// Errors stop the chart; warnings (alternative transitions whose
// conditions may hold together, where the first in the text wins) are only
// shown by --check.
#ifndef PLCENGINE_SFC_CHECK_H
#define PLCENGINE_SFC_CHECK_H

#include <vector>

#include "plcengine/sfc_chart.h"

namespace sfc {

struct check_result {
  std::vector<chart_error> errors;    // in the order of the text
  std::vector<chart_error> warnings;  // in the order of the text
};

// Checks c against the plant's names. With names null, signal names are
// not looked at (only the structure is checked).
check_result check_chart(const chart& c, const plant_names* names);

// Pairs of steps that can be active together, found by following every
// transition whatever its condition. co[a][b] is true for such a pair.
// Charts whose situations are too many to follow give what was found
// within the bound (complete set false).
std::vector<std::vector<bool>> coactive_steps(const chart& c, bool* complete = nullptr);

}  // namespace sfc

#endif
