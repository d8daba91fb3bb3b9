// A textual chart as a program of the runtime, run under the textual rule
// (chart_rule::textual): the chart's own meaning, where every value is a
// 64-bit integer, a BOOL 0 or 1 and a TIME milliseconds.
//
// The program holds, in this order: one variable per plant input (LINT,
// the raw value), one per plant output (BOOL), the chart's variables (BOOL,
// LINT for INT, TIME), then hidden ones: what drives each output during a
// scan, the edges, and the steps' X and T. Outputs read in conditions and
// actions are those the previous scan left; the driven values reach the
// outputs once the actions have run.
#ifndef PLCENGINE_SFC_PROGRAM_H
#define PLCENGINE_SFC_PROGRAM_H

#include <string>

#include "plcengine/binding.h"
#include "plcengine/program.h"
#include "plcengine/sfc_chart.h"
#include "plcengine/sfc_check.h"

namespace sfc {

// c must have passed check_chart against names; names it does not know
// read 0. file names the chart in messages.
plc::program chart_program(const chart& c, const plant_names& names, const std::string& file);

// Input k and output k of the plant are variables k and inputs + k of
// chart_program's program.
plc::binding chart_binding(const plant_names& names);

// A chart file read and checked against a plant, ready to run.
struct loaded_chart {
  chart c;
  plant_names names;
  check_result checked;
  // Every error, then (with warnings asked for) every warning, each as
  // format_error writes it.
  std::string report;
  plc::program prog;  // only when there is no error
};

// Reads text (the file's whole text) and checks it against given, or,
// without it, against the known plant whose names fit the chart best.
// False when the chart has an error: report says which.
bool load_chart(const std::string& file, const std::string& text, const plant_names* given,
                bool warnings, loaded_chart* out);

// Whether a file is a textual chart: its name ends in ".sfc" (any case), or
// it is not XML and, outside comments, holds the word INITIAL_STEP, which
// every chart has and the Structured Text this system reads never does.
bool is_chart_file(const std::string& file, const std::string& text);

}  // namespace sfc

#endif
