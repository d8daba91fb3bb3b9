#include "e2e/e2e_support.h"

#include "support/child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

const rgb black{0, 0, 0}, red{255, 0, 0}, blue{0, 0, 255}, yellow{255, 255, 0},
    white{255, 255, 255};

std::string build_dir() {
  const char* d = std::getenv("SUDZ_BUILD_DIR");
  return d ? d : SUDZ_DEFAULT_BUILD_DIR;
}

std::string source_dir() {
  const char* d = std::getenv("SUDZ_SOURCE_DIR");
  return d ? d : SUDZ_DEFAULT_SOURCE_DIR;
}

std::string shell(const std::string& command, int* status) {
  return testsupport::output_of(command, status);
}

bool wait_until(const std::function<bool()>& pred, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

rgb image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return {data[i], data[i + 1], data[i + 2]};
}

int image::count(int x, int y, int w, int h, rgb c) const {
  int n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i)
      if (at(i, j) == c) ++n;
  return n;
}

image screenshot(const std::string& window) {
  image img;
  std::string ppm = shell("import -window " + window + " -depth 8 ppm:- 2>/dev/null");
  std::istringstream in(ppm);
  std::string magic;
  int maxval = 0;
  in >> magic >> img.width >> img.height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return image{};
  img.data.resize(static_cast<size_t>(img.width) * img.height * 3);
  in.read(reinterpret_cast<char*>(img.data.data()), img.data.size());
  return img;
}

// Moving away first: a synchronous move to where the pointer already is
// would wait for a motion that never comes.
static std::string move_to(const std::string& window, int x, int y) {
  return "xdotool mousemove --sync 0 0 mousemove --sync --window " + window + " " +
         std::to_string(x) + " " + std::to_string(y);
}

std::string window_named(const std::string& name, double seconds) {
  std::string id;
  wait_until(
      [&] {
        std::istringstream in(
            shell("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null"));
        in >> id;
        return !id.empty();
      },
      seconds);
  return id;
}

bool window_shown(const std::string& name) {
  return !shell("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null").empty();
}

