// sudz-sfc: a controller that runs a sequential function chart.
//
//   sudz sudz-sfc chart.sfc [--view] [--vcd FILE] [--svg FILE]
//   sudz-sfc --check [--plant sudz|sudz-sorter|IN,.../OUT,...] chart.sfc
//
// Started by a simulator, which appends "-automemlink <ident>": reads the
// chart, checks it against the plant's signal names, then runs one scan
// per new set of inputs until the simulation ends.
#include <FL/Fl.H>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "sudz-sfc/chart.h"
#include "sudz-sfc/chart_check.h"
#include "sudz-sfc/chart_layout.h"
#include "sudz-sfc/chart_reader.h"
#include "sudz-sfc/chart_window.h"
#include "sudz-sfc/scan.h"
#include "sudz-sfc/vcd.h"

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
    "                 sudz-sorter, or INPUT,INPUT,.../OUTPUT,OUTPUT,...\n"
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

volatile std::sig_atomic_t stop_requested = 0;
void on_stop(int) { stop_requested = 1; }

struct options {
  bool check = false, view = false, linked = false;
  std::string plant, svg, vcd, chart;
};

[[noreturn]] void usage_error(const std::string& m) {
  std::fprintf(stderr, "sudz-sfc: %s\n", m.c_str());
  std::fputs("usage: sudz sudz-sfc [--view] [--vcd FILE] [--svg FILE] CHART\n"
             "       sudz-sfc --check [--plant PLANT] CHART   (sudz-sfc --help for more)\n",
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
    } else if (a == "--view") {
      o.view = true;
    } else if (a == "--plant") {
      o.plant = value();
    } else if (a == "--svg") {
      o.svg = value();
    } else if (a == "--vcd") {
      o.vcd = value();
    } else if (a == "-automemlink") {
      o.linked = true;
      ++i;  // the identifier, read by automemlink_ident
    } else if (!a.empty() && a[0] == '-') {
      usage_error("unknown option " + a);
    } else if (o.chart.empty()) {
      o.chart = a;
    } else {
      usage_error("more than one chart: " + o.chart + " and " + a);
    }
  }
  if (o.chart.empty()) usage_error("no chart given");
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

// Every output at 0, announced: the chart does not run.
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

// The names to check against without a simulator: the one asked for, else
// the known plant that fits the chart best.
sfc::plant_names choose_plant(const options& o, const sfc::chart& c) {
  sfc::plant_names names;
  std::string error;
  if (!o.plant.empty()) {
    if (!sfc::plant_names_of(o.plant, &names, &error)) usage_error(error);
    return names;
  }
  size_t best = static_cast<size_t>(-1);
  for (const sfc::plant_names& p : sfc::known_plants()) {
    const size_t n = sfc::check_chart(c, &p).errors.size();
    if (n < best) {
      best = n;
      names = p;
    }
  }
  return names;
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
  if (!read_file(o.chart, &text))
    return fail("sudz-sfc: cannot read " + o.chart + ": " + std::strerror(errno) + "\n");
  sfc::chart c;
  sfc::chart_error syntax;
  if (!sfc::read_chart(text, &c, &syntax)) return fail(sfc::format_error(o.chart, text, syntax));

  sfc::plant_names names;
  if (link) {
    names.plant = "the simulator";
    for (int i = 0; i < link->input_count(); ++i) names.inputs.push_back(link->input_name(i));
    for (int i = 0; i < link->output_count(); ++i) names.outputs.push_back(link->output_name(i));
    // Name the plant when its names are those of a known one.
    for (const sfc::plant_names& p : sfc::known_plants())
      if (p.inputs == names.inputs && p.outputs == names.outputs) names.plant = p.plant;
  } else {
    names = choose_plant(o, c);
  }
  const sfc::check_result checked = sfc::check_chart(c, &names);
  std::string report;
  for (const sfc::chart_error& e : checked.errors) report += sfc::format_error(o.chart, text, e);
  if (o.check) {
    for (sfc::chart_error w : checked.warnings) {
      w.message = "warning: " + w.message;
      report += sfc::format_error(o.chart, text, w);
    }
  }
  if (!checked.errors.empty()) return fail(report);
  std::fputs(report.c_str(), stderr);

  if (!o.svg.empty()) {
    std::string error;
    if (!sfc::write_chart_svg(c, o.svg, &error)) return fail("sudz-sfc: " + error + "\n");
  }
  if (o.check) {
    std::printf("%s: no error (%zu steps, %zu transitions; signals of %s)\n", o.chart.c_str(),
                c.steps.size(), c.transitions.size(),
                names.plant.empty() ? "--plant" : names.plant.c_str());
    return 0;
  }
  if (!link) {
    if (!o.svg.empty()) return 0;
    usage_error("no exchange area; start it from a simulator (sudz sudz-sfc " + o.chart +
                ") or check it with --check");
  }

  const auto start = std::chrono::steady_clock::now();
  sfc::vcd_writer vcd;
  if (!o.vcd.empty()) {
    std::vector<std::string> steps;
    for (const sfc::step& s : c.steps) steps.push_back(s.name);
    std::string error;
    if (!vcd.open(o.vcd, c.name, steps, names.inputs, names.outputs, &error))
      return fail("sudz-sfc: " + error + "\n");
  }
  sfc::chart_layout layout;
  std::unique_ptr<sfc::chart_window> window;
  if (o.view) {
    layout = sfc::layout_chart(c);
    window.reset(new sfc::chart_window(c, names, layout));
    window->show();
  }

  std::signal(SIGTERM, on_stop);
  std::signal(SIGINT, on_stop);
  std::signal(SIGHUP, on_stop);

  sfc::chart_scan engine(c, names);
  std::vector<int> inputs(names.inputs.size(), 0);
  std::vector<bool> active(c.steps.size(), false);
  std::vector<int> samples;
  int news;
  while (!stop_requested && (news = link->receive()) != -1) {
    if (window) Fl::check();
    if (news == 0) continue;
    for (size_t i = 0; i < inputs.size(); ++i) inputs[i] = link->input_value(static_cast<int>(i));
    const std::int64_t t = now_ms(start);
    engine.scan(inputs.data(), t);
    const std::vector<int>& out = engine.outputs();
    for (size_t i = 0; i < out.size(); ++i) link->set_output(static_cast<int>(i), out[i]);
    link->outputs_refresh();
    for (size_t s = 0; s < active.size(); ++s) active[s] = engine.active(static_cast<int>(s));
    if (vcd.is_open()) {
      samples.assign(active.begin(), active.end());
      samples.insert(samples.end(), inputs.begin(), inputs.end());
      samples.insert(samples.end(), out.begin(), out.end());
      vcd.sample(t, samples);
    }
    if (window && window->shown()) window->update(active, inputs, out);
  }
  vcd.close(now_ms(start));
  // Stopped by a signal while the plant runs: leave it safe.
  if (stop_requested) all_outputs_off(link.get());
  return 0;
}
