// sudz-sfc: a controller that runs a sequential function chart.
//
//   sudz sudz-sfc chart.sfc [--view] [--vcd FILE] [--svg FILE]
//   sudz-sfc --check [--plant sudz|sudz-sorter|IN,.../OUT,...] chart.sfc
//
// Started by a simulator, which appends "-automemlink <ident>": reads the
// chart, checks it against the plant's signal names, then runs one scan
// per new set of inputs until the simulation ends.
#include <FL/Fl.H>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plcengine/sfc_program.h"
#include "plcrun/controller.h"
#include "plcview/chart_layout.h"
#include "plcview/chart_window.h"

namespace {

const char help_text[] =
    "usage: sudz sudz-sfc [options] CHART\n"
    "       sudz-sfc --check [--plant PLANT] CHART\n"
    "\n"
    "A controller that runs a sequential function chart written in text\n"
    "(STEP, TRANSITION, ACTION, VAR). A simulator starts it with\n"
    "\"-automemlink <ident>\"; it checks the chart against the plant's signal\n"
    "names, then runs one scan per new set of inputs until the simulation ends.\n"
    "\n"
    "  --check        check the chart and stop; prints errors and warnings\n"
    "  --plant PLANT  names to check against without a simulator: sudz,\n"
    "                 sudz-sorter, sudz-gate, sudz-tank or INPUT,.../OUTPUT,...\n"
    "                 (default: the known plant whose names fit)\n"
    "  --view         open a window with the chart and its active steps\n"
    "  --svg FILE     write the chart drawn as an SVG file\n"
    "  --vcd FILE     write every step's activity, the inputs and the outputs\n"
    "                 over the run as a VCD file (GTKWave)\n"
    "  --help         this text\n"
    "\n"
    "Errors are shown as file:line:column: message, with the line and a caret;\n"
    "the chart then does not run and every output stays 0 (exit status 1).\n"
    "See sudz-sfc(1) for the language and the exact order of a scan.\n";

const plc::controller_texts texts = {
    "sudz-sfc", help_text,
    "usage: sudz sudz-sfc [--view] [--vcd FILE] [--svg FILE] CHART\n"
    "       sudz-sfc --check [--plant PLANT] CHART   (sudz-sfc --help for more)\n",
    "chart"};

}  // namespace

int main(int argc, char** argv) {
  bool view = false;
  std::string svg;
  const plc::controller_options o = plc::parse_controller_options(
      argc, argv, texts, [&](const std::string& a, const std::function<std::string()>& value) {
        if (a == "--view") return view = true;
        if (a != "--svg") return false;
        svg = value();
        return true;
      });
  plc::controller ctl(argc, argv, o);

  std::string text;
  if (!plc::read_text_file(o.file, &text))
    return ctl.fail("sudz-sfc: cannot read " + o.file + ": " + std::strerror(errno) + "\n");
  sfc::loaded_chart chart;
  if (!plc::load_chart_file(ctl, o, texts, text, &chart)) return 1;
  const sfc::chart& c = chart.c;

  std::string error;
  if (!svg.empty() && !sfc::write_chart_svg(c, svg, &error))
    return ctl.fail("sudz-sfc: " + error + "\n");
  if (o.check) {
    std::printf("%s: no error (%zu steps, %zu transitions; signals of %s)\n", o.file.c_str(),
                c.steps.size(), c.transitions.size(),
                chart.names.plant.empty() ? "--plant" : chart.names.plant.c_str());
    return 0;
  }
  if (!ctl.linked()) {
    if (!svg.empty()) return 0;
    plc::usage_error(texts, "no exchange area; start it from a simulator (sudz sudz-sfc " + o.file +
                                ") or check it with --check");
  }

  plc::runtime rt;
  plc::error err;
  if (!rt.load(chart.prog, &err)) return ctl.fail(err.text() + "\n");
  const plc::binding bound = sfc::chart_binding(chart.names);
  plc::vcd_file vcd;
  std::vector<int> traced;
  if (!o.vcd.empty()) {
    std::vector<plc::vcd_file::signal> signals;
    plc::vcd_signals(rt.prog(), bound, false, true, &signals, &traced);
    if (!vcd.open(o.vcd, c.name, signals, &error)) return ctl.fail("sudz-sfc: " + error + "\n");
  }
  sfc::chart_layout layout;
  std::unique_ptr<sfc::chart_window> window;
  plc::controller::hooks hooks;
  if (view) {
    layout = sfc::layout_chart(c);
    window.reset(new sfc::chart_window(c, chart.names, layout));
    window->show();
    hooks.idle = [] { Fl::check(); };
    hooks.scanned = [&](std::int64_t) { window->update(rt, bound); };
  }
  return ctl.run(rt, bound, &vcd, traced, hooks);
}
