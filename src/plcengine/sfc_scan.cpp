#include "plcengine/sfc_scan.h"

#include "plcengine/sfc_program.h"

namespace sfc {

chart_scan::chart_scan(const chart& c, const plant_names& names) {
  n_inputs_ = static_cast<int>(names.inputs.size());
  var_base_ = n_inputs_ + static_cast<int>(names.outputs.size());
  outputs_.assign(names.outputs.size(), 0);
  plc::error err;
  // A checked chart always loads; one that does not stays without steps.
  if (!rt_.load(chart_program(c, names, c.name), &err)) rt_.load(plc::program(), &err);
}

void chart_scan::scan(const int* inputs, std::int64_t now_ms) {
  for (int i = 0; i < n_inputs_; ++i) rt_.set(i, plc::value::of_int(plc::type::LINT, inputs[i]));
  rt_.scan(now_ms);
  changed_ = !rt_.cleared().empty();
  if (rt_.scans() == 1)
    for (const plc::chart_step& s : rt_.prog().chart.steps) changed_ = changed_ || s.initial;
  for (size_t o = 0; o < outputs_.size(); ++o)
    outputs_[o] = rt_.get(n_inputs_ + static_cast<int>(o)).truth() ? 1 : 0;
}

}  // namespace sfc
