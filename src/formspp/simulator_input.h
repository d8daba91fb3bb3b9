// An inputs panel: named on/off signals that a person sets by hand and sends with "GO".
//
// Each signal has a tick in the "Signal" column (the value to send, 1 when ticked) and one in
// the "Sticky" column (the signal keeps its tick after it has been sent). "GO" hands the ticks
// over as values and unticks the signals not marked sticky, so those are sent once; "INIT"
// unticks every signal; "QUIT" asks to stop. The i-th added name (from 0) is element i of the
// caller's value arrays.
//
// The panel is built either inside a window that the caller owns (open the window's group before
// and end it after), at a horizontal offset, or in a window of its own of 400 by height pixels,
// titled "Inputs Pannel", shown at once under the mouse pointer. Its buttons have no callbacks:
// the toolkit queues them when pressed, and check, poll and eval take them from that queue
// (Fl::readqueue), dropping any other widget found there. The panel never touches the exchange
// area. Toolkit thread only.
//
//   OFD_simulator_input in(300);
//   in.add("St");
//   int init, quit, values[1];
//   for (in.check(&init, &quit, values); !quit; in.check(&init, &quit, values))
//     if (!init) send(values);
#ifndef FORMSPP_SIMULATOR_INPUT_H
#define FORMSPP_SIMULATOR_INPUT_H

#include <list>
#include <string>

class Fl_Button;
class Fl_Check_Browser;
class Fl_Window;

class OFD_simulator_input {
 public:
  // Builds into the current group of window, from x: the labels "Signal" at (x + 80, 10) and
  // "Sticky" at (x + 280, 10), the columns at (x + 10, 30, 180, height - 70) and
  // (x + 210, 30, 180, height - 70), and "INIT", "GO", "QUIT" (60 by 20) at x + 10, x + 180
  // and x + 330, height - 30.
  OFD_simulator_input(Fl_Window* window, int x, int height);
  // The same widgets in a window of its own, shown at once.
  explicit OFD_simulator_input(int height);
  // Hides the holding window (the caller's too). A window of the panel's own is deleted with it.
  ~OFD_simulator_input();
  OFD_simulator_input(const OFD_simulator_input&) = delete;
  OFD_simulator_input& operator=(const OFD_simulator_input&) = delete;

  // Appends a signal, unticked in both columns.
  void add(const std::string& name);

  // Waits until a button is pressed, handling events meanwhile (without keeping the processor
  // busy), then:
  //   "QUIT": *quit = 1;
  //   "INIT": *quit = 0, *init = 1, every signal unticked (the sticky column stays);
  //   "GO":   *quit = 0, *init = 0, values[i] = 1 if signal i is ticked else 0, then the
  //           signals not marked sticky are unticked.
  // values is written only on "GO" and must hold count() elements. The holding window closed
  // (through the window manager, say) counts as "QUIT", so check never waits for ever.
  void check(int* init, int* quit, int* values);
  // One round of check without waiting: handles the pending events and acts on a button found
  // in the queue as check does. Returns 1 when it did, else 0 (then *init and *quit are 0).
  int poll(int* init, int* quit, int* values);
  // Handles the pending events once and takes one widget from the queue: "QUIT" sets *quit = 1
  // and nothing else; otherwise *quit = 0 and the ticks are made to show values (ticked where
  // values[i] is not 0).
  void eval(int* quit, const int* values);

  int count() const { return count_; }
  // Whether signal i (from 0) is ticked in the "Signal" or the "Sticky" column.
  bool ticked(int i) const;
  bool sticky(int i) const;
  Fl_Window* window() const { return window_; }
  Fl_Button* go_button() const { return go_; }
  Fl_Button* init_button() const { return init_; }
  Fl_Button* quit_button() const { return quit_; }

 private:
  void build(int x, int height);
  // Acts on a widget taken from the queue (null: none), as one round of check.
  int act(void* widget, int* init, int* quit, int* values);

  Fl_Window* window_;
  Fl_Button* quit_ = nullptr;
  Fl_Button* go_ = nullptr;
  Fl_Button* init_ = nullptr;
  Fl_Check_Browser* signal_ = nullptr;
  Fl_Check_Browser* sticky_ = nullptr;
  std::list<std::string> names_list_;
  int count_ = 0;
  bool own_window_;
};

#endif
