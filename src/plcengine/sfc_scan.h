// The chart's evolution, one scan at a time, free of the exchange area and
// of any clock: the caller gives each scan its inputs and the time. The
// chart runs as a program of the runtime (sfc_program.h).
//
// One scan, in this order:
//  1. the inputs are taken; in the first scan the initial steps become
//     active (their time starts at 0);
//  2. every RE(x) and FE(x) compares x now with x at the previous scan (0
//     before the first);
//  3. transitions, in the order of the text: one whose preceding steps are
//     all active and whose condition holds is cleared, unless an earlier
//     transition cleared in this scan already took one of those steps (the
//     first in the text wins a conflict). Conditions see the situation and
//     the outputs as the previous scan left them;
//  4. the cleared transitions' preceding steps are deactivated, then their
//     following steps activated, all at once: a step both left and entered
//     is entered again (its time restarts, its P actions run again);
//  5. actions of the new situation, target by target: N while the step is
//     active, S stores until an R, R resets (and wins over everything), P in
//     the scan the step was entered, L while the step's time is below the
//     duration, D once it has reached it. An output is 1 when one of them
//     drives it and 0 otherwise; a BOOL variable named by an association
//     takes the same value; an action block whose control is on runs its
//     assignments, blocks in the order of the text, after the associations,
//     so an assignment overrides them;
//  6. the outputs are ready for writing.
//
// Step.T is the time since the step was entered while it is active, and
// the length of its last activity once it is left. Arithmetic wraps on
// overflow; a division or MOD by 0 gives 0.
#ifndef PLCENGINE_SFC_SCAN_H
#define PLCENGINE_SFC_SCAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "plcengine/runtime.h"
#include "plcengine/sfc_chart.h"

namespace sfc {

class chart_scan {
 public:
  // c must have passed check_chart against names; names not found read 0.
  chart_scan(const chart& c, const plant_names& names);

  // One scan with these inputs (one per plant input, in order) at now_ms.
  void scan(const int* inputs, std::int64_t now_ms);

  // The outputs, one per plant output, as of the last scan.
  const std::vector<int>& outputs() const { return outputs_; }
  bool active(int step) const { return rt_.step_active(step); }
  // The step's time (Step.T) at now_ms.
  std::int64_t step_time(int step, std::int64_t now_ms) const {
    return rt_.step_time(step, now_ms);
  }
  std::int64_t variable(int index) const { return rt_.get(var_base_ + index).i; }
  // Scans so far, and whether the last one changed the active steps.
  long scans() const { return rt_.scans(); }
  bool situation_changed() const { return changed_; }
  // Transitions cleared by the last scan, by index in the chart.
  const std::vector<int>& cleared() const { return rt_.cleared(); }
  const plc::runtime& runtime() const { return rt_; }

 private:
  plc::runtime rt_;
  int n_inputs_ = 0, var_base_ = 0;
  std::vector<int> outputs_;
  bool changed_ = false;
};

}  // namespace sfc

#endif
