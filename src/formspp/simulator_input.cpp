#include "formspp/simulator_input.h"

#include <algorithm>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Browser.H>
#include <FL/Fl_Window.H>
#include <FL/forms.H>

namespace {

// Longest pause of check between two looks at the queue when nothing happens: events end it
// at once, so it only bounds how late a closed window is noticed.
constexpr double kWaitBound = 0.1;

Fl_Check_Browser* column(int x, int height) {
  Fl_Check_Browser* c = new Fl_Check_Browser(x, 30, 180, std::max(height - 70, 0));
  c->type(FL_MULTI_BROWSER);
  return c;
}

Fl_Button* queued_button(int x, int y, const char* label) {
  Fl_Button* b = fl_add_button(FL_NORMAL_BUTTON, x, y, 60, 20, label);
  b->labelfont(FL_TIMES);
  b->labelsize(10);
  return b;
}

}  // namespace

OFD_simulator_input::OFD_simulator_input(Fl_Window* window, int x, int height)
    : window_(window), own_window_(false) {
  build(x, height);
}

OFD_simulator_input::OFD_simulator_input(int height) : own_window_(true) {
  window_ = new Fl_Window(400, height);
  window_->box(FL_NO_BOX);
  Fl_Box* background = new Fl_Box(0, 0, 400, height);
  background->box(FL_FLAT_BOX);
  build(0, height);
  // Ends the window as a plain group: the forms layer's fl_end_form would turn every y upside
  // down (forms count from the bottom), away from the geometry above.
  window_->end();
  fl_show_form(window_, FL_PLACE_MOUSE, FL_TRANSIENT, "Inputs Pannel");
}

void OFD_simulator_input::build(int x, int height) {
  new Fl_FormsText(FL_NO_BOX, x + 80, 10, 40, 20, "Signal");
  new Fl_FormsText(FL_NO_BOX, x + 280, 10, 40, 20, "Sticky");
  signal_ = column(x + 10, height);
  sticky_ = column(x + 210, height);
  go_ = queued_button(x + 180, height - 30, "GO");
  init_ = queued_button(x + 10, height - 30, "INIT");
  quit_ = queued_button(x + 330, height - 30, "QUIT");
}

OFD_simulator_input::~OFD_simulator_input() {
  if (window_ != nullptr) window_->hide();
  names_list_.clear();
  if (own_window_) delete window_;
}

void OFD_simulator_input::add(const std::string& name) {
  names_list_.push_back(name);
  ++count_;
  signal_->add(name.c_str());
  sticky_->add(name.c_str());
}

bool OFD_simulator_input::ticked(int i) const {
  return i >= 0 && i < count_ && signal_->checked(i + 1) != 0;
}

bool OFD_simulator_input::sticky(int i) const {
  return i >= 0 && i < count_ && sticky_->checked(i + 1) != 0;
}

int OFD_simulator_input::act(void* widget, int* init, int* quit, int* values) {
  if (widget == quit_) {
    *quit = 1;
    return 1;
  }
  *quit = 0;
  if (widget == init_) {
    signal_->check_none();
    *init = 1;
    return 1;
  }
  *init = 0;
  if (widget == go_) {
    for (int i = 0; i < count_; ++i) {
      values[i] = signal_->checked(i + 1) ? 1 : 0;
      if (!sticky_->checked(i + 1)) signal_->checked(i + 1, 0);
    }
    return 1;
  }
  return 0;
}

int OFD_simulator_input::poll(int* init, int* quit, int* values) {
  Fl::check();
  // Other widgets queued before a button would each cost a round: pass over them here.
  while (Fl_Widget* w = Fl::readqueue()) {
    if (act(w, init, quit, values)) return 1;
  }
  return act(nullptr, init, quit, values);
}

void OFD_simulator_input::check(int* init, int* quit, int* values) {
  while (!poll(init, quit, values)) {
    if (window_ == nullptr || !window_->shown()) {
      *quit = 1;
      return;
    }
    Fl::wait(kWaitBound);
  }
}

void OFD_simulator_input::eval(int* quit, const int* values) {
  Fl::check();
  if (Fl::readqueue() == quit_) {
    *quit = 1;
    return;
  }
  *quit = 0;
  for (int i = 0; i < count_; ++i) signal_->checked(i + 1, values[i] != 0 ? 1 : 0);
}
