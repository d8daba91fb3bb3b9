#include "formspp/simulator_output.h"

#include <algorithm>

#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/forms.H>

namespace {

constexpr Fl_Color kBlue = 216, kYellow = 95, kRed = 88, kBlack = 56;
constexpr Fl_Font kLabelFont = FL_TIMES;

// (height - 85) / 16, kept within 1 .. max_lines: a page never has no line to divide by, and
// never more lines than there are squares.
int lines_for(int height) {
  const int lines = (height - 85) / 16;
  return std::min(std::max(lines, 1), OFD_simulator_output::max_lines);
}

// A label shows "@" codes as symbols; "@@" shows one "@".
std::string label_text(const char* text) {
  std::string out;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    out += *p;
    if (*p == '@') out += '@';
  }
  return out;
}

// A browser line that begins with "@" is read as formatting; "@." shows the rest verbatim.
std::string browser_line(const std::string& name) {
  return !name.empty() && name[0] == '@' ? "@." + name : name;
}

Fl_Button* paging_button(int x, int y, const char* label, Fl_Callback* cb, void* panel) {
  Fl_Button* b = fl_add_button(FL_NORMAL_BUTTON, x, y, 20, 20, label);
  b->labelfont(kLabelFont);
  b->labelsize(10);
  b->callback(cb, panel);
  return b;
}

}  // namespace

OFD_simulator_output::OFD_simulator_output(Fl_Window* window, int x, int height, const char* name)
    : window_(window), x_(x), own_window_(false), label_(label_text(name)) {
  Fl_FormsText* text = new Fl_FormsText(FL_NO_BOX, x + 80, 10, 40, 20, label_.c_str());
  text->align(FL_ALIGN_LEFT);
  build(x, height, false);
}

OFD_simulator_output::OFD_simulator_output(int height, const char* title)
    : x_(0), own_window_(true), title_(title != nullptr ? title : "") {
  window_ = new Fl_Window(240, height);
  window_->box(FL_NO_BOX);
  Fl_Box* background = new Fl_Box(0, 0, 240, height, "");
  background->box(FL_FLAT_BOX);
  build(0, height, true);
  // Ends the window as a plain group: the forms layer's fl_end_form would turn every y upside
  // down (forms count from the bottom), away from the geometry above.
  window_->end();
  fl_show_form(window_, FL_PLACE_MOUSE, FL_TRANSIENT, title_.c_str());
}

void OFD_simulator_output::build(int x, int height, bool own_window) {
  lines_ = lines_for(height);
  plus_ = paging_button(own_window ? 70 : x + 150, height - 30, "+",
                        OFD_simulator_output_callback_plus, this);
  moins_ = paging_button(own_window ? 30 : x + 70, height - 30, "-",
                         OFD_simulator_output_callback_moins, this);
  browser_ = new Fl_Browser(x + 20, 30, 198, std::max(height - 68, 0));
  squares_.reserve(lines_);
  for (int i = 0; i < lines_; ++i) {
    Fl_Box* square = new Fl_Box(x + 7, 34 + 16 * i, 10, 12, "");
    square->box(FL_FLAT_BOX);
    square->labelfont(kLabelFont);
    square->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    square->hide();
    squares_.push_back(square);
  }
}

OFD_simulator_output::~OFD_simulator_output() {
  if (window_ != nullptr) window_->hide();
  names_list_.clear();
  if (own_window_) {
    delete window_;
  } else {
    // The buttons stay in the caller's window; their callbacks must not reach this panel.
    plus_->deactivate();
    moins_->deactivate();
  }
}

void OFD_simulator_output::hide_squares() {
  for (Fl_Box* square : squares_) square->hide();
}

void OFD_simulator_output::fill_page() {
  hide_squares();
  browser_->clear();
  for (int i = 0; i < lines_; ++i) {
    const int k = page_ * lines_ + i;
    if (k >= count_) break;
    browser_->add(browser_line(names_[k]).c_str());
    internal_colorise(i);
    squares_[i]->show();
  }
}

void OFD_simulator_output::add(const std::string& name) {
  names_list_.push_back(name);
  names_.push_back(name);
  values_.push_back(2);
  const int before = count_;
  ++count_;
  hide_squares();
  // One page at most, even if several were skipped.
  if (before / lines_ > page_) ++page_;
  fill_page();
}

void OFD_simulator_output::next_page() {
  hide_squares();
  browser_->clear();
  if (page_ < (count_ - 1) / lines_) ++page_;
  fill_page();
}

void OFD_simulator_output::previous_page() {
  hide_squares();
  if (page_ > 0) --page_;
  browser_->clear();
  fill_page();
}

void OFD_simulator_output::internal_colorise(int line) {
  if (line < 0 || line >= lines_) return;
  const int k = page_ * lines_ + line;
  if (k >= count_) return;
  const int v = values_[k];
  const Fl_Color wanted = v == 1 ? kBlue : v == 0 ? kYellow : kRed;
  Fl_Box* square = squares_[line];
  if (square->color() == wanted) return;
  square->color(wanted);
  square->selection_color(kBlack);
  square->redraw();
}

void OFD_simulator_output::eval(const int* values) {
  std::copy(values, values + count_, values_.begin());
  for (int i = 0; i < lines_; ++i) {
    if (squares_[i]->visible_r()) internal_colorise(i);
  }
}

void OFD_simulator_output_callback_plus(Fl_Widget*, void* data) {
  static_cast<OFD_simulator_output*>(data)->next_page();
}

void OFD_simulator_output_callback_moins(Fl_Widget*, void* data) {
  static_cast<OFD_simulator_output*>(data)->previous_page();
}
