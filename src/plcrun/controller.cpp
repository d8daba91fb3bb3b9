#include "plcrun/controller.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "IOshare/IOsharemem_client.h"

namespace plc {

namespace {

volatile std::sig_atomic_t stop_requested = 0;
void on_stop(int) {
  stop_requested = 1;
}

void all_outputs_off(IOsharemem_client* link) {
  if (link == nullptr) return;
  for (int i = 0; i < link->output_count(); ++i) link->set_output(i, 0);
  link->outputs_refresh();
}

bool links_var(const std::vector<link>& links, int v) {
  for (const link& l : links)
    if (l.var == v) return true;
  return false;
}

}  // namespace

int signal_value(const value& v) {
  if (v.t == type::BOOL) return v.truth() ? 1 : 0;
  const std::int64_t i = v.as_int();
  return i > INT_MAX ? INT_MAX : i < INT_MIN ? INT_MIN : static_cast<int>(i);
}

void usage_error(const controller_texts& t, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", t.program, message.c_str());
  std::fputs(t.usage, stderr);
  std::exit(1);
}

controller_options parse_controller_options(int argc, char** argv, const controller_texts& t,
                                            const extra_option& extra) {
  controller_options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const std::function<std::string()> value = [&]() -> std::string {
      if (i + 1 >= argc) usage_error(t, "missing value after " + a);
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      std::fputs(t.help, stdout);
      std::exit(0);
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--plant") {
      o.plant = value();
    } else if (a == "--vcd") {
      o.vcd = value();
    } else if (a == "-automemlink") {
      o.linked = true;
      ++i;  // the identifier, read by automemlink_ident
    } else if (!a.empty() && a[0] == '-') {
      if (!extra || !extra(a, value)) usage_error(t, "unknown option " + a);
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      usage_error(t, std::string("more than one ") + t.what + ": " + o.file + " and " + a);
    }
  }
  if (o.file.empty()) usage_error(t, std::string("no ") + t.what + " given");
  return o;
}

bool read_text_file(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return !in.bad();
}

void vcd_signals(const program& p, const binding& b, bool variables, bool bits,
                 std::vector<vcd_file::signal>* signals, std::vector<int>* traced) {
  for (const chart_step& s : p.chart.steps) {
    signals->push_back({"steps", s.name, type::BOOL});
    traced->push_back(p.find("$" + s.name + ".X"));
  }
  for (const char* scope : {"inputs", "outputs", "variables"}) {
    for (size_t v = 0; v < p.vars.size(); ++v) {
      const variable& d = p.vars[v];
      if (d.wire || d.is_fb) continue;
      const int k = static_cast<int>(v);
      const char* where = links_var(b.inputs, k)    ? "inputs"
                          : links_var(b.outputs, k) ? "outputs"
                                                    : "variables";
      if (std::strcmp(where, scope) != 0) continue;
      if (!variables && std::strcmp(where, "variables") == 0) continue;
      signals->push_back({scope, d.name, bits ? type::BOOL : d.t});
      traced->push_back(k);
    }
  }
}

controller::controller(int argc, char** argv, const controller_options& o)
    : start_(std::chrono::steady_clock::now()) {
  if (o.linked) link_.reset(new IOsharemem_client(automemlink_ident(argc, argv)));
}

controller::~controller() = default;

plant_signals controller::signals() const {
  plant_signals plant;
  if (!link_) return plant;
  plant.plant = "the simulator";
  for (int i = 0; i < link_->input_count(); ++i) plant.inputs.push_back(link_->input_name(i));
  for (int i = 0; i < link_->output_count(); ++i) plant.outputs.push_back(link_->output_name(i));
  for (const plant_signals& p : known_plants())
    if (p.inputs == plant.inputs && p.outputs == plant.outputs) plant.plant = p.plant;
  return plant;
}

int controller::fail(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  all_outputs_off(link_.get());
  return 1;
}

int controller::input(int signal) const {
  return link_ ? link_->input_value(signal) : 0;
}

std::int64_t controller::now_ms() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

int controller::run(runtime& rt, const binding& b, vcd_file* vcd, const std::vector<int>& traced,
                    const hooks& h) {
  std::signal(SIGTERM, on_stop);
  std::signal(SIGINT, on_stop);
  std::signal(SIGHUP, on_stop);
  std::vector<value> samples(traced.size());
  int news;
  while (!stop_requested && (news = link_->receive()) != -1) {
    if (h.idle) h.idle();
    if (news == 0) continue;
    for (const link& l : b.inputs)
      rt.set(l.var, value::of_int(type::LINT, link_->input_value(l.signal)));
    const std::int64_t t = now_ms();
    if (!rt.scan(t)) {
      vcd->close(t);
      return fail(rt.fault().text() + "\n");
    }
    for (const link& l : b.outputs) link_->set_output(l.signal, signal_value(rt.get(l.var)));
    link_->outputs_refresh();
    if (vcd->is_open()) {
      for (size_t i = 0; i < traced.size(); ++i) samples[i] = rt.get(traced[i]);
      vcd->sample(t, samples);
    }
    if (h.scanned) h.scanned(t);
  }
  vcd->close(now_ms());
  // Stopped by a signal while the plant runs: leave it safe.
  if (stop_requested) all_outputs_off(link_.get());
  return 0;
}

bool load_chart_file(controller& ctl, const controller_options& o, const controller_texts& t,
                     const std::string& text, sfc::loaded_chart* out) {
  plant_signals given;
  std::string message;
  if (ctl.linked())
    given = ctl.signals();
  else if (!o.plant.empty() && !plant_signals_of(o.plant, &given, &message))
    usage_error(t, message);
  const bool chosen = ctl.linked() || !o.plant.empty();
  if (!sfc::load_chart(o.file, text, chosen ? &given : nullptr, o.check, out)) {
    ctl.fail(out->report);
    return false;
  }
  std::fputs(out->report.c_str(), stderr);
  return true;
}

}  // namespace plc
