#include "planttest/plant_test.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <sstream>
#include <thread>

#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"

namespace planttest {

namespace {

int failed = 0;

// Standard output of a shell command.
std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// A word for the shell, quoted.
std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The first segment that process pid created, 0 when there is none.
int segment_created_by(pid_t pid) {
  std::ifstream in("/proc/sysvipc/shm");
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::istringstream f(line);
    long key, shmid, perms, size, cpid;
    if (f >> key >> shmid >> perms >> size >> cpid && cpid == pid) return static_cast<int>(shmid);
  }
  return 0;
}

}  // namespace

bool check(bool ok, const std::string& what) {
  if (!ok) {
    ++failed;
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  }
  return ok;
}

int failures() {
  return failed;
}

int result() {
  if (failed == 0) return 0;
  std::fprintf(stderr, "%d check%s failed\n", failed, failed == 1 ? "" : "s");
  return 1;
}

bool wait_until(const std::function<bool()>& pred, double seconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > limit) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// ------------------------------------------------------------------------------ area_view

area_view::~area_view() {
  if (area_ != nullptr) shmdt(area_);
}

bool area_view::attach(int ident) {
  if (area_ != nullptr) return true;
  void* p = shmat(ident, nullptr, 0);
  if (p == reinterpret_cast<void*>(-1)) return false;
  area_ = p;
  return true;
}

int area_view::slot(bool input, const std::string& name) const {
  if (area_ == nullptr) return -1;
  const auto* a = static_cast<const volatile ioshare::exchange_area*>(area_);
  const int count = input ? a->nb_inputs : a->nb_outputs;
  for (int i = 0; i < count && i < ioshare::kMaxSignals; ++i) {
    const volatile char* n = input ? a->input_names[i] : a->output_names[i];
    std::string s;
    for (int k = 0; k < ioshare::kNameSlotSize && n[k] != '\0'; ++k) s += n[k];
    if (s == name) return i;
  }
  return -1;
}

int area_view::inputs_clock() const {
  if (area_ == nullptr) return -2;
  return static_cast<const volatile ioshare::exchange_area*>(area_)->inputs_clock;
}

int area_view::input(const std::string& name) const {
  const int i = slot(true, name);
  if (i < 0) return -2;
  return static_cast<const volatile ioshare::exchange_area*>(area_)->input_values[i];
}

int area_view::output(const std::string& name) const {
  const int i = slot(false, name);
  if (i < 0) return -2;
  return static_cast<const volatile ioshare::exchange_area*>(area_)->output_values[i];
}

void area_view::set_output(const std::string& name, int value) {
  const int i = slot(false, name);
  if (i >= 0) static_cast<volatile ioshare::exchange_area*>(area_)->output_values[i] = value;
}

// ------------------------------------------------------------------------------ plant_bench

plant_bench::plant_bench(const plant_description& plant)
    : plant_(plant),
      server_(new IOsharemem_server(
          std::list<std::string>(plant.inputs.begin(), plant.inputs.end()),
          std::list<std::string>(plant.outputs.begin(), plant.outputs.end()))) {
  view_.attach(server_->memory_ident());
}

plant_bench::~plant_bench() {
  delete server_;
}

const char* plant_bench::cycle(const plant_hooks& hooks) {
  return exchange_cycle(plant_, hooks, *server_);
}

int plant_bench::cycles_until(const plant_hooks& hooks, const std::string& name, int value,
                              int limit) {
  for (int n = 0; n <= limit; ++n) {
    if (n > 0 && cycle(hooks) != nullptr) return -1;
    if (input(name) == value) return n;
  }
  return -1;
}

// ------------------------------------------------------------------------------ display

virtual_display::virtual_display() {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }
  // Xvfb writes the display number it chose, then a newline, once it accepts clients.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos && poll(&p, 1, 30000) == 1) {
    char c[16];
    const ssize_t n = read(fds[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  display_ = std::atoi(number.c_str());
  setenv("DISPLAY", (":" + std::to_string(display_)).c_str(), 1);
}

virtual_display::~virtual_display() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

// ------------------------------------------------------------------------------ plant_process

plant_process::plant_process(const std::string& program,
                             const std::vector<std::string>& controller) {
  std::vector<std::string> args{program};
  args.insert(args.end(), controller.begin(), controller.end());
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);  // the controller it starts joins the group, and is ended with it
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "cannot run %s\n", argv[0]);
    _exit(127);
  }
  if (pid_ > 0) setpgid(pid_, pid_);
}

plant_process::~plant_process() {
  if (pid_ <= 0) return;
  if (!reaped_) {
    // SIGTERM first: the plant tells its controller that the run is over.
    kill(-pid_, SIGTERM);
    if (wait_exit(10.0) == -1) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  kill(-pid_, SIGKILL);  // whatever of the group is left
}

bool plant_process::running() {
  if (reaped_ || pid_ <= 0) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

bool plant_process::attach(double seconds) {
  if (view_.attached()) return true;
  int ident = 0;
  wait_until([&] { return (ident = segment_created_by(pid_)) != 0 || !running(); }, seconds);
  return ident != 0 && view_.attach(ident);
}

int plant_process::inputs_clock() {
  return attach() ? view_.inputs_clock() : -2;
}

int plant_process::input(const std::string& name) {
  return attach() ? view_.input(name) : -2;
}

int plant_process::output(const std::string& name) {
  return attach() ? view_.output(name) : -2;
}

void plant_process::set_output(const std::string& name, int value) {
  if (attach()) view_.set_output(name, value);
}

bool plant_process::wait_input(const std::string& name, int value, double seconds) {
  if (!attach(seconds)) return false;
  return wait_until([&] { return view_.input(name) == value || !running(); }, seconds) &&
         view_.input(name) == value;
}

int plant_process::wait_exit(double seconds) {
  if (pid_ <= 0) return -1;
  wait_until([&] { return !running(); }, seconds);
  if (!reaped_) return -1;
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  return WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : -1;
}

// ------------------------------------------------------------------------------ windows

std::string find_window(const std::string& title, double seconds) {
  std::string id;
  wait_until(
      [&] {
        std::istringstream in(shell("xdotool search --onlyvisible --name " +
                                    quoted("^" + title + "$") + " 2>/dev/null"));
        in >> id;
        return !id.empty();
      },
      seconds);
  return id;
}

void press(const std::string& window, int x, int y) {
  shell("xdotool mousemove --sync 0 0 mousemove --sync --window " + quoted(window) + " " +
        std::to_string(x) + " " + std::to_string(y) + " click 1 2>/dev/null");
}

void key(const std::string& window, const std::string& keysym) {
  shell("xdotool windowfocus --sync " + quoted(window) + " key " + quoted(keysym) + " 2>/dev/null");
}

}  // namespace planttest
