#include "plantkit/plant_cycle.h"

#include <fcntl.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/forms.H>
#include <FL/x.H>

#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "plantkit/plant_start.h"

// Last: it defines macros that the standard headers do not expect.
#include <X11/Xlibint.h>

namespace {

// No side of the area holds more names.
constexpr int max_signals = 41;

int side_count(std::size_t names) {
  return static_cast<int>(std::min<std::size_t>(names, max_signals));
}

[[noreturn]] void alarm_end(const plant_description& plant, const plant_hooks& hooks,
                            IOsharemem_server& server, Fl_Window* window, const char* text) {
  // Titled with the plant's name, so that a test or a tool finds the alert by it.
  fl_message_title(plant.name.c_str());
  fl_alert("%s", text);
  fl_hide_form(window);
  server.sharing_terminate();
  if (hooks.at_end) hooks.at_end();
  std::exit(1);
}

// The display's connection raises a flag whenever the server sends something, so that a cycle
// knows without a system call whether the toolkit has events to read.
volatile std::sig_atomic_t display_spoke = 1;

void on_display_data(int) {
  display_spoke = 1;
}

// Fl::check costs three system calls even when it has nothing to do, and on caches that other
// processes emptied, tens of microseconds. The watch tells when the toolkit may have work: the
// server sent something, events were read already, a widget waits to be redrawn, or
// `quiet_cycles` went by (its timeouts, and any descriptor a plant gave it). The plant's own
// drawing requests are sent at the end of the cycle by a write alone.
class toolkit_watch {
 public:
  static constexpr int quiet_cycles = 100;  // half a second

  toolkit_watch() : fd_((fl_open_display(), ConnectionNumber(fl_display))) {
    struct sigaction sa = {};
    sa.sa_handler = on_display_data;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGIO, &sa, &old_action_);
    old_flags_ = fcntl(fd_, F_GETFL);
    old_owner_ = fcntl(fd_, F_GETOWN);
    fcntl(fd_, F_SETOWN, getpid());
    if (old_flags_ != -1) fcntl(fd_, F_SETFL, old_flags_ | O_ASYNC);
  }
  ~toolkit_watch() {
    if (old_flags_ != -1) fcntl(fd_, F_SETFL, old_flags_);
    fcntl(fd_, F_SETOWN, old_owner_);
    sigaction(SIGIO, &old_action_, nullptr);
  }
  toolkit_watch(const toolkit_watch&) = delete;
  toolkit_watch& operator=(const toolkit_watch&) = delete;

  bool due() const {
    return display_spoke != 0 || quiet_ >= quiet_cycles || QLength(fl_display) > 0 ||
           Fl::damage() != 0;
  }
  // Lets the toolkit work; what the server sends from now on is noticed again.
  void check() {
    display_spoke = 0;
    Fl::check();
    quiet_ = 0;
  }
  void skip() { ++quiet_; }
  // Sends what the cycle drew, so that the window shows it during the pause. XFlush would also
  // try to read events, two system calls more; the signal already tells when there are some.
  void send() {
    if (NextRequest(fl_display) == sent_) return;
    LockDisplay(fl_display);
    _XSend(fl_display, nullptr, 0);
    UnlockDisplay(fl_display);
    sent_ = NextRequest(fl_display);
  }

  // Sleeps usec microseconds, all of them although the display's signal may interrupt.
  static void pause(long usec) {
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_nsec += usec * 1000;
    until.tv_sec += until.tv_nsec / 1000000000;
    until.tv_nsec %= 1000000000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
  }

 private:
  int fd_;
  struct sigaction old_action_ = {};
  int old_flags_ = -1;
  int old_owner_ = 0;
  unsigned long sent_ = 0;
  int quiet_ = 0;
};

// The presses a scenario asks of the plant's declared buttons, through the area's press slots.
class press_desk {
 public:
  press_desk(const plant_description& plant, Fl_Window* window, int ident)
      : area_(static_cast<ioshare::exchange_area*>(shmat(ident, nullptr, 0))) {
    if (area_ == reinterpret_cast<void*>(-1)) area_ = nullptr;
    for (const std::string& label : plant.buttons) find(window, label);
  }
  ~press_desk() {
    if (area_ != nullptr) shmdt(area_);
  }
  press_desk(const press_desk&) = delete;
  press_desk& operator=(const press_desk&) = delete;

