// What every test of a plant does, for plants built on the kit: step the model without a
// display through the kit's own cycle (plant_bench), start the whole program on a virtual
// display with a controller (virtual_display, plant_process), find its window, press its
// buttons, wait for an input's value and read the exit status; and count failed checks, so
// that a test is a plain program whose exit status ctest reads.
//
// Everything is read by name from the plant's exchange area, as the controller sees it.
// Waits poll every 20 ms up to a limit in seconds that only stops a broken run: count cycles
// of the input clock (inputs_clock) where an amount matters, never seconds.
//
// Windows are found and driven with xdotool; the virtual display is Xvfb.
#ifndef PLANTTEST_PLANT_TEST_H
#define PLANTTEST_PLANT_TEST_H

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plantkit/plant_cycle.h"
#include "plantkit/plant_start.h"

class IOsharemem_server;

namespace planttest {

// Counts a failed check and writes "FAILED: what" on standard error.
bool check(bool ok, const std::string& what);
// The number of failed checks so far.
int failures();
// What main returns: 0 when every check passed, else 1 (after a line giving the count).
int result();
// The exit status by which ctest counts a test as skipped (set SKIP_RETURN_CODE 77).
constexpr int skipped = 77;

// Polls pred every 20 ms until it holds (true) or the limit passes (false).
bool wait_until(const std::function<bool()>& pred, double seconds = 60.0);

// A view of an exchange area, attached by its identifier: values by name, as the controller
// reads and writes them. An unknown name reads as -2 and writes nothing.
class area_view {
 public:
  area_view() = default;
  ~area_view();
  area_view(const area_view&) = delete;
  area_view& operator=(const area_view&) = delete;

  bool attach(int ident);  // false when the area cannot be attached
  bool attached() const { return area_ != nullptr; }
  int inputs_clock() const;  // -1 once the run has ended; -2 when not attached
  int input(const std::string& name) const;
  int output(const std::string& name) const;
  // Writes an output as a controller does (the plant reads it at its next cycle).
  void set_output(const std::string& name, int value);

 private:
  int slot(bool input, const std::string& name) const;
  void* area_ = nullptr;
};

// A plant's model stepped without a display, through exchange_cycle as the running plant
// does: an exchange area with the plant's names (no controller), outputs set by the test.
class plant_bench {
 public:
  explicit plant_bench(const plant_description& plant);
  ~plant_bench();
  plant_bench(const plant_bench&) = delete;
  plant_bench& operator=(const plant_bench&) = delete;

  void set_output(const std::string& name, int value) { view_.set_output(name, value); }
  // One cycle: the hooks' inputs published, the outputs read, the model stepped. Returns the
  // step's alarm text, null when there is none.
  const char* cycle(const plant_hooks& hooks);
  // Cycles until the input has the value, at most limit cycles. Returns the cycles run (0 when
  // it already had it), or -1 when an alarm came or the limit passed.
  int cycles_until(const plant_hooks& hooks, const std::string& input, int value,
                   int limit = 100000);
  int input(const std::string& name) const { return view_.input(name); }
  int inputs_clock() const { return view_.inputs_clock(); }

 private:
  plant_description plant_;
  IOsharemem_server* server_;  // the area is removed when the process ends
  area_view view_;
};

// An Xvfb server of its own for the test, on a free display number; DISPLAY names it for the
// rest of the process and the programs it starts. Ended with the object.
class virtual_display {
 public:
  virtual_display();
  ~virtual_display();
  virtual_display(const virtual_display&) = delete;
  virtual_display& operator=(const virtual_display&) = delete;
  bool ok() const { return display_ >= 0; }  // false: no Xvfb could start

 private:
  pid_t pid_ = -1;
  int display_ = -1;
};

// A plant program run with a controller: program, then the controller's command and its
// arguments (the plant appends "-automemlink <ident>"). It runs in a process group of its
// own, which the object ends (the controller with it) if it is still running when destroyed.
class plant_process {
 public:
  plant_process(const std::string& program, const std::vector<std::string>& controller);
  ~plant_process();
  plant_process(const plant_process&) = delete;
  plant_process& operator=(const plant_process&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // The plant's exchange area, attached once the plant has created it: false when it did not
  // within the limit. The readings below attach it first.
  bool attach(double seconds = 60.0);
  int inputs_clock();
  int input(const std::string& name);
  int output(const std::string& name);
  // Writes an output in the controller's place (a test that plays the controller).
  void set_output(const std::string& name, int value);
  // Waits until the input has the value: false when the limit passed or the plant ended first.
  bool wait_input(const std::string& name, int value, double seconds = 60.0);
  // Waits for the end: the exit status (0 to 255), 128 + the signal that ended it, or -1 when
  // it still runs after the limit.
  int wait_exit(double seconds = 60.0);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  area_view view_;
};

// The id of the visible window titled exactly title, waiting for it up to the limit ("" when
// none shows). A plant's window has the title given to fl_show_form; its alarm alert, the
// plant's name.
std::string find_window(const std::string& title, double seconds = 60.0);
// Presses and releases the first mouse button at (x, y) of the window: a click on a button.
void press(const std::string& window, int x, int y);
// Types a key (an X keysym name: "Return", "Escape") into the window.
void key(const std::string& window, const std::string& keysym);

}  // namespace planttest

#endif
