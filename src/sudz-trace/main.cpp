// sudz-trace: a proxy controller that records, provokes faults and checks
// rules between a simulator and a student's controller.
//
//   sudz sudz-trace [options] -- ./student_controller [args...]
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "sudz-trace/trace_overrides.h"
#include "sudz-trace/trace_proxy.h"
#include "sudz-trace/trace_record.h"
#include "sudz-trace/trace_writers.h"

namespace {

const char* const usage_text =
    "usage: sudz sudz-trace [options] -- CONTROLLER [args...]\n"
    "\n"
    "Stands between the simulator and CONTROLLER: forwards the inputs down and\n"
    "the outputs up, records every change, provokes faults and checks rules.\n"
    "\n"
    "Files written at the end of the run:\n"
    "  --vcd FILE          Value Change Dump (GTKWave), one wire per signal\n"
    "  --svg FILE          timing diagram, one row per signal\n"
    "  --report FILE       findings and changes as marked-up text; PDF when FILE\n"
    "                      ends in \".pdf\"\n"
    "  --summary FILE      key=value lines for programs\n"
    "Overrides (T, D in seconds since the start; without +D for good):\n"
    "  --set NAME=V@T[+D]  the controller sees input NAME at V\n"
    "  --step SP=V@T       the controller sees set point SP at V from T on; the\n"
    "                      rules judge the response to it\n"
    "  --flip NAME@T[+D]   the controller sees input NAME inverted\n"
    "  --freeze T[+D]      the controller sees no new inputs\n"
    "  --fast-timers       timers answer after 1 s instead of 10 or 30\n"
    "  --press LABEL@T[+D] the plant's button LABEL held down from T for D\n"
    "                      (default 0.2 s), then released: a click\n"
    "  --scenario FILE     overrides, one a line, as above without \"--\"\n"
    "Rules and ends:\n"
    "  --rules FILE        rules of another plant instead of the washing machine's\n"
    "  --stop-after S      end the run after S seconds (SIGTERM to the simulator)\n"
    "  --stop-idle S       end the run once every output has been 0 for S seconds\n"
    "  --poll-us N         longest pause between two looks, in microseconds\n"
    "                      (default 750)\n"
    "  --check             check the options and files given, then end: status 0\n"
    "                      when they are sound, 1 with the message otherwise\n"
    "  --help              this text\n";

// Set by --check: a message without the usage text, and nothing started.
bool checking = false;
// The simulator that started this proxy, if one did: a proxy that cannot run ends it.
int upstream_for_errors = 0;

[[noreturn]] void bad(const std::string& why) {
  std::fprintf(stderr, "sudz-trace: %s\n%s", why.c_str(), checking ? "" : usage_text);
  end_simulator(upstream_for_errors);
  std::exit(1);
}

std::string read_text(const std::string& path) {
  std::ifstream f(path);
  if (!f) bad("cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

double seconds_arg(const std::string& option, const std::string& v) {
  char* end = nullptr;
  const double d = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !(d >= 0) || d > 1e9) bad("bad number for " + option + ": " + v);
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  for (int k = 1; k < argc && std::strcmp(argv[k], "--") != 0; ++k)
    checking = checking || std::strcmp(argv[k], "--check") == 0;
  if (!checking) {
    std::string ignored;
    find_automemlink_ident(argc, argv, &upstream_for_errors, &ignored);
  }
  proxy_config config;
  std::string vcd, svg, report, summary, rules_path = "built-in rules";
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::fputs(usage_text, stdout);
      return 0;
    }
    std::string value;
    const size_t eq = a.find('=');
    const bool inline_value = a.compare(0, 2, "--") == 0 && eq != std::string::npos;
    if (inline_value) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
    }
    auto take = [&]() -> std::string {
      if (inline_value) return value;
      if (i + 1 >= argc || std::strcmp(argv[i + 1], "--") == 0) bad("missing value after " + a);
      return argv[++i];
    };
    std::string error;
    if (a == "--vcd") {
      vcd = take();
    } else if (a == "--svg") {
      svg = take();
    } else if (a == "--report") {
      report = take();
    } else if (a == "--summary") {
      summary = take();
    } else if (a == "--check") {
    } else if (a == "--set" || a == "--step" || a == "--flip" || a == "--freeze" ||
               a == "--press") {
      override_spec o;
      if (!parse_override(a.substr(2), take(), &o, &error)) bad(error);
      config.overrides.push_back(o);
    } else if (a == "--fast-timers") {
      override_spec o;
      parse_override("fast-timers", "", &o, &error);
      config.overrides.push_back(o);
    } else if (a == "--scenario") {
      const std::string path = take();
      if (!parse_scenario(read_text(path), &config.overrides, &error)) bad(path + ": " + error);
    } else if (a == "--rules") {
      const std::string path = take();
      rules_path = path;
      config.rules_text = read_text(path);
      trace_rules check;
      if (!check.parse(config.rules_text, &error)) bad(path + ": " + error);
    } else if (a == "--stop-after") {
      config.stop_after = seconds_arg(a, take());
    } else if (a == "--stop-idle") {
      config.stop_idle = seconds_arg(a, take());
    } else if (a == "--poll-us") {
      const double us = seconds_arg(a, take());
      if (us < 10 || us > 100000) bad("--poll-us must lie between 10 and 100000");
      config.poll_us = static_cast<long>(us);
    } else {
      bad("unknown option " + a);
    }
  }
  {
    // A criterion on a response needs a step of its set point, from the rules or the run:
    // without one it would judge nothing and pass.
    trace_rules rules;
    std::string error;
    rules.parse(config.rules_text, &error);
    for (const response_criterion& c : rules.responses()) {
      bool stepped = false;
      for (const std::string& arg : rules.steps())
        stepped = stepped || arg.compare(0, c.setpoint.size() + 1, c.setpoint + "=") == 0;
      for (const override_spec& o : config.overrides)
        stepped = stepped || (o.what == override_spec::kind::step && o.name == c.setpoint);
      if (!stepped) {
        bad(rules_path + ": " + c.name + ": no step of \"" + c.setpoint + "\" (step " + c.setpoint +
            "=V@T)");
      }
    }
  }
  if (checking) {
    // What the run would refuse once it knows the plant's names, as far as the files tell.
    trace_rules rules;
    std::string error;
    rules.parse(config.rules_text, &error);
    for (const override_spec& o : config.overrides) {
      if (o.what == override_spec::kind::fast_timers && rules.timers().empty())
        bad("fast-timers: the rules name no timer");
    }
    return 0;
  }
  // The controller's words end before the "-automemlink ID" that the
  // simulator appended for this proxy.
  int last_link = -1;
  for (int k = i + 1; k < argc; ++k)
    if (std::strcmp(argv[k], "-automemlink") == 0) last_link = k;
  if (i >= argc || last_link < 0) {
    bad("start it from a simulator, with the controller after \"--\"");
  }
  for (int k = i + 1; k < last_link; ++k) config.controller.push_back(argv[k]);
  for (int k = last_link + 2; k < argc; ++k) config.controller.push_back(argv[k]);
  if (config.controller.empty()) bad("no controller after \"--\"");
  config.upstream_ident = automemlink_ident(argc, argv);

  trace_record record;
  const int stopped_by = run_proxy(config, &record);

  bool ok = true;
  auto write = [&](bool (*fn)(const trace_record&, const std::string&), const std::string& path) {
    if (path.empty()) return;
    if (!fn(record, path)) {
      std::fprintf(stderr, "sudz-trace: cannot write %s\n", path.c_str());
      ok = false;
    }
  };
  write(write_vcd, vcd);
  write(write_svg, svg);
  write(write_report, report);
  write(write_summary, summary);
  if (stopped_by != 0) {
    // Keep the usual meaning of the exit status: ended by that signal.
    std::signal(stopped_by, SIG_DFL);
    std::raise(stopped_by);
  }
  return ok ? 0 : 1;
}
