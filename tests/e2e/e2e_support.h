// Helpers for driving the real simulator under the test's own Xvfb:
// processes, windows, clicks, keys, screenshots and the exchange area.
#ifndef SUDZ_E2E_SUPPORT_H
#define SUDZ_E2E_SUPPORT_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// Output of a shell command, its exit status in *status when given.
std::string shell(const std::string& command, int* status = nullptr);

// Polls pred every 20 ms until it holds or the wall-clock limit passes.
// Limits are generous: they only stop a broken run, never judge speed.
bool wait_until(const std::function<bool()>& pred, double seconds = 60.0);

struct rgb {
  int r, g, b;
  bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const rgb& o) const { return !(*this == o); }
};

inline std::ostream& operator<<(std::ostream& s, const rgb& c) {
  return s << "rgb(" << c.r << "," << c.g << "," << c.b << ")";
}

struct image {
  int width = 0, height = 0;
  std::vector<unsigned char> data;
  rgb at(int x, int y) const;
  // Number of pixels of the rectangle that have colour c.
  int count(int x, int y, int w, int h, rgb c) const;
};

image screenshot(const std::string& window);

// The toolkit's colours as this server draws them.
extern const rgb black, red, blue, yellow, white;

// One input snapshot logged by the test controller.
struct snapshot {
  int clock = 0;
  std::map<std::string, int> in;
};

class sim_process {
 public:
  // Starts "sudz test_controller --log ... --args ... [--script FILE]" plus
  // extra arguments, in a fresh directory. script holds the controller's
  // script lines (empty: none).
  explicit sim_process(const std::string& script = "", const std::vector<std::string>& extra = {});
  // Starts sudz with exactly these arguments after the program name.
  // program is the plant's path; sudz when empty.
  static sim_process raw(const std::vector<std::string>& args, const std::string& program = "");
  // Starts another plant (a program started like sudz), its options, then the test controller
  // as the first constructor does.
  static sim_process plant(const std::string& program, const std::vector<std::string>& options,
                           const std::string& script = "");
  sim_process(sim_process&&) noexcept;
  ~sim_process();

  pid_t pid() const { return pid_; }
  const std::string& dir() const { return dir_; }
  // Waits for the exit; returns the wait status, or -1 after the limit.
  int wait_exit(double seconds = 60.0);
  bool running();

  // The id of the "machine" window, once it is shown ("" if it never is).
  std::string window(double seconds = 60.0);
  // Ids of the visible top-level windows other than the plant's own, titled main_title.
  std::vector<std::string> other_windows(const std::string& main_title = "machine");

  // The controller's log so far, and whether it saw the end.
  std::vector<snapshot> log(bool* ended = nullptr) const;
  bool wait_snapshot(const std::function<bool(const snapshot&)>& pred, double seconds = 60.0);

  // The exchange area, attached by the test itself so it can be read after
  // the simulator is gone. Waits for the controller's arguments file.
  int ident(double seconds = 60.0);
  int inputs_clock();
  int output(int index);
  int input(int index);

  std::string stderr_text() const;
  std::string stdout_text() const;
  // Attaches the area found by the simulator's pid, for runs whose
  // controller does not report its arguments.
  int segment_of_simulator();
  // The test controller's pid, from the file it writes at start.
  pid_t controller_pid(double seconds = 60.0) const;

 private:
  struct raw_tag {};
  // Only makes the run's directory.
  explicit sim_process(raw_tag);
  void start(const std::vector<std::string>& args);
  std::vector<std::string> controller_args(const std::string& script) const;
  void attach(int ident);
  pid_t pid_ = -1;
  std::string dir_;
  int ident_ = 0;
  const volatile int* area_ = nullptr;
  bool reaped_ = false;
  int status_ = 0;
  std::string program_;  // the plant; sudz when empty
};

// The id of the visible window titled exactly name ("" if none shows within the limit).
std::string window_named(const std::string& name, double seconds = 60.0);
bool window_shown(const std::string& name);
// The process started with "-automemlink" and ident among its arguments, 0 if there is none.
pid_t linked_controller(int ident);

// A window that has just appeared may still be drawing: takes pictures until
// two in a row agree.
image settled_screenshot(const std::string& window);

// The alert box of a run, compared with the toolkit's alert box showing the
// expected text in a separate process: same pixels, same text.
// main_title is the title of the plant's own window.
void expect_alert_shows(sim_process& sim, const std::vector<std::string>& boxes,
                        const std::string& text, const std::string& main_title = "machine");

void click(const std::string& window, int x, int y);
// Presses at (x, y), runs held(), then releases.
void press_hold(const std::string& window, int x, int y, const std::function<void()>& held);
void key(const std::string& window, const std::string& keysym);

std::string build_dir();
std::string source_dir();

}  // namespace e2e

#endif
