#include "sudz-grade/grade_options.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <map>
#include <sstream>

const char* const grade_usage =
    "usage: sudz-grade [options] CONTROLLER...\n"
    "\n"
    "Runs each CONTROLLER (a command, split at blanks, a chart file ending in\n"
    "\".sfc\", run by sudz-sfc, or a PLC program ending in \".xml\" or \".st\", run\n"
    "by sudz-plc) through sudz-trace, several at once, each under a\n"
    "private Xvfb, and prints a table: reached spin or not and when, findings by\n"
    "rule, alarm, how the run ended, and the paths of its VCD, SVG and report\n"
    "files.\n"
    "\n"
    "  --scenario FILE   overrides for every run (default: \"Demarrer\" pressed\n"
    "                    from the start and fast timers)\n"
    "  --minutes M       longest run per controller (default 5; may be a fraction)\n"
    "  --plant NAME      the simulator: sudz (default), sudz-sorter or any plant\n"
    "                    whose rules NAME.rules are installed with it\n"
    "  --rules FILE      rules for the plant instead of the built-in ones\n"
    "  --idle S          end a run once every output has been 0 for S seconds\n"
    "                    (default 5)\n"
    "  --out DIR         where the files go (default: sudz-grade-out)\n"
    "  --jobs N          runs at once (default: the number of cores)\n"
    "  --csv FILE        the table as CSV too, one row per controller\n"
    "  --json FILE       the table as JSON too\n"
    "  --dir DIR         grade every executable, .sfc chart and .xml or .st PLC\n"
    "                    program one level down in\n"
    "                    DIR, named by its folder (may be repeated)\n"
    "  --help            this text\n"
    "\n"
    "An alarm box is acknowledged as a person would (Return), so the simulator\n"
    "ends the run with its alarm. A run that outlives its time by 30 s is killed.\n"
    "The scenario and rules files are checked before any run starts.\n"
    "\n"
    "Exit status: 0 when every run was graded; 1 for a bad command line or file\n"
    "(nothing is run), or when a run could not be graded (its row has \"?\" and\n"
    "says why); 130 when stopped by a signal.\n";

namespace {

bool executable_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool readable_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), R_OK) == 0;
}

std::string dir_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string base_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The absolute, resolved path; "" when it does not exist.
std::string absolute(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

// The folder sudz-grade runs from.
std::string here() {
  return dir_of(absolute("/proc/self/exe"));
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> split_blanks(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::vector<std::string> sorted_entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.emplace_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool decimal(const std::string& v, double* out) {
  static const std::regex number("[0-9]+([.][0-9]+)?");
  if (!std::regex_match(v, number)) return false;
  *out = std::strtod(v.c_str(), nullptr);
  return *out < 1e7;
}

// Runs sudz-trace --check on the scenario and rules files as given, before any run; false with
// its message (the file, the line and what is wrong) when it refuses them.
bool check_files(const std::string& trace, const std::string& scenario, const std::string& rules,
                 std::string* error) {
  std::vector<std::string> args = {trace, "--check"};
  if (!scenario.empty()) args.insert(args.end(), {"--scenario", scenario});
  if (!rules.empty()) args.insert(args.end(), {"--rules", rules});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = "cannot check the files";
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string message;
  char buf[512];
  for (ssize_t n;
       pid > 0 && ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR));)
    if (n > 0) message.append(buf, n);
  close(fds[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    const std::string prefix = "sudz-trace: ";
    if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
    message = message.substr(0, message.find('\n'));
    *error = message.empty() ? "cannot check the files with " + trace : message;
    return false;
  }
  return true;
}

}  // namespace

std::string find_program(const std::string& name) {
  const std::string h = here();
  for (const std::string& p : {h + "/" + name, h + "/../" + name + "/" + name})
    if (executable_file(p)) return absolute(p);
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string d; std::getline(dirs, d, ':');) {
    const std::string p = (d.empty() ? "." : d) + "/" + name;
    if (executable_file(p)) return absolute(p);
  }
  return "";
}

bool parse_grade_options(int argc, char** argv, grade_options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      o->help = true;
      return true;
    }
    if (a == "--") {
      for (++i; i < argc; ++i) o->controllers.push_back(argv[i]);
      break;
    }
    if (a.empty() || a[0] != '-') {
      o->controllers.push_back(a);
      continue;
    }
    static const std::vector<std::string> valued = {"--scenario", "--minutes", "--plant", "--rules",
                                                    "--idle",     "--out",     "--jobs",  "--csv",
                                                    "--json",     "--dir"};
    if (std::find(valued.begin(), valued.end(), a) == valued.end()) {
      *error = "unknown option " + a;
      return false;
    }
    if (i + 1 >= argc) {
      *error = "missing value after " + a;
      return false;
    }
    const std::string v = argv[++i];
    if (a == "--scenario") o->scenario = v;
    if (a == "--plant") o->plant = v;
    if (a == "--rules") o->rules = v;
    if (a == "--out") o->out = v;
    if (a == "--csv") o->csv = v;
    if (a == "--json") o->json = v;
    if (a == "--dir") o->dirs.push_back(v);
    if (a == "--minutes" && !decimal(v, &o->minutes)) {
      *error = "bad --minutes: " + v;
      return false;
    }
    if (a == "--idle" && !decimal(v, &o->idle)) {
      *error = "bad --idle: " + v;
      return false;
    }
    if (a == "--jobs") {
      double jobs = 0;
      if (!decimal(v, &jobs) || jobs != std::floor(jobs) || jobs < 1 || jobs > 256) {
        *error = "bad --jobs: " + v + " (1 to 256)";
        return false;
      }
      o->jobs = static_cast<int>(jobs);
    }
  }
  if (o->controllers.empty() && o->dirs.empty()) {
    *error = "no controller";
    return false;
  }
  return true;
}