  // The request standing, once: the button pressed or released, and the answer given.
  void take() {
    if (area_ == nullptr) return;
    std::string label;
    const int request = ioshare::press_request(area_, &label);
    if (request <= 0 || request == last_) return;
    last_ = request;
    const int sequence = request / 2;
    Fl_Button* b = nullptr;
    for (const auto& [l, button] : buttons_)
      if (l == label) b = button;
    if (b == nullptr) {
      ioshare::press_reply(area_, -sequence);
      return;
    }
    if (request % 2 == 1) {
      if (b->type() == FL_TOGGLE_BUTTON) {
        b->value(!b->value());
      } else if (b->type() == FL_RADIO_BUTTON) {
        b->setonly();
      } else {
        b->value(1);
      }
    } else {
      if (b->type() != FL_TOGGLE_BUTTON && b->type() != FL_RADIO_BUTTON) b->value(0);
      b->do_callback();
    }
    ioshare::press_reply(area_, sequence);
  }

 private:
  void find(Fl_Group* group, const std::string& label) {
    for (int k = 0; k < group->children(); ++k) {
      Fl_Widget* w = group->child(k);
      auto* b = dynamic_cast<Fl_Button*>(w);
      if (b != nullptr && b->label() != nullptr && label == b->label()) {
        buttons_.emplace_back(label, b);
        return;
      }
      if (Fl_Group* inner = w->as_group()) find(inner, label);
    }
  }

  ioshare::exchange_area* area_;
  std::vector<std::pair<std::string, Fl_Button*>> buttons_;
  int last_ = 0;
};

}  // namespace

const char* exchange_cycle(const plant_description& plant, const plant_hooks& hooks,
                           IOsharemem_server& server) {
  int value[max_signals] = {};
  bool write[max_signals];
  std::fill(write, write + max_signals, true);
  hooks.inputs(value, write);
  const int inputs = side_count(plant.inputs.size());
  for (int i = 0; i < inputs; ++i) {
    if (write[i]) server.setreset_input(i, value[i]);
  }
  server.inputs_go();

  int outputs[max_signals] = {};
  const int count = side_count(plant.outputs.size());
  for (int k = 0; k < count; ++k) outputs[k] = server.output_value(k);
  return hooks.step(outputs);
}

int run_plant(const plant_description& plant, const plant_hooks& hooks, IOsharemem_server& server,
              Fl_Window* window, Fl_Widget* quit) {
  const bool everything = full_redraw_forced();
  // Paints a drawing into the window, made current only when a part is painted: a current
  // window costs a request to the server.
  auto paint = [&](plant_drawing* d, bool all) {
    if (d != nullptr && window->shown()) d->paint(all, window);
  };
  auto* own = dynamic_cast<plant_window*>(window);
  if (own != nullptr) {
    own->on_repaint([&] {
      paint(hooks.readout, true);
      paint(hooks.drawing, true);
    });
  }
  toolkit_watch toolkit;
  press_desk presses(plant, window, server.memory_ident());
  bool quitting = false;
  do {
    if (!window->shown()) quitting = true;
    if (toolkit.due()) {
      toolkit.check();
    } else {
      toolkit.skip();
    }

    presses.take();
    // At most one operator event per cycle.
    Fl_Widget* event = Fl::readqueue();
    if (event != nullptr && event == quit) {
      quitting = true;
    } else if (event != nullptr && hooks.event) {
      hooks.event(event);
    }
    // A window that the toolkit does not repaint through the kit is painted whole every cycle.
    const bool all = everything || own == nullptr;
    paint(hooks.readout, all);
    // A plant painting by itself, or drawing while it steps, finds its window current even
    // when an event's modal dialog has taken the drawing target.
    if (hooks.drawing == nullptr && window->shown()) window->make_current();

    const char* alarm = exchange_cycle(plant, hooks, server);
    if (alarm != nullptr) alarm_end(plant, hooks, server, window, alarm);
    if (hooks.drawing != nullptr) {
      paint(hooks.drawing, all);
    } else if (window->shown() && hooks.draw) {
      hooks.draw();
    }
    toolkit.send();
    toolkit.pause(5000);
  } while (!quitting && window->shown());

  if (own != nullptr) own->on_repaint(nullptr);
  if (window->shown()) fl_hide_form(window);
  server.sharing_terminate();
  if (hooks.at_end) hooks.at_end();
  return 0;
}
