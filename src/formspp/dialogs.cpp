#include "formspp/dialogs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Multi_Browser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/forms.H>

#include "Stringpp/Stringedit.h"
#include "Stringpp/Stringpp.h"

namespace {

// The NUL-terminated copy of a text that a toolkit call receives, released when the call returns.
std::unique_ptr<char[]> c_copy(const std::string& text) {
  return std::unique_ptr<char[]>(Stoa(text));
}

// Builds a top-level window even while the caller is building a group of its own, and puts that
// group back afterwards.
class top_level_build {
 public:
  top_level_build() : saved_(Fl_Group::current()) { Fl_Group::current(nullptr); }
  ~top_level_build() { Fl_Group::current(saved_); }
  top_level_build(const top_level_build&) = delete;
  top_level_build& operator=(const top_level_build&) = delete;

 private:
  Fl_Group* saved_;
};

// Longest wait for events in the dialogs' own loops: they sleep until an event comes, and this
// bound only makes them look at their state again now and then.
const double event_wait_bound = 0.5;

double show_double(const char* prompt, double value) {
  char initial[400];  // "%lf" of the largest double takes 316 characters
  std::snprintf(initial, sizeof initial, "%lf", value);
  const char* entry = fl_input("%s", initial, prompt);
  if (entry == nullptr) return value;
  char* end = nullptr;
  double read = std::strtod(entry, &end);
  return end == entry ? value : read;
}

// Writes `text` to the file `name`, created or emptied. On failure, returns the reason.
bool write_file(const char* name, const std::string& text, std::string& reason) {
  FILE* f = std::fopen(name, "wb");
  if (f == nullptr) {
    reason = std::strerror(errno);
    return false;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int error = errno;
  if (std::fflush(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (std::fclose(f) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) reason = std::strerror(error);
  return written;
}

void save_messages(const std::string& text) {
  const char* chosen = fl_show_file_selector("save message", "", "*.txt", "");
  if (chosen == nullptr || *chosen == '\0') return;
  std::string name = chosen;
  std::string reason;
  if (!write_file(name.c_str(), text, reason))
    fl_show_Salert("Cannot save the messages to \"" + name + "\": " + reason);
}

}  // namespace

void fl_show_Smessages(const std::string& text) {
  fl_message("%s", c_copy(text).get());
}

void fl_show_Salert(const std::string& text) {
  fl_alert("%s", c_copy(text).get());
}

int fl_show_Squestion(const std::string& text, int) {
  return fl_choice("%s", fl_no, fl_yes, nullptr, c_copy(text).get()) == 1 ? 1 : 0;
}

int fl_show_int(const char* prompt, int value) {
  char initial[16];
  std::snprintf(initial, sizeof initial, "%d", value);
  const char* entry = fl_input("%s", initial, prompt);
  if (entry == nullptr) return value;
  char* end = nullptr;
  errno = 0;
  long read = std::strtol(entry, &end, 10);
  if (end == entry || errno == ERANGE || read < INT_MIN || read > INT_MAX) return value;
  return static_cast<int>(read);
}

double fl_show_double(const char* prompt, double value) {
  return show_double(prompt, value);
}

double fl_show_double(const std::string& prompt, double value) {
  return show_double(c_copy(prompt).get(), value);
}

std::string fl_show_Sinput(const std::string& prompt, const std::string& initial) {
  const char* entry = fl_input("%s", c_copy(initial).get(), c_copy(prompt).get());
  return entry == nullptr ? std::string() : std::string(entry);
}

void fl_set_object_Slabel(Fl_Widget* w, const std::string& text, int len) {
  const bool cut = len >= 0 && static_cast<std::string::size_type>(len) < text.size();
  w->copy_label(
      c_copy(cut ? text.substr(0, static_cast<std::string::size_type>(len)) : text).get());
}

void fl_add_browser_Sline(Fl_Widget* browser, const std::string& line) {
  static_cast<Fl_Browser*>(browser)->add(c_copy(line).get());
}

void fl_replace_browser_Sline(Fl_Widget* browser, int row, const std::string& text) {
  auto* b = static_cast<Fl_Browser*>(browser);
  if (row >= 1 && row <= b->size()) b->text(row, c_copy(text).get());
}

void fl_set_Sinput(Fl_Widget* input, const std::string& text) {
  static_cast<Fl_Input_*>(input)->value(c_copy(text).get());
}

Fl_FormsText* fl_add_Stext(Fl_Boxtype box, int x, int y, int w, int h, const std::string& text) {
  Fl_FormsText* t = fl_add_text(box, x, y, w, h, nullptr);
  t->copy_label(c_copy(text).get());
  t->align(FL_ALIGN_LEFT);
  return t;
}

void fl_show_Sbigmessages(const std::string& text, int width) {
  std::unique_ptr<Fl_Window> window;
  Fl_Button* quit;
  Fl_Button* save;
  Fl_Multi_Browser* browser;
  // A negative width would make a window the server refuses, a huge one overflow.
  const int chars = std::max(0, std::min(width, 10000));
  {
    top_level_build build;
    window.reset(new Fl_Window(6 * chars + 10, 570, "Messages"));
    browser = new Fl_Multi_Browser(5, 10, 6 * chars, 500);
    quit = new Fl_Button(250, 530, 50, 30, "Quit");
    save = new Fl_Button(80, 530, 50, 30, "save");
    window->end();
  }
  window->set_modal();

  std::string rest;
  fl_add_browser_Sline(browser, next_record(text, '\n', rest));
  while (!rest.empty()) fl_add_browser_Sline(browser, next_record(rest, '\n', rest));

  window->show();
  // A close through the window manager hides the window and queues it: either ends the dialog
  // as "Quit" does.
  bool done = false;
  while (!done && window->shown()) {
    Fl::wait(event_wait_bound);
    while (Fl_Widget* w = Fl::readqueue()) {
      if (w == save) {
        save_messages(text);
      } else if (w == quit || w == window.get()) {
        done = true;
        break;
      }
    }
  }
  window->hide();
}

OFD_wait_form::OFD_wait_form(const std::string& text) {
  {
    top_level_build build;
    window_ = new Fl_Window(600, 60);
    window_->box(FL_NO_BOX);
    new Fl_Box(FL_UP_BOX, 0, 0, 600, 60, "");
    Fl_FormsText* t = fl_add_text(FL_NO_BOX, 10, 10, 580, 40, nullptr);
    t->copy_label(c_copy(text).get());
    t->align(FL_ALIGN_INSIDE);
    t->labelsize(FL_NORMAL_SIZE);
    text_ = t;
    fl_end_form();
  }
  fl_show_form(window_, FL_PLACE_MOUSE, FL_TRANSIENT, "travail en cours ...");
  Fl::check();
  // Until the server has shown and the toolkit has painted it, bounded.
  for (int i = 0; i < 100 && (!window_->visible() || window_->damage()); ++i) Fl::wait(0.01);
  Fl::flush();
}

OFD_wait_form::~OFD_wait_form() {
  window_->hide();
  delete window_;
}

int point_dans_segment(double x, double y, double x1, double y1, double x2, double y2,
                       double tolerance) {
  const double eps = 1e-10;
  auto between = [](double v, double a, double b) {
    return (a <= v && v <= b) || (b <= v && v <= a);
  };
  if (std::fabs(x1 - x2) <= eps) return between(y, y1, y2) && std::fabs(x - x1) < tolerance;
  if (std::fabs(y1 - y2) <= eps) return between(x, x1, x2) && std::fabs(y - y1) < tolerance;
  if (!between(x, x1, x2) || !between(y, y1, y2)) return 0;
  const double dx = x1 - x2, dy = y1 - y2;
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length <= eps) return 0;
  return std::fabs((x - x1) * dy - dx * (y - y1)) / length < tolerance;
}
