// sudz-plc: a controller that runs the program of a PLC editor's project.
//
//   sudz sudz-plc project.xml [--pou NAME] [--map flat|openplc] [--view] [--svg FILE]
//   sudz-plc --check [--plant PLANT] [--pou NAME] [--map flat|openplc] FILE
//
// Started by a simulator, which appends "-automemlink <ident>": reads the
// project, binds its variables to the plant's signals, prints the map, then
// runs one scan per new set of inputs until the simulation ends.
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "plcengine/binding.h"
#include "plcengine/project.h"
#include "plcengine/runtime.h"
#include "plcengine/vcd.h"
#include "plcview/body_watch.h"

namespace {

const char help_text[] =
    "usage: sudz sudz-plc [options] FILE\n"
    "       sudz-plc --check [--plant PLANT] [options] FILE\n"
    "\n"
    "A controller that runs a program saved by a PLC editor: a PLCopen XML\n"
    "project (.xml) or a Structured Text file (PROGRAM ... END_PROGRAM).\n"
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
    "                 sudz-sorter, sudz-gate or INPUT,.../OUTPUT,...\n"
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

volatile std::sig_atomic_t stop_requested = 0;
void on_stop(int) {
  stop_requested = 1;
}

struct options {
  bool check = false, linked = false, view = false;
  std::string plant, pou, file, vcd, svg;
  plc::address_map map = plc::address_map::flat;
};

[[noreturn]] void usage_error(const std::string& m) {
  std::fprintf(stderr, "sudz-plc: %s\n", m.c_str());
  std::fputs(
      "usage: sudz sudz-plc [--pou NAME] [--map flat|openplc] FILE\n"
      "       sudz-plc --check [--plant PLANT] FILE   (sudz-plc --help for more)\n",
      stderr);
  std::exit(1);
}

options parse_options(int argc, char** argv) {
  options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage_error("missing value after " + a);
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(help_text, stdout);
      std::exit(0);
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--plant") {
      o.plant = value();
    } else if (a == "--vcd") {
      o.vcd = value();
    } else if (a == "--view") {
      o.view = true;
    } else if (a == "--svg") {
      o.svg = value();
    } else if (a == "--pou") {
      o.pou = value();
    } else if (a == "--map") {
      const std::string m = value();
      if (m == "flat")
        o.map = plc::address_map::flat;
      else if (m == "openplc")
        o.map = plc::address_map::openplc;
      else
        usage_error("unknown map \"" + m + "\" (flat or openplc)");
    } else if (a == "-automemlink") {
      o.linked = true;
      ++i;  // the identifier, read by automemlink_ident
    } else if (!a.empty() && a[0] == '-') {
      usage_error("unknown option " + a);
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      usage_error("more than one file: " + o.file + " and " + a);
    }
  }
  if (o.file.empty()) usage_error("no file given");
  return o;
}

bool read_file(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return !in.bad();
}

void all_outputs_off(IOsharemem_client* link) {
  if (link == nullptr) return;
  for (int i = 0; i < link->output_count(); ++i) link->set_output(i, 0);
  link->outputs_refresh();
}

std::int64_t now_ms(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

// The value a plant signal gets from a variable: 0/1 for a BOOL, the
// number otherwise, held within an int.
int signal_value(const plc::value& v) {
  if (v.t == plc::type::BOOL) return v.truth() ? 1 : 0;
  const std::int64_t i = v.as_int();
  return i > INT_MAX ? INT_MAX : i < INT_MIN ? INT_MIN : static_cast<int>(i);
}

}  // namespace