bool prepare(grade_options* o, std::string* error) {
  auto fail = [&](const std::string& why) {
    *error = why;
    return false;
  };
  if (!o->scenario.empty() && !readable_file(o->scenario))
    return fail("cannot read " + o->scenario);
  if (!o->rules.empty() && !readable_file(o->rules)) return fail("cannot read " + o->rules);
  static const std::regex plant_name("[A-Za-z0-9][A-Za-z0-9._-]*");
  if (!std::regex_match(o->plant, plant_name)) return fail("unknown plant " + o->plant);
  o->simulator = find_program(o->plant);
  if (o->simulator.empty()) {
    return fail("unknown plant " + o->plant + " (no program " + o->plant + " found)");
  }
  // A plant other than the washing machine is graded by the rules shipped with it.
  std::string rules = o->rules;
  if (rules.empty() && o->plant != "sudz") {
    const std::string file = o->plant + ".rules";
    for (const std::string& d : {here(), dir_of(o->simulator), here() + "/../share/sudz"}) {
      if (readable_file(d + "/" + file)) {
        rules = d + "/" + file;
        break;
      }
    }
    if (rules.empty()) {
      return fail("unknown plant " + o->plant + ": cannot find its rules (" + file + ")");
    }
  }
  o->trace = find_program("sudz-trace");
  if (o->trace.empty()) return fail("cannot find sudz-trace");
  // A file the proxy refuses would fail every run: refused once, before any starts.
  if (!check_files(o->trace, o->scenario, rules, error)) return false;
  o->xvfb = find_program("Xvfb");
  if (o->xvfb.empty()) return fail("Xvfb is missing");
  o->xdotool = find_program("xdotool");
  if (o->xdotool.empty()) return fail("xdotool is missing");

  o->seconds = std::max(1L, std::lround(o->minutes * 60));
  o->goal_column = o->plant == "sudz" ? "spin" : "goal";
  o->plant_args.clear();
  if (!o->scenario.empty()) {
    o->plant_args = {"--scenario", absolute(o->scenario)};
  } else if (o->plant == "sudz") {
    o->plant_args = {"--set", "St=1@0", "--fast-timers"};
  }
  if (!rules.empty()) {
    o->plant_args.push_back("--rules");
    o->plant_args.push_back(absolute(rules));
  }

  // Charts need sudz-sfc, PLC programs sudz-plc; each looked for once, when
  // one is given.
  std::map<std::string, std::string> runners;
  auto runner_of = [](const std::string& file) -> std::string {
    if (ends_with(file, ".sfc")) return "sudz-sfc";
    if (ends_with(file, ".xml") || ends_with(file, ".st")) return "sudz-plc";
    return "";
  };
  auto chart = [&](submission s, const std::string& path) {
    const std::string runner = runner_of(path);
    if (!runners.count(runner)) runners[runner] = find_program(runner);
    if (runners[runner].empty()) {
      s.not_run = "not run: " + runner + " not found";
      s.words = {path};
    } else {
      s.words = {runners[runner], path};
    }
    return s;
  };
  o->submissions.clear();
  for (const std::string& c : o->controllers) {
    submission s;
    s.text = c;
    s.words = split_blanks(c);
    if (s.words.empty()) continue;
    s.name = base_of(s.words[0]);
    if (s.words.size() == 1 && !runner_of(s.words[0]).empty()) {
      const std::string path = absolute(s.words[0]);
      if (path.empty()) return fail("cannot read " + s.words[0]);
      s = chart(s, path);
      if (!s.not_run.empty()) return fail("cannot find " + runner_of(path) + " to run " + c);
    }
    o->submissions.push_back(s);
  }
  for (const std::string& d : o->dirs) {
    const std::string root = absolute(d);
    struct stat st;
    if (root.empty() || stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return fail("cannot read the folder " + d);
    }
    for (const std::string& folder : sorted_entries(root)) {
      const std::string f = root + "/" + folder;
      if (stat(f.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
      std::vector<submission> found;
      for (const std::string& file : sorted_entries(f)) {
        const std::string path = f + "/" + file;
        submission s;
        s.text = path;
        if (!runner_of(file).empty() && readable_file(path)) {
          found.push_back(chart(s, path));
        } else if (executable_file(path)) {
          s.words = {path};
          found.push_back(s);
        }
      }
      for (submission& s : found) {
        s.name = found.size() == 1 ? folder : folder + "/" + base_of(s.text);
        o->submissions.push_back(s);
      }
    }
  }
  if (o->submissions.empty()) return fail("no controller");
  return true;
}
