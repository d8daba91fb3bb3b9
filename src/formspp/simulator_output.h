// An outputs panel: named on/off signals listed one per line, each with a small square that shows
// its value, paged when they do not fit.
//
// The square is blue (216) for the value 1, yellow (95) for 0 and red (88) for anything else, in
// particular 2, the value of a signal added but not evaluated yet. A page holds
// (height - 85) / 16 lines, at least 1 and at most max_lines: a panel too short for one line
// still shows one signal per page. The "+" and "-" buttons page forward and back.
//
// The panel is built either inside a window that the caller owns (open the window's group before
// and end it after), at a horizontal offset, or in a window of its own that is shown at once under
// the mouse pointer. Names are shown verbatim. The panel never touches the exchange area: the
// caller reads the values and hands them to eval. Toolkit thread only.
//
//   OFD_simulator_output out(200, "Outputs");
//   out.add("Vi");
//   out.add("Vo");
//   int values[2] = {1, 0};
//   out.eval(values);  // "Vi" blue, "Vo" yellow
#ifndef FORMSPP_SIMULATOR_OUTPUT_H
#define FORMSPP_SIMULATOR_OUTPUT_H

#include <list>
#include <string>
#include <vector>

class Fl_Box;
class Fl_Browser;
class Fl_Button;
class Fl_Widget;
class Fl_Window;

class OFD_simulator_output {
 public:
  // Most lines a page can hold.
  static constexpr int max_lines = 32768;

  // Builds the panel into the current group of window, its widgets placed from x: the label
  // name at (x + 80, 10), "-" at (x + 70, height - 30), "+" at (x + 150, height - 30), the list
  // of names at (x + 20, 30, 198, height - 68) and the squares at (x + 7, 34 + 16 i).
  OFD_simulator_output(Fl_Window* window, int x, int height, const char* name);
  // Builds the panel in a window of its own of 240 by height pixels, without the label, with
  // "-" at (30, height - 30) and "+" at (70, height - 30), and shows it titled title.
  OFD_simulator_output(int height, const char* title);
  // Hides the holding window (the caller's too). A window of the panel's own is deleted with it;
  // widgets in the caller's window stay with that window, the paging buttons made inactive.
  ~OFD_simulator_output();
  OFD_simulator_output(const OFD_simulator_output&) = delete;
  OFD_simulator_output& operator=(const OFD_simulator_output&) = delete;

  // Appends a signal with the value 2 (red). Adding the first signal past the page shown moves
  // to the next page. Duplicates are accepted.
  void add(const std::string& name);
  // Takes values[0] to values[count() - 1] and recolours the squares of the visible lines. A
  // square is redrawn only when its colour changes.
  void eval(const int* values);
  // Page forward or back; nothing moves at the last page or at page 0.
  void next_page();
  void previous_page();
  // Recolours the square of one line of the page shown; a line outside the page or past the
  // last signal is left alone.
  void internal_colorise(int line);
  // The paging buttons, for the caller to restyle or move.
  Fl_Button* my_plus_button() { return plus_; }
  Fl_Button* my_moins_button() { return moins_; }
  // Does nothing: the panel has nothing to wait for.
  void check() {}

  int count() const { return count_; }
  int page() const { return page_; }
  int lines_per_page() const { return lines_; }
  // Value of signal i as last evaluated (2 before any eval); 0 for an unknown signal.
  int value(int i) const { return i >= 0 && i < count_ ? values_[i] : 0; }
  Fl_Window* window() const { return window_; }

 private:
  void build(int x, int height, bool own_window);
  void hide_squares();
  void fill_page();

  Fl_Window* window_;
  int x_;
  std::vector<std::string> names_;
  int count_ = 0;
  int page_ = 0;
  int lines_ = 1;
  std::list<std::string> names_list_;
  std::vector<Fl_Box*> squares_;  // one per line of a page
  Fl_Browser* browser_ = nullptr;
  Fl_Button* plus_ = nullptr;
  Fl_Button* moins_ = nullptr;
  std::vector<int> values_;
  bool own_window_;
  std::string label_;  // the label's text, kept while the widget shows it
  std::string title_;  // the own window's title, likewise
};

// The buttons' callbacks: data is the panel.
void OFD_simulator_output_callback_plus(Fl_Widget*, void* data);
void OFD_simulator_output_callback_moins(Fl_Widget*, void* data);

#endif