int main(int argc, char** argv) {
  const options o = parse_options(argc, argv);

  // The link first, so that every failure below leaves the outputs at 0.
  std::unique_ptr<IOsharemem_client> link;
  if (o.linked) link.reset(new IOsharemem_client(automemlink_ident(argc, argv)));
  auto fail = [&](const std::string& text) {
    std::fputs(text.c_str(), stderr);
    all_outputs_off(link.get());
    return 1;
  };

  std::string text;
  if (!read_file(o.file, &text))
    return fail("sudz-plc: cannot read " + o.file + ": " + std::strerror(errno) + "\n");
  plc::project proj;
  plc::error err;
  if (!plc::read_project(text, o.file, &proj, &err)) return fail(err.text() + "\n");
  const plc::program* chosen = nullptr;
  if (!plc::choose_program(proj, o.pou, &chosen, &err)) return fail(err.text() + "\n");
  plc::runtime rt;
  if (!rt.load(*chosen, &err)) return fail(err.text() + "\n");
  const plc::program& prog = rt.prog();

  plc::plant_signals plant;
  plc::binding bound;
  if (link) {
    plant.plant = "the simulator";
    for (int i = 0; i < link->input_count(); ++i) plant.inputs.push_back(link->input_name(i));
    for (int i = 0; i < link->output_count(); ++i) plant.outputs.push_back(link->output_name(i));
    for (const plc::plant_signals& p : plc::known_plants())
      if (p.inputs == plant.inputs && p.outputs == plant.outputs) plant.plant = p.plant;
    if (!plc::bind(prog, plant, o.map, &bound, &err)) return fail(err.text() + "\n");
  } else if (!o.plant.empty()) {
    std::string message;
    if (!plc::plant_signals_of(o.plant, &plant, &message)) usage_error(message);
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

  const std::string map = plc::describe(prog, plant, o.map, bound);
  plcview::body_watch watch;
  if (!o.svg.empty() || (o.view && link && !o.check)) {
    std::string message;
    if (!watch.open(text, rt, plant.inputs, plant.outputs, &message) ||
        (!o.svg.empty() && !watch.write_svg(o.svg, &message)))
      return fail("sudz-plc: " + message + "\n");
  }
  if (o.check) {
    for (const plc::error& w : bound.warnings) std::fprintf(stderr, "%s\n", w.text().c_str());
    std::fputs(map.c_str(), stdout);
    std::printf("%s: no error (program %s; signals of %s)\n", o.file.c_str(), prog.name.c_str(),
                plant.plant.empty() ? "--plant" : plant.plant.c_str());
    return 0;
  }
  if (!link)
    usage_error("no exchange area; start it from a simulator (sudz sudz-plc " + o.file +
                ") or check it with --check");
  std::fputs(map.c_str(), stdout);
  std::fflush(stdout);

  std::signal(SIGTERM, on_stop);
  std::signal(SIGINT, on_stop);
  std::signal(SIGHUP, on_stop);

  // The VCD: a chart's steps, then the inputs, the outputs and the other
  // variables the student declared.
  plc::vcd_file vcd;
  std::vector<int> traced;
  if (!o.vcd.empty()) {
    std::vector<plc::vcd_file::signal> signals;
    for (const plc::chart_step& s : prog.chart.steps) {
      signals.push_back({"steps", s.name, plc::type::BOOL});
      traced.push_back(prog.find("$" + s.name + ".X"));
    }
    auto bound_in = [&](const std::vector<plc::link>& links, int v) {
      for (const plc::link& l : links)
        if (l.var == v) return true;
      return false;
    };
    for (const char* scope : {"inputs", "outputs", "variables"}) {
      for (size_t v = 0; v < prog.vars.size(); ++v) {
        const plc::variable& d = prog.vars[v];
        if (d.wire || d.is_fb) continue;
        const int k = static_cast<int>(v);
        const char* where = bound_in(bound.inputs, k)    ? "inputs"
                            : bound_in(bound.outputs, k) ? "outputs"
                                                         : "variables";
        if (std::strcmp(where, scope) != 0) continue;
        signals.push_back({scope, d.name, d.t});
        traced.push_back(k);
      }
    }
    std::string message;
    if (!vcd.open(o.vcd, prog.name, signals, &message)) return fail("sudz-plc: " + message + "\n");
  }
  std::vector<plc::value> samples(traced.size());
  std::vector<int> inputs_now(link->input_count()), outputs_now(link->output_count());
  if (o.view) watch.show_window();

  const auto start = std::chrono::steady_clock::now();
  int news;
  while (!stop_requested && (news = link->receive()) != -1) {
    watch.poll();
    if (news == 0) continue;
    for (const plc::link& l : bound.inputs)
      rt.set(l.var, plc::value::of_int(plc::type::LINT, link->input_value(l.signal)));
    const std::int64_t t = now_ms(start);
    if (!rt.scan(t)) {
      vcd.close(t);
      return fail(rt.fault().text() + "\n");
    }
    for (const plc::link& l : bound.outputs) {
      link->set_output(l.signal, signal_value(rt.get(l.var)));
      outputs_now[l.signal] = signal_value(rt.get(l.var));
    }
    link->outputs_refresh();
    if (o.view) {
      for (int i = 0; i < link->input_count(); ++i) inputs_now[i] = link->input_value(i);
      watch.after_scan(rt, inputs_now, outputs_now);
    }
    if (vcd.is_open()) {
      for (size_t i = 0; i < traced.size(); ++i) samples[i] = rt.get(traced[i]);
      vcd.sample(t, samples);
    }
  }
  vcd.close(now_ms(start));
  // Stopped by a signal while the plant runs: leave it safe.
  if (stop_requested) all_outputs_off(link.get());
  return 0;
}
