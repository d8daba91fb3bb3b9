#include "sudz-trace/trace_proxy.h"

#include "sudz-trace/poll_schedule.h"

#include <dirent.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <list>
#include <sstream>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"
#include "Stringpp/Stringedit.h"
#include "plantkit/end_guard.h"
#include "plantkit/plant_start.h"

namespace {

IOsharemem_server* downstream_for_signals = nullptr;
volatile sig_atomic_t stop_signal = 0;

// Ends the downstream run at once (a single store) and lets the loop finish
// the trace.
void on_stop_signal(int sig) {
  if (downstream_for_signals != nullptr) downstream_for_signals->sharing_terminate();
  stop_signal = sig;
}

int upstream_ident = 0;

[[noreturn]] void fatal(const std::string& message) {
  std::fprintf(stderr, "sudz-trace: %s\n", message.c_str());
  end_simulator(upstream_ident);
  std::exit(1);
}

std::string utc_now() {
  char buf[32];
  std::time_t t = std::time(nullptr);
  std::tm tm;
  gmtime_r(&t, &tm);
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string slot_name(const char* slot) {
  return std::string(slot, strnlen(slot, ioshare::kNameSlotSize));
}

// The children of this process, read from /proc (the controller, adopted).
std::vector<pid_t> own_children() {
  std::vector<pid_t> out;
  const pid_t self = getpid();
  DIR* d = opendir("/proc");
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    if (!std::getline(f, stat)) continue;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream in(stat.substr(close + 2));
    char state;
    pid_t ppid = 0;
    if (in >> state >> ppid && ppid == self) out.push_back(pid);
  }
  closedir(d);
  return out;
}

std::string wait_status_text(int status) {
  if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    const char* name = strsignal(WTERMSIG(status));
    return "killed by signal " + std::to_string(WTERMSIG(status)) + ": " + (name ? name : "?");
  }
  return "ended";
}

std::string join(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) s += w + ' ';
  return s;
}

// Whole seconds as "60", others to the millisecond.
std::string seconds_text(double s) {
  char buf[32];
  if (s == static_cast<long>(s)) {
    std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(s));
  } else {
    std::snprintf(buf, sizeof buf, "%.3f", s);
  }
  return buf;
}

}  // namespace

void end_simulator(int ident) {
  shmid_ds ds;
  if (ident <= 0 || shmctl(ident, IPC_STAT, &ds) != 0) return;
  if (ds.shm_segsz == static_cast<size_t>(ioshare::kAreaSize) && ds.shm_cpid > 0 &&
      ds.shm_cpid != getpid()) {
    kill(ds.shm_cpid, SIGTERM);
  }
}

