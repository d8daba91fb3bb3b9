#include "sudz-grade/grade_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "Stringpp/Stringedit.h"

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;

void pause_ms(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A child process: argv and the environment made before fork, so that the
// child only calls what is safe between fork and exec in a threaded program.
// It ends with sudz-grade, in a process group of its own: a terminal's
// Ctrl-C reaches sudz-grade alone, which then ends the run itself.
struct child_spec {
  std::vector<std::string> argv, env;
  std::string output;  // file for standard output and error; "" for /dev/null
  int out_fd = -1;     // or a descriptor for standard output
  int keep_fd = -1;    // a descriptor handed down as fd 3
};

pid_t start_child(const child_spec& launch) {
  std::vector<char*> argv, env;
  for (const std::string& a : launch.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : launch.env) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  int out = devnull, err = devnull;
  if (!launch.output.empty()) {
    out = err = open(launch.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } else if (launch.out_fd >= 0) {
    out = launch.out_fd;
  }
  if (devnull < 0 || out < 0) {
    if (devnull >= 0) close(devnull);
    return -1;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    setpgid(0, 0);
    dup2(devnull, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (launch.keep_fd == 3) {
      fcntl(3, F_SETFD, 0);
    } else if (launch.keep_fd >= 0) {
      dup2(launch.keep_fd, 3);
    }
    execve(argv[0], argv.data(), env.data());
    _exit(127);
  }
  if (out != devnull && out != launch.out_fd) close(out);
  close(devnull);
  return pid;
}

// Exit status as a shell gives it: the code, or 128 + the signal.
int shell_status(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs a short helper (xdotool) to its end, killed after timeout_ms; its output.
std::string run_helper(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       int timeout_ms = 5000) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return "";
  child_spec launch;
  launch.argv = argv;
  launch.env = env;
  launch.out_fd = fds[1];
  const pid_t pid = start_child(launch);
  close(fds[1]);
  std::string out;
  const auto deadline = clock_type::now() + std::chrono::milliseconds(timeout_ms);
  bool killed = false;
  while (pid > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now());
    pollfd p{fds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    char buf[4096];
    const ssize_t got = read(fds[0], buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    out.append(buf, got);
  }
  close(fds[0]);
  int status;
  if (pid > 0) waitpid(pid, &status, 0);
  return killed ? "" : out;
}

// Processes whose environment holds the marker.
std::set<pid_t> marked(const std::string& marker) {
  std::set<pid_t> out;
  DIR* d = opendir("/proc");
  if (d == nullptr) return out;
  const std::string entry = marker + '\0';
  while (dirent* e = readdir(d)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/environ", std::ios::binary);
    std::string env((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (('\0' + env).find('\0' + entry) != std::string::npos) out.insert(pid);
  }
  closedir(d);
  return out;
}

bool wait_until_gone(const std::string& marker, int ms) {
  for (int k = 0; k < ms / 20; ++k) {
    if (marked(marker).empty()) return true;
    pause_ms(20);
  }
  return marked(marker).empty();
}

// Kills every marked process; how many there were.
int end_marked(const std::string& marker, std::set<pid_t>* seen) {
  const std::set<pid_t> pids = marked(marker);
  for (pid_t p : pids) {
    seen->insert(p);
    kill(p, SIGKILL);
  }
  wait_until_gone(marker, 2000);
  return static_cast<int>(pids.size());
}

// Removes the exchange areas that processes of the run made.
void remove_segments(const std::set<pid_t>& creators) {
  std::ifstream in("/proc/sysvipc/shm");
  std::string header;
  std::getline(in, header);
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    long key, id, perms, size, cpid;
    if (f >> key >> id >> perms >> size >> cpid && creators.count(static_cast<pid_t>(cpid))) {
      shmctl(static_cast<int>(id), IPC_RMID, nullptr);
    }
  }
}

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

// The environment of sudz-grade with these variables set anew.
std::vector<std::string> environment(const std::vector<std::string>& set) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    bool replaced = false;
    for (const std::string& s : set)
      if (v.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0) replaced = true;
    if (!replaced) env.push_back(v);
  }
  env.insert(env.end(), set.begin(), set.end());
  return env;
}

// A private X display for one run, ended with it.
class private_display {
 public:
  private_display(const grade_options& o, const std::string& folder) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    child_spec launch;
    launch.argv = {o.xvfb,        "-displayfd", "3",   "-screen", "0",
                 "1024x768x24", "-nolisten",  "tcp", "-noreset"};
    launch.env = environment({});
    launch.output = folder + "/xvfb.log";
    launch.keep_fd = fds[1];
    pid_ = start_child(launch);
    close(fds[1]);
    // Xvfb writes the display number once it is ready; a loaded machine may take seconds.
    std::string number;
    const auto deadline = clock_type::now() + std::chrono::seconds(30);
    while (pid_ > 0 && clock_type::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) continue;
      char c;
      const ssize_t got = read(fds[0], &c, 1);
      if (got <= 0 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~private_display() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    for (int k = 0; k < 100; ++k) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) return;
      pause_ms(20);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  private_display(const private_display&) = delete;
  private_display& operator=(const private_display&) = delete;
  const std::string& name() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// A temporary folder, removed with what it holds.
class temp_folder {
 public:
  temp_folder() {
    const char* base = std::getenv("TMPDIR");
    std::string t =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sudz-grade-XXXXXX";
    if (mkdtemp(&t[0]) != nullptr) path_ = t;
  }
  ~temp_folder() {
    if (!path_.empty()) nftw(path_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  }
  temp_folder(const temp_folder&) = delete;
  temp_folder& operator=(const temp_folder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Presses Return in every visible window but the plant's own: the alarms wait for it. The
// plant's windows are those shown at the first look that finds any (an alarm needs cycles to
// come), and any titled "machine".
bool acknowledge_boxes(const grade_options& o, const std::vector<std::string>& env,
                       std::set<std::string>* plant_windows) {
  std::istringstream all(run_helper({o.xdotool, "search", "--onlyvisible", "--name", ".*"}, env));
  std::vector<std::string> shown;
  for (std::string w; all >> w;) shown.push_back(w);
  if (shown.empty()) return false;
  std::istringstream machine(
      run_helper({o.xdotool, "search", "--onlyvisible", "--name", "^machine$"}, env));
  for (std::string w; machine >> w;) plant_windows->insert(w);
  if (plant_windows->empty()) plant_windows->insert(shown.begin(), shown.end());
  bool acknowledged = false;
  for (const std::string& w : shown) {
    if (plant_windows->count(w)) continue;
    run_helper({o.xdotool, "windowfocus", "--sync", w, "key", "Return"}, env);
    acknowledged = true;
  }
  return acknowledged;
}

// The process among pids that runs program, 0 when none does.
pid_t running(const std::set<pid_t>& pids, const std::string& program) {
  for (pid_t p : pids) {
    char buf[4096];
    const std::string link = "/proc/" + std::to_string(p) + "/exe";
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, n) == program) return p;
  }
  return 0;
}

// sudz-trace's last message in the run's output ("sudz-trace: ..."), "" when it wrote none.
std::string proxy_message(const std::string& output) {
  std::ifstream in(output);
  std::string found;
  for (std::string l; std::getline(in, l);)
    if (l.rfind("sudz-trace: ", 0) == 0) found = l;
  return found;
}

std::string random_token() {
  std::random_device rd;
  return std::to_string(rd()) + std::to_string(rd());
}

}  // namespace

void block_end_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

grade_row grade_one(const grade_options& o, const submission& s, int n,
                    const std::atomic<bool>& stop) {
  std::string folder_name = s.name;
  for (char& c : folder_name)
    if (c == '/') c = '-';
  const std::string dir = o.out + "/" + std::to_string(n) + "-" + folder_name;
  if (!s.not_run.empty()) return row_not_run(s.name, s.text, s.not_run);
  mkdir(dir.c_str(), 0755);
  for (const char* f : {"trace.vcd", "trace.svg", "report.txt", "summary.txt"})
    std::remove((dir + "/" + f).c_str());

  temp_folder tmp;
  if (tmp.path().empty()) return row_not_run(s.name, s.text, "not run: no temporary folder");
  private_display display(o, tmp.path());
  if (display.name().empty()) {
    return row_not_run(s.name, s.text, "not run: Xvfb did not start");
  }
  const std::string marker = "SUDZ_GRADE_RUN=sudz-grade-" + std::to_string(getpid()) + "-" +
                             std::to_string(n) + "-" + random_token();
  const std::vector<std::string> helper_env = environment({"DISPLAY=" + display.name()});

  child_spec run;
  run.argv = {o.simulator, o.trace, "--stop-after", std::to_string(o.seconds), "--stop-idle"};
  std::ostringstream idle;
  idle << o.idle;
  run.argv.push_back(idle.str());
  run.argv.insert(run.argv.end(), o.plant_args.begin(), o.plant_args.end());
  for (const std::string a : {"--vcd", "/trace.vcd", "--svg", "/trace.svg", "--report",
                              "/report.txt", "--summary", "/summary.txt"}) {
    run.argv.push_back(a[0] == '/' ? dir + a : a);
  }
  run.argv.push_back("--");
  run.argv.insert(run.argv.end(), s.words.begin(), s.words.end());
  // The plant joins its arguments into a command for the shell: each is quoted, so that the
  // proxy and the controller get every path and word as it is, and the shell runs nothing else.
  for (size_t k = 1; k < run.argv.size(); ++k) run.argv[k] = shell_word(run.argv[k]);
  run.env = environment({marker, "DISPLAY=" + display.name(), "TMPDIR=" + tmp.path()});
  run.output = dir + "/output.txt";

  run_facts facts;
  std::set<pid_t> seen;
  std::set<std::string> plant_windows;
  const pid_t pid = start_child(run);
  if (pid < 0) return row_not_run(s.name, s.text, "not run: cannot start " + o.simulator);
  seen.insert(pid);
  const auto deadline = clock_type::now() + std::chrono::seconds(o.seconds + 30);
  int status = 0;
  bool ended = false;
  pid_t proxy = 0;  // sudz-trace, once seen
  for (int tick = 0;; ++tick) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    if (stop) break;
    // Looking through /proc costs more than a look at the boxes: every 2 s.
    if (tick % 4 == 1) {
      const std::set<pid_t> now = marked(marker);
      seen.insert(now.begin(), now.end());
      if (proxy == 0) proxy = running(now, o.trace);
      // Seen once and gone, or never seen in 20 s (it may die before the first look).
      const bool gone = proxy != 0 ? !now.count(proxy) : tick >= 40;
      if (gone && waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      if (gone) {
        // Without its proxy the plant would wait for its time limit: nothing is graded now.
        facts.killed = "sudz-trace ended before the simulator, which sudz-grade ended";
        break;
      }
    }
    if (acknowledge_boxes(o, helper_env, &plant_windows)) facts.acknowledged = true;
    if (clock_type::now() >= deadline) {
      facts.killed = "killed by sudz-grade after " + std::to_string(o.seconds + 30) + " s";
      break;
    }
    for (int k = 0; k < 10 && !stop; ++k) pause_ms(50);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  facts.simulator_status = shell_status(status);
  if (!stop) {
    // The proxy writes its files once the simulator has gone.
    struct stat st;
    for (int k = 0; k < 150; ++k) {
      if (stat((dir + "/summary.txt").c_str(), &st) == 0 && st.st_size > 0) break;
      if (marked(marker).empty()) break;
      pause_ms(20);
    }
    const std::set<pid_t> now = marked(marker);
    seen.insert(now.begin(), now.end());
    wait_until_gone(marker, 2000);
  }
  facts.left = end_marked(marker, &seen);
  remove_segments(seen);
  facts.proxy_message = proxy_message(run.output);
  return make_row(s.name, s.text, dir, facts);
}
