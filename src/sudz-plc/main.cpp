// sudz-plc: a controller that runs the program of a PLC editor's project
// (or a textual chart, as sudz-sfc does).
//
//   sudz sudz-plc project.xml [--pou NAME] [--map flat|openplc] [--view] [--svg FILE]
//   sudz-plc --check [--plant PLANT] [--pou NAME] [--map flat|openplc] FILE
//
// Started by a simulator, which appends "-automemlink <ident>": reads the
// project, binds its variables to the plant's signals, prints the map, then
// runs one scan per new set of inputs until the simulation ends.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <FL/Fl.H>
#include <string>
#include <vector>

#include "plcengine/binding.h"
#include "plcengine/project.h"
#include "plcengine/runtime.h"
#include "plcengine/sfc_program.h"
#include "plcengine/vcd.h"
#include "plcrun/controller.h"
#include "plcview/body_watch.h"
#include "plcview/chart_layout.h"
#include "plcview/chart_window.h"

namespace {

const char help_text[] =
    "usage: sudz sudz-plc [options] FILE\n"
    "       sudz-plc --check [--plant PLANT] [options] FILE\n"
    "\n"
    "A controller that runs a program saved by a PLC editor: a PLCopen XML\n"
    "project (.xml) or a Structured Text file (PROGRAM ... END_PROGRAM), or\n"
    "a textual chart as sudz-sfc runs it (.sfc, or any file with INITIAL_STEP).\n"
    "A simulator starts it with \"-automemlink <ident>\"; it binds the\n"
    "program's variables to the plant's signals, prints the map, then runs\n"
    "one scan per new set of inputs until the simulation ends.\n"
    "\n"
    "  --pou NAME     the program to run when the file holds several\n"
    "  --map MAP      addresses of located variables: flat (default: input k\n"
    "                 is %IX(k/8).(k%8) and %IWk) or openplc (the same from\n"
    "                 %IX100.0 and %IW100; outputs likewise with %Q)\n"
    "  --check        check the program and its binding, print the map, stop\n"
    "  --plant PLANT  signals to check against without a simulator: sudz,\n"
    "                 sudz-sorter, sudz-gate, sudz-tank or INPUT,.../OUTPUT,...\n"
    "                 (default: the known plant the program fits)\n"
    "  --vcd FILE     write every variable (and a chart's steps) over the run as\n"
    "                 a VCD file (GTKWave)\n"
    "  --view         open a window with the program as drawn in the editor:\n"
    "                 what conducts and the active steps in green, the value\n"
    "                 on every pin, the plant's inputs and outputs beside it\n"
    "  --svg FILE     write that drawing as it starts (before the first scan)\n"
    "                 as an SVG file; also with --check\n"
    "  --help         this text\n"
    "\n"
    "A variable named as a plant signal (any case) is that signal. What the\n"
    "program uses and sudz-plc does not run is refused by name, as\n"
    "file:line: POU name, element localId N: <element> is not supported;\n"
    "the program then does not run and every output stays 0 (exit status 1).\n"
    "See sudz-plc(1) for the languages, the scan and the timers.\n";

const plc::controller_texts texts = {
    "sudz-plc", help_text,
    "usage: sudz sudz-plc [--pou NAME] [--map flat|openplc] [--view] [--svg FILE] FILE\n"
    "       sudz-plc --check [--plant PLANT] FILE   (sudz-plc --help for more)\n",
    "file"};

struct options : plc::controller_options {
  std::string pou, svg;
  bool view = false;
  plc::address_map map = plc::address_map::flat;
};

options parse_options(int argc, char** argv) {
  options o;
  const auto extra = [&](const std::string& a, const std::function<std::string()>& value) {
    if (a == "--pou") {
      o.pou = value();
    } else if (a == "--view") {
      o.view = true;
    } else if (a == "--svg") {
      o.svg = value();
    } else if (a == "--map") {
      const std::string m = value();
      if (m == "flat")
        o.map = plc::address_map::flat;
      else if (m == "openplc")
        o.map = plc::address_map::openplc;
      else
        plc::usage_error(texts, "unknown map \"" + m + "\" (flat or openplc)");
    } else {
      return false;
    }
    return true;
  };
  static_cast<plc::controller_options&>(o) =
      plc::parse_controller_options(argc, argv, texts, extra);
  return o;
}

// A textual chart, run as a program of its own and bound by name.
bool load_chart(const options& o, const std::string& text, plc::controller& ctl, plc::runtime* rt,
                plc::plant_signals* plant, plc::binding* bound, sfc::loaded_chart* loaded) {
  sfc::loaded_chart& chart = *loaded;
  if (!plc::load_chart_file(ctl, o, texts, text, &chart)) return false;
  plc::error err;
  if (!rt->load(chart.prog, &err)) {
    ctl.fail(err.text() + "\n");
    return false;
  }
  *plant = chart.names;
  *bound = sfc::chart_binding(chart.names);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const options o = parse_options(argc, argv);

  // The link first, so that every failure below leaves the outputs at 0.
  plc::controller ctl(argc, argv, o);
  auto fail = [&](const std::string& text) { return ctl.fail(text); };

  std::string text;
  if (!plc::read_text_file(o.file, &text))
    return fail("sudz-plc: cannot read " + o.file + ": " + std::strerror(errno) + "\n");
  plc::runtime rt;
  plc::error err;
  plc::plant_signals plant;
  plc::binding bound;
  sfc::loaded_chart chart;
  const bool is_chart = sfc::is_chart_file(o.file, text);
  if (is_chart) {
    if (!load_chart(o, text, ctl, &rt, &plant, &bound, &chart)) return 1;
  } else {
    plc::project proj;
    if (!plc::read_project(text, o.file, &proj, &err)) return fail(err.text() + "\n");
    const plc::program* chosen = nullptr;
    if (!plc::choose_program(proj, o.pou, &chosen, &err)) return fail(err.text() + "\n");
    if (!rt.load(*chosen, &err)) return fail(err.text() + "\n");
    const plc::program& prog = rt.prog();

    if (ctl.linked()) {
      plant = ctl.signals();
      if (!plc::bind(prog, plant, o.map, &bound, &err)) return fail(err.text() + "\n");
    } else if (!o.plant.empty()) {
      std::string message;
      if (!plc::plant_signals_of(o.plant, &plant, &message)) plc::usage_error(texts, message);
      if (!plc::bind(prog, plant, o.map, &bound, &err)) return fail(err.text() + "\n");
    } else {
      // The known plant the program fits: it binds, with the most signals.
      int best = -1;
      plc::error first_error;
      for (const plc::plant_signals& p : plc::known_plants()) {
        plc::binding b;
        plc::error e;
        if (!plc::bind(prog, p, o.map, &b, &e)) {
          if (first_error.message.empty()) first_error = e;
          continue;
        }
        const int n = static_cast<int>(b.inputs.size() + b.outputs.size());
        if (n > best) best = n, plant = p, bound = b;
      }
      if (best < 0) return fail(first_error.text() + "\n");
    }
  }
  const plc::program& prog = rt.prog();

  const std::string map = plc::describe(prog, plant, o.map, bound);
  // The drawing: a textual chart laid out as sudz-sfc draws it, any other
  // program as its editor placed it.
  plcview::body_watch watch;
  if (!o.svg.empty() || (o.view && ctl.linked() && !o.check)) {
    std::string message;
    const bool drawn = is_chart ? (o.svg.empty() || sfc::write_chart_svg(chart.c, o.svg, &message))
                                : watch.open(text, rt, plant.inputs, plant.outputs, &message) &&
                                      (o.svg.empty() || watch.write_svg(o.svg, &message));
    if (!drawn) return fail("sudz-plc: " + message + "\n");
  }
  if (o.check) {
    for (const plc::error& w : bound.warnings) std::fprintf(stderr, "%s\n", w.text().c_str());
    std::fputs(map.c_str(), stdout);
    std::printf("%s: no error (program %s; signals of %s)\n", o.file.c_str(), prog.name.c_str(),
                plant.plant.empty() ? "--plant" : plant.plant.c_str());
    return 0;
  }
  if (!ctl.linked())
    plc::usage_error(texts, "no exchange area; start it from a simulator (sudz sudz-plc " + o.file +
                                ") or check it with --check");
  std::fputs(map.c_str(), stdout);
  std::fflush(stdout);

  // The VCD: a chart's steps, then the inputs, the outputs and the other
  // variables the student declared.
  plc::vcd_file vcd;
  std::vector<int> traced;
  if (!o.vcd.empty()) {
    std::vector<plc::vcd_file::signal> signals;
    plc::vcd_signals(prog, bound, true, false, &signals, &traced);
    std::string message;
    if (!vcd.open(o.vcd, prog.name, signals, &message)) return fail("sudz-plc: " + message + "\n");
  }
  plc::controller::hooks hooks;
  sfc::chart_layout layout;
  std::unique_ptr<sfc::chart_window> window;
  if (o.view && is_chart) {
    layout = sfc::layout_chart(chart.c);
    window.reset(new sfc::chart_window(chart.c, chart.names, layout, "sudz-plc"));
    window->show();
    hooks.idle = [] { Fl::check(); };
    hooks.scanned = [&](std::int64_t) { window->update(rt, bound); };
  } else if (o.view) {
    watch.show_window();
    std::vector<int> inputs(plant.inputs.size()), outputs(plant.outputs.size());
    hooks.idle = [&] { watch.poll(); };
    hooks.scanned = [&, inputs, outputs](std::int64_t) mutable {
      for (size_t i = 0; i < inputs.size(); ++i) inputs[i] = ctl.input(static_cast<int>(i));
      for (const plc::link& l : bound.outputs) outputs[l.signal] = plc::signal_value(rt.get(l.var));
      watch.after_scan(rt, inputs, outputs);
    };
  }
  return ctl.run(rt, bound, &vcd, traced, hooks);
}
