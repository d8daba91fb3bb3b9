#include "formspp/io_panel_window.h"

#include <algorithm>

#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>

OFD_io_panel_window::OFD_io_panel_window(int height, const std::string& title,
                                         const std::string& outputs_label)
    : window_(new Fl_Window(width, height)), outputs_label_(outputs_label) {
  window_->copy_label(title.c_str());
  Fl_Box* background = new Fl_Box(0, 0, width, height);
  background->box(FL_FLAT_BOX);
  outputs_.reset(new OFD_simulator_output(window_, 0, height, outputs_label_.c_str()));
  inputs_.reset(new OFD_simulator_input(window_, 240, height));
  window_->end();
}

OFD_io_panel_window::~OFD_io_panel_window() {
  outputs_.reset();
  inputs_.reset();
  delete window_;
}

void OFD_io_panel_window::show() {
  window_->show();
}

bool OFD_io_panel_window::shown() const {
  return window_->shown() != 0;
}

int OFD_io_panel_window::height_for(int n) {
  return std::min(std::max(85 + 16 * n + 16, 300), 700);
}
