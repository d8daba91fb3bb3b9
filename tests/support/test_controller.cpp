// test_controller: a scriptable controller for tests of the exchange area and
// of the simulator. It attaches like any controller, from the arguments
// "-automemlink <id>" (the last such pair), and takes these options:
//
//   --script FILE  follow the rules in FILE, one a line ('#' starts a comment):
//                    at input clock N set output NAME to V
//                    at input clock N refresh      (call outputs_refresh)
//                    at input clock N exit         (log "exit", then exit 0)
//                    at input clock N hold lock for MS   (take the area's lock,
//                                                         sleep MS ms, give it)
//                    at input clock N hang         (take the lock, sleep forever)
//                    when input NAME is V set output NAME2 to W
//                    when input NAME is V exit
//                  An "at" rule fires once, at the first snapshot whose clock is
//                  N or more (the controller may skip cycles); "when" rules are
//                  looked at on every snapshot. Rules act in file order.
//   --log FILE     one line per snapshot, written and flushed before the rules
//                  act: "clock=12 T=0 Niv=0 Vide=1 ..." (every input, in area
//                  order); then "end" when receive returns -1, or "exit" for a
//                  scripted exit.
//   --args FILE    its own argv, one argument a line, written at start.
//   --pid FILE     its pid, written at start.
//
// It exits 0 when receive returns -1 (or a rule says exit); the link's own
// failures exit 1 with their message. A bad option or script line exits 2.
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/exchange_area.h"

namespace {

enum class action { set_output, refresh, exit, hold_lock, hang };

struct rule {
  bool at_clock = false;  // "at input clock N", else "when input NAME is V"
  long clock = 0;
  std::string input;
  int input_value = 0;
  action what = action::set_output;
  std::string output;
  int value = 0;  // output value, or the hold in ms
  bool done = false;
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr, "test_controller: %s\n", why.c_str());
  std::exit(2);
}

bool parse_rule(const std::string& line, rule* r) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  size_t k = 0;
  auto word = [&](const char* expect) { return k < w.size() && w[k++] == expect; };
  auto number = [&](long* v) {
    if (k >= w.size()) return false;
    char* end = nullptr;
    *v = std::strtol(w[k].c_str(), &end, 10);
    return *end == '\0' && end != w[k++].c_str();
  };
  long v = 0;
  if (w.size() > 1 && w[0] == "at") {
    ++k;
    if (!word("input") || !word("clock") || !number(&r->clock)) return false;
    r->at_clock = true;
  } else if (w.size() > 1 && w[0] == "when") {
    ++k;
    if (!word("input") || k >= w.size()) return false;
    r->input = w[k++];
    if (!word("is") || !number(&v)) return false;
    r->input_value = static_cast<int>(v);
  } else {
    return false;
  }
  if (k >= w.size()) return false;
  const std::string verb = w[k++];
  if (verb == "set") {
    if (!word("output") || k >= w.size()) return false;
    r->output = w[k++];
    if (!word("to") || !number(&v)) return false;
    r->what = action::set_output;
    r->value = static_cast<int>(v);
  } else if (verb == "refresh") {
    r->what = action::refresh;
  } else if (verb == "exit") {
    r->what = action::exit;
  } else if (verb == "hold" && r->at_clock) {
    if (!word("lock") || !word("for") || !number(&v)) return false;
    r->what = action::hold_lock;
    r->value = static_cast<int>(v);
  } else if (verb == "hang" && r->at_clock) {
    r->what = action::hang;
  } else {
    return false;
  }
  return k == w.size();
}

std::vector<rule> read_script(const std::string& path) {
  std::ifstream in(path);
  if (!in) usage("cannot read script " + path);
  std::vector<rule> rules;
  for (std::string line; std::getline(in, line);) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    rule r;
    if (!parse_rule(line, &r)) usage("bad script line: " + line);
    rules.push_back(r);
  }
  return rules;
}

void write_file(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) usage("cannot write " + path);
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

void log_line(std::FILE* log, const std::string& line) {
  if (log == nullptr) return;
  std::fprintf(log, "%s\n", line.c_str());
  std::fflush(log);
}

}  // namespace

int main(int argc, char** argv) {
  std::string script, log_path, args_path, pid_path;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    std::string* target = a == "--script" ? &script
                          : a == "--log"  ? &log_path
                          : a == "--args" ? &args_path
                          : a == "--pid"  ? &pid_path
                                          : nullptr;
    if (target == nullptr) continue;  // "-automemlink <id>" and anything else
    if (i + 1 >= argc) usage("missing value after " + a);
    *target = argv[++i];
  }
  if (!args_path.empty()) {
    std::string text;
    for (int i = 0; i < argc; ++i) text += std::string(argv[i]) + "\n";
    write_file(args_path, text);
  }
  if (!pid_path.empty()) write_file(pid_path, std::to_string(getpid()) + "\n");
  std::vector<rule> rules;
  if (!script.empty()) rules = read_script(script);
  std::FILE* log = nullptr;
  if (!log_path.empty()) {
    log = std::fopen(log_path.c_str(), "w");
    if (log == nullptr) usage("cannot write " + log_path);
  }

  const int ident = automemlink_ident(argc, argv);
  IOsharemem_client link(ident);
  // A second view of the same area, for the input names and for the lock
  // rules that provoke faults; the link has checked the segment already.
  auto* area = static_cast<ioshare::exchange_area*>(shmat(ident, nullptr, SHM_RDONLY));
  auto* lock_view = static_cast<ioshare::exchange_area*>(shmat(ident, nullptr, 0));
  if (area == reinterpret_cast<void*>(-1) || lock_view == reinterpret_cast<void*>(-1)) {
    usage("second attach refused");
  }
  std::vector<std::string> names;
  for (int i = 0; i < area->nb_inputs; ++i) {
    names.emplace_back(area->input_names[i], strnlen(area->input_names[i], 50));
  }

  for (;;) {
    const int r = link.receive();
    if (r == -1) break;
    if (r == 0) continue;
    const int clock = link.inputs_clock();
    std::string line = "clock=" + std::to_string(clock);
    for (const std::string& n : names) line += " " + n + "=" + std::to_string(link.input_is_set(n));
    log_line(log, line);
    for (rule& rl : rules) {
      if (rl.at_clock ? (rl.done || clock < rl.clock)
                      : link.input_is_set(rl.input) != rl.input_value) {
        continue;
      }
      rl.done = true;
      switch (rl.what) {
        case action::set_output:
          link.setreset_output(rl.output, rl.value);
          break;
        case action::refresh:
          link.outputs_refresh();
          break;
        case action::exit:
          log_line(log, "exit");
          return 0;
        case action::hold_lock:
          ioshare::lock_take(&lock_view->lock, 1000000, true);
          usleep(static_cast<useconds_t>(rl.value) * 1000);
          ioshare::lock_give(&lock_view->lock);
          break;
        case action::hang:
          ioshare::lock_take(&lock_view->lock, 1000000, true);
          for (;;) pause();
      }
    }
  }
  log_line(log, "end");
  return 0;
}