pid_t linked_controller(int ident) {
  const std::string id = std::to_string(ident);
  std::istringstream pids(shell("ls /proc"));
  for (std::string p; pids >> p;) {
    if (p.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string cmdline = testsupport::read_file("/proc/" + p + "/cmdline");
    std::vector<std::string> argv;
    std::istringstream in(cmdline);
    for (std::string a; std::getline(in, a, '\0');) argv.push_back(a);
    for (size_t i = 0; i + 1 < argv.size(); ++i)
      if (argv[i] == "-automemlink" && argv[i + 1] == id) return std::atoi(p.c_str());
  }
  return 0;
}

void click(const std::string& window, int x, int y) { shell(move_to(window, x, y) + " click 1"); }

void press_hold(const std::string& window, int x, int y, const std::function<void()>& held) {
  shell(move_to(window, x, y) + " mousedown 1");
  held();
  shell("xdotool mouseup 1");
}

void key(const std::string& window, const std::string& keysym) {
  shell("xdotool windowfocus --sync " + window + " key " + keysym + " 2>/dev/null");
}

using testsupport::read_file;

sim_process::sim_process(raw_tag) {
  char tmpl[] = "/tmp/sudz-e2e-XXXXXX";
  dir_ = mkdtemp(tmpl);
}

std::vector<std::string> sim_process::controller_args(const std::string& script) const {
  std::vector<std::string> args = {build_dir() + "/tests/support/test_controller", "--log",
                                   dir_ + "/log", "--args", dir_ + "/args",
                                   "--pid", dir_ + "/pid"};
  if (!script.empty()) {
    std::ofstream(dir_ + "/script") << script;
    args.push_back("--script");
    args.push_back(dir_ + "/script");
  }
  return args;
}

sim_process::sim_process(const std::string& script, const std::vector<std::string>& extra)
    : sim_process(raw_tag{}) {
  std::vector<std::string> args = controller_args(script);
  args.insert(args.end(), extra.begin(), extra.end());
  start(args);
}

sim_process sim_process::plant(const std::string& program, const std::vector<std::string>& options,
                               const std::string& script) {
  sim_process p{raw_tag{}};
  p.program_ = program;
  std::vector<std::string> args = options;
  std::vector<std::string> controller = p.controller_args(script);
  args.insert(args.end(), controller.begin(), controller.end());
  p.start(args);
  return p;
}

sim_process sim_process::raw(const std::vector<std::string>& args, const std::string& program) {
  sim_process p{raw_tag{}};
  p.program_ = program;
  p.start(args);
  return p;
}

sim_process::sim_process(sim_process&& o) noexcept
    : pid_(o.pid_),
      dir_(std::move(o.dir_)),
      ident_(o.ident_),
      area_(o.area_),
      reaped_(o.reaped_),
      status_(o.status_),
      program_(std::move(o.program_)) {
  o.pid_ = -1;
  o.area_ = nullptr;
  o.dir_.clear();
}

void sim_process::start(const std::vector<std::string>& args) {
  std::string sudz = program_.empty() ? build_dir() + "/src/sudz/sudz" : program_;
  pid_ = fork();
  if (pid_ == 0) {
    // Its own process group, so the controller it starts can be ended too.
    setpgid(0, 0);
    if (chdir(dir_.c_str()) != 0) _exit(127);
    int out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(sudz.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(sudz.c_str(), argv.data());
    _exit(127);
  }
  setpgid(pid_, pid_);
}

sim_process::~sim_process() {
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    if (!reaped_) waitpid(pid_, nullptr, 0);
  }
  if (area_ != nullptr) shmdt(const_cast<int*>(area_));
  if (!dir_.empty()) shell("rm -rf '" + dir_ + "'");
}

bool sim_process::running() {
  if (reaped_) return false;
  int st;
  pid_t r = waitpid(pid_, &st, WNOHANG);
  if (r == pid_) {
    reaped_ = true;
    status_ = st;
    return false;
  }
  return true;
}

int sim_process::wait_exit(double seconds) {
  if (!wait_until([this] { return !running(); }, seconds)) return -1;
  return status_;
}

std::string sim_process::window(double seconds) {
  std::string id;
  wait_until(
      [&] {
        std::string out = shell("xdotool search --onlyvisible --name '^machine$' 2>/dev/null");
        std::istringstream in(out);
        in >> id;
        return !id.empty() || !running();
      },
      seconds);
  return id;
}

std::vector<std::string> sim_process::other_windows(const std::string& main_title) {
  // Visible windows other than the machine and the root: the toolkit's
  // dialogs (they carry no title of their own).
  std::string main_id =
      shell("xdotool search --onlyvisible --name '^" + main_title + "$' 2>/dev/null");
  std::string root = shell("xwininfo -root | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
  long root_id = std::strtol(root.c_str(), nullptr, 16);
  std::vector<std::string> ids;
  std::istringstream in(shell("xdotool search --onlyvisible --name '.*' 2>/dev/null"));
  std::string id;
  while (in >> id) {
    if (main_id.find(id) != std::string::npos || std::atol(id.c_str()) == root_id) continue;
    ids.push_back(id);
  }
  return ids;
}

std::vector<snapshot> sim_process::log(bool* ended) const {
  std::vector<snapshot> out;
  if (ended) *ended = false;
  std::istringstream in(read_file(dir_ + "/log"));
  std::string line;
  while (std::getline(in, line)) {
    if (line == "end") {
      if (ended) *ended = true;
      continue;
    }
    snapshot s;
    std::istringstream fields(line);
    std::string f;
    while (fields >> f) {
      auto eq = f.find('=');
      if (eq == std::string::npos) continue;
      std::string k = f.substr(0, eq);
      int v = std::atoi(f.c_str() + eq + 1);
      if (k == "clock") {
        s.clock = v;
      } else {
        s.in[k] = v;
      }
    }
    out.push_back(s);
  }
  return out;
}

bool sim_process::wait_snapshot(const std::function<bool(const snapshot&)>& pred, double seconds) {
  return wait_until(
      [&] {
        for (const auto& s : log())
          if (pred(s)) return true;
        return false;
      },
      seconds);
}

int sim_process::ident(double seconds) {
  if (ident_ != 0) return ident_;
  wait_until(
      [&] {
        std::istringstream in(read_file(dir_ + "/args"));
        std::string a, prev;
        while (std::getline(in, a)) {
          if (prev == "-automemlink") ident_ = std::atoi(a.c_str());
          prev = a;
        }
        return ident_ != 0;
      },
      seconds);
  if (ident_ != 0 && area_ == nullptr) attach(ident_);
  return ident_;
}

int sim_process::inputs_clock() {
  return ident() && area_ ? area_[0] : -2;
}
int sim_process::input(int index) {
  return ident() && area_ ? area_[8 + index] : -2;
}
int sim_process::output(int index) {
  return ident() && area_ ? area_[58 + index] : -2;
}

pid_t sim_process::controller_pid(double seconds) const {
  pid_t pid = 0;
  wait_until([&] { return (pid = std::atoi(read_file(dir_ + "/pid").c_str())) > 0; }, seconds);
  return pid;
}

std::string sim_process::stdout_text() const {
  return read_file(dir_ + "/stdout");
}

int sim_process::segment_of_simulator() {
  if (ident_ != 0) return ident_;
  std::vector<int> ids = testsupport::segments_created_by({pid_});
  if (!ids.empty()) attach(ids.front());
  return ident_;
}

void sim_process::attach(int ident) {
  ident_ = ident;
  void* p = shmat(ident_, nullptr, SHM_RDONLY);
  if (p != reinterpret_cast<void*>(-1)) area_ = static_cast<const volatile int*>(p);
}

std::string sim_process::stderr_text() const {
  return read_file(dir_ + "/stderr");
}

image settled_screenshot(const std::string& window) {
  image last = screenshot(window);
  for (int i = 0; i < 50; ++i) {
    usleep(50000);
    image next = screenshot(window);
    if (next.width > 0 && next.data == last.data) return next;
    last = next;
  }
  return last;
}

void expect_alert_shows(sim_process& sim, const std::vector<std::string>& boxes,
                        const std::string& text, const std::string& main_title) {
  ASSERT_EQ(boxes.size(), 1u);
  image shown = settled_screenshot(boxes.front());
  ASSERT_GT(shown.width, 0);
  pid_t probe = fork();
  if (probe == 0) {
    execl((build_dir() + "/tests/e2e/alert_probe").c_str(), "alert_probe", text.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string probe_box;
  EXPECT_TRUE(wait_until([&] {
    for (const std::string& id : sim.other_windows(main_title))
      if (std::find(boxes.begin(), boxes.end(), id) == boxes.end()) probe_box = id;
    return !probe_box.empty();
  }));
  image expected = settled_screenshot(probe_box);
  kill(probe, SIGKILL);
  waitpid(probe, nullptr, 0);
  EXPECT_EQ(shown.width, expected.width);
  EXPECT_EQ(shown.height, expected.height);
  // The forms layer shades its greys a little differently: only a clear
  // difference (text against background) counts.
  auto far = [](rgb a, rgb b) {
    return std::abs(a.r - b.r) > 24 || std::abs(a.g - b.g) > 24 || std::abs(a.b - b.b) > 24;
  };
  int differ = 0, miny = 1 << 30, maxy = -1;
  for (int y = 0; y < shown.height; ++y)
    for (int x = 0; x < shown.width; ++x)
      if (far(shown.at(x, y), expected.at(x, y))) {
        ++differ;
        miny = std::min(miny, y);
        maxy = std::max(maxy, y);
      }
  EXPECT_EQ(differ, 0) << "rows " << miny << " to " << maxy << " of " << shown.height;
}

}  // namespace e2e