int run_proxy(const proxy_config& config, trace_record* record) {
  using clock = std::chrono::steady_clock;
  const clock::time_point t0 = clock::now();
  auto now = [&] { return std::chrono::duration<double>(clock::now() - t0).count(); };
  record->started = utc_now();
  record->controller = join(config.controller);
  if (!record->controller.empty()) record->controller.pop_back();

  upstream_ident = config.upstream_ident;
  trace_rules rules;
  std::string error;
  if (!rules.parse(config.rules_text, &error)) fatal("rules: " + error);

  // Upstream: the link checks the area and announces this controller.
  IOsharemem_client link(config.upstream_ident);
  auto* up = static_cast<ioshare::exchange_area*>(shmat(config.upstream_ident, nullptr, 0));
  if (up == reinterpret_cast<void*>(-1)) fatal("cannot attach the simulator's area");
  shmid_ds ds;
  pid_t simulator = 0;
  if (shmctl(config.upstream_ident, IPC_STAT, &ds) == 0) simulator = ds.shm_cpid;

  const int nb_in = up->nb_inputs, nb_out = up->nb_outputs;
  std::vector<std::string> in_names, out_names;
  for (int i = 0; i < nb_in; ++i) in_names.push_back(slot_name(up->input_names[i]));
  for (int i = 0; i < nb_out; ++i) out_names.push_back(slot_name(up->output_names[i]));
  if (!rules.bind(in_names, out_names, &error)) fatal("rules: " + error);
  // The rules' own steps come first: an override of the run may still change what follows.
  std::vector<override_spec> specs;
  for (const std::string& arg : rules.steps()) {
    override_spec o;
    if (parse_override("step", arg, &o, &error)) specs.push_back(o);
  }
  specs.insert(specs.end(), config.overrides.begin(), config.overrides.end());
  input_view view(specs);
  if (!view.bind(in_names, rules.timers(), &error)) fatal(error);
  std::vector<response_step> steps;
  for (const override_spec& o : view.specs())
    if (o.what == override_spec::kind::step) steps.push_back({o.input, o.value, o.start, o.text});
  response_judge responses(rules.responses(), steps);
  double last_step = 0;
  for (const response_step& s : steps) last_step = std::max(last_step, s.start);
  press_queue presses(view.specs());

  // Downstream: the same names, and the simulator's end guard on it. The
  // server lives until the process ends: the guard's exit hook and the
  // signal handlers use it after this function has returned.
  IOsharemem_server& down =
      *new IOsharemem_server(std::list<std::string>(in_names.begin(), in_names.end()),
                             std::list<std::string>(out_names.begin(), out_names.end()));
  install_end_guard(&down);
  downstream_for_signals = &down;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction sa = {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
  }

  // The record: the plant's inputs, the outputs, then what the overrides
  // change and when they hold.
  for (const std::string& n : in_names) record->add_signal(n, signal_kind::input, 0);
  for (const std::string& n : out_names) record->add_signal(n, signal_kind::output, 0);
  std::vector<int> seen_signal(nb_in, -1);
  for (int i : view.touched_inputs())
    seen_signal[i] = record->add_signal(in_names[i], signal_kind::seen, 0, i);
  // What the criteria compare are values, drawn as lines whatever they held.
  for (const response_criterion& c : rules.responses()) {
    record->mark_value(c.value_index);
    record->mark_value(c.setpoint_input);
    if (seen_signal[c.setpoint_input] >= 0) record->mark_value(seen_signal[c.setpoint_input]);
  }
  std::vector<int> override_signal;
  for (const override_spec& o : view.specs()) {
    int row = -1;
    if (o.input >= 0) row = o.input;
    override_signal.push_back(record->add_signal(o.text, signal_kind::override_, 0, row));
    record->override_texts.push_back(o.text);
  }

  // The controller, adopted when the shell that starts it has gone.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  std::fflush(nullptr);
  // Each word quoted: the controller gets the words this proxy was given, as they are, and the
  // shell runs nothing else.
  std::string command;
  for (const std::string& w : config.controller) command += shell_word(w) + ' ';
  const std::string launch = launch_text(command, down.memory_ident());
  int ignored = std::system(launch.c_str());
  (void)ignored;
  pid_t student = 0;
  for (pid_t p : own_children()) student = p;
  record->controller_end = student > 0 ? "running" : "not found";

  std::vector<int> plant(nb_in, 0), shown(nb_in, 0), up_out(nb_out, 0);
  bool shown_written = false;
  int last_clock = 0;  // last upstream clock seen
  int down_clock = 0;  // downstream clock as raised
  int last_refresh = down.get_outputs_clock();
  double idle_since = 0;
  double stop_sent = -1;
  double next_watch = 0;
  double last_cycle_time = 0;
  poll_schedule schedule(config.poll_us * 1e-6, 150e-6);
  // Wake within 10 us of the time asked rather than the usual 50.
  prctl(PR_SET_TIMERSLACK, 10000UL);

  for (;;) {
    const double t = now();
    if (stop_signal != 0) {
      record->end = std::string("proxy stopped by ") + strsignal(stop_signal);
      break;
    }
    const int clock_now = __atomic_load_n(&up->inputs_clock, __ATOMIC_ACQUIRE);
    if (clock_now < 0) {
      if (record->end.empty()) record->end = "simulator ended";
      break;
    }
    if (clock_now > last_clock) {
      ioshare::lock_take(&up->lock, 1000000, true);
      const int c = __atomic_load_n(&up->inputs_clock, __ATOMIC_ACQUIRE);
      for (int i = 0; i < nb_in; ++i)
        plant[i] = __atomic_load_n(&up->input_values[i], __ATOMIC_RELAXED);
      ioshare::lock_give(&up->lock);
      if (c < 0) continue;
      // Cycles the proxy did not see happened with the same outputs.
      const long first = record->first_cycle < 0 ? c : last_clock + 1;
      if (record->first_cycle < 0) {
        record->first_cycle = c;
        idle_since = t;  // the outputs rest from the first cycle on, not before
      }
      std::vector<int> state(plant);
      state.insert(state.end(), up_out.begin(), up_out.end());
      for (long n = first; n <= c; ++n) {
        rules.cycle(n, t, plant, up_out, &record->findings);
        responses.cycle(n, t, state);
      }
      record->last_cycle = c;
      last_cycle_time = t;
      for (int i = 0; i < nb_in; ++i) record->set(i, plant[i], t, c);
      for (size_t k = 0; k < override_signal.size(); ++k) {
        record->set(override_signal[k], view.specs()[k].active(t) ? 1 : 0, t, c);
      }
      if (!view.frozen(t)) {
        std::vector<int> s = view.apply(plant, t);
        for (int i = 0; i < nb_in; ++i) {
          if (!shown_written || s[i] != shown[i]) down.setreset_input(i, s[i]);
          if (seen_signal[i] >= 0) record->set(seen_signal[i], s[i], t, c);
        }
        shown = s;
        shown_written = true;
        // The controller sees the simulator's own cycle numbers.
        for (; down_clock < c; ++down_clock) down.inputs_go();
      }
      last_clock = c;
      schedule.cycle_seen(t);
    }

    if (!presses.step(up, t, last_clock, &error)) fatal(error);

    bool changed = false;
    for (int i = 0; i < nb_out; ++i) {
      const int v = down.output_value(i);
      if (v == up_out[i]) continue;
      __atomic_store_n(&up->output_values[i], v, __ATOMIC_RELAXED);
      up_out[i] = v;
      // The plant reads it at its next cycle.
      record->set(nb_in + i, v, t, last_clock + 1);
      changed = true;
    }
    if (changed) view.outputs_forwarded(up_out, t);
    const int refresh = down.get_outputs_clock();
    if (refresh != last_refresh) {
      last_refresh = refresh;
      link.outputs_refresh();
    }
    bool all_zero = true;
    for (int v : up_out) all_zero = all_zero && v == 0;
    // A run with a step still to come is not over, however still its outputs.
    if (!all_zero || record->first_cycle < 0 || t < last_step) idle_since = t;

    if (t >= next_watch) {
      next_watch = t + 0.02;
      if (simulator > 0 && !ioshare::process_alive(simulator)) {
        if (record->end.empty()) record->end = "simulator vanished";
        break;
      }
      int status = 0;
      pid_t p;
      while ((p = waitpid(-1, &status, WNOHANG)) > 0) {
        if (p == student) {
          record->controller_end = wait_status_text(status) + " at " + seconds_text(t) +
                                   " s, cycle " + std::to_string(last_clock);
        }
      }
      if (stop_sent < 0) {
        std::string why;
        if (config.stop_after >= 0 && t >= config.stop_after) {
          why = "stopped after " + seconds_text(config.stop_after) + " s";
        } else if (config.stop_idle >= 0 && t - idle_since >= config.stop_idle) {
          why = "stopped: every output at 0 for " + seconds_text(config.stop_idle) + " s";
        }
        if (!why.empty()) {
          record->end = why;
          stop_sent = t;
          if (simulator > 0) kill(simulator, SIGTERM);
        }
      } else if (t - stop_sent > 5.0) {
        record->end += " (the simulator did not end within 5 s)";
        break;
      }
    }
    const double pause = schedule.next(t) - now();
    if (pause > 0) {
      const timespec ts = {0, static_cast<long>(pause * 1e9)};
      clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
    }
  }

  down.sharing_terminate();
  record->duration = now();

  // How the controller ended: it has a second to see the end.
  if (student > 0 && record->controller_end == "running") {
    const double limit = now() + 1.0;
    while (now() < limit) {
      int status = 0;
      const pid_t p = waitpid(student, &status, WNOHANG);
      if (p == student) {
        record->controller_end = wait_status_text(status) + " after the end";
        break;
      }
      if (p < 0) break;
      usleep(5000);
    }
    if (record->controller_end == "running")
      record->controller_end = "still running 1 s after the end";
  }

  if (const trace_alarm* a = rules.ending_alarm(record->last_cycle, plant, up_out)) {
    record->alarm = a->name;
    record->alarm_cycle = a->crossed;
    record->alarm_time = last_cycle_time;
    record->findings.push_back(
        {"alarm", a->crossed, last_cycle_time, "the run ended by the " + a->name + " alarm"});
  }
  record->goals = rules.goals();
  record->responses = responses.judge();
  for (const response_figure& f : record->responses)
    if (!f.passed) record->findings.push_back({f.criterion, f.cycle, f.time, f.what});
  shmdt(up);
  return stop_signal;
}
