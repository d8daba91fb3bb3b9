// A window holding an outputs panel on its left (240 pixels wide) and an inputs panel on its
// right (400 pixels wide): signals watched beside signals set by hand, as a manual controller
// or a manual plant shows them.
//
// The window is built hidden; add the signals to both panels, then show it. It is deleted with
// the object. Toolkit thread only.
#ifndef FORMSPP_IO_PANEL_WINDOW_H
#define FORMSPP_IO_PANEL_WINDOW_H

#include <memory>
#include <string>

#include "formspp/simulator_input.h"
#include "formspp/simulator_output.h"

class Fl_Window;

class OFD_io_panel_window {
 public:
  static constexpr int width = 640;

  // A window of width by height pixels titled title; outputs_label names the outputs panel.
  OFD_io_panel_window(int height, const std::string& title, const std::string& outputs_label);
  ~OFD_io_panel_window();
  OFD_io_panel_window(const OFD_io_panel_window&) = delete;
  OFD_io_panel_window& operator=(const OFD_io_panel_window&) = delete;

  OFD_simulator_output& outputs() { return *outputs_; }
  OFD_simulator_input& inputs() { return *inputs_; }
  Fl_Window* window() { return window_; }
  void show();
  // False once the window is hidden, by the program or closed through the window manager.
  bool shown() const;

  // A height that shows every one of n signals on one page (at least 300, at most 700 pixels).
  static int height_for(int n);

 private:
  Fl_Window* window_;
  std::string outputs_label_;
  std::unique_ptr<OFD_simulator_output> outputs_;
  std::unique_ptr<OFD_simulator_input> inputs_;
};

#endif
