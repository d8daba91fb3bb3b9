// What sudz-plc shows of a running program: the model of its body, the
// plant's signals, and the window (--view) or the SVG file (--svg) drawn
// from them. One object for the program's whole run.
#ifndef PLCVIEW_BODY_WATCH_H
#define PLCVIEW_BODY_WATCH_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "plcview/body_paint.h"
#include "plcview/body_window.h"

namespace plcview {

class body_watch {
 public:
  // Reads the drawing of the loaded program's body from the file's text,
  // with the values it starts from; false with a message when the body
  // cannot be found in it.
  bool open(const std::string& text, const plc::runtime& rt,
            const std::vector<std::string>& input_names,
            const std::vector<std::string>& output_names, std::string* error);
  // The drawing as it stands now (after open: the start, before any scan).
  bool write_svg(const std::string& path, std::string* error) const;
  // Opens the window, titled "sudz-plc: <program>".
  void show_window();
  // Lets the window handle its events; cheap when nothing happened.
  void poll();
  // After a scan: the program's state and the plant's signals as they are
  // now; only what changed is redrawn, at most 25 times a second (a timer's
  // elapsed time changes at every scan), the last change always shown.
  void after_scan(const plc::runtime& rt, const std::vector<int>& inputs,
                  const std::vector<int>& outputs);
  const body_model& model() const { return m_; }

 private:
  body_model m_;
  signals s_;
  void flush();
  std::unique_ptr<body_window> window_;
  bool pending_ = false;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace plcview

#endif
