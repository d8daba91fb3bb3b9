#include "plcview/body_watch.h"

#include <FL/Fl.H>

#include "plcview/body_svg.h"

namespace plcview {

bool body_watch::open(const std::string& text, const plc::runtime& rt,
                      const std::vector<std::string>& input_names,
                      const std::vector<std::string>& output_names, std::string* error) {
  if (!read_body_model(text, rt.prog(), &m_, error)) return false;
  refresh(m_, rt);
  s_.input_names = input_names;
  s_.output_names = output_names;
  s_.inputs.assign(input_names.size(), 0);
  s_.outputs.assign(output_names.size(), 0);
  return true;
}

bool body_watch::write_svg(const std::string& path, std::string* error) const {
  return write_body_svg(m_, s_, path, error);
}

void body_watch::show_window() {
  window_.reset(new body_window(m_, s_, "sudz-plc: " + m_.pou));
  window_->show();
}

void body_watch::poll() {
  if (!window_) return;
  Fl::check();
  flush();
}

void body_watch::flush() {
  constexpr auto period = std::chrono::milliseconds(40);
  const auto now = std::chrono::steady_clock::now();
  if (!window_->shown() || now - last_ < period) return;
  window_->update(pending_);
  pending_ = false;
  last_ = now;
}

void body_watch::after_scan(const plc::runtime& rt, const std::vector<int>& inputs,
                            const std::vector<int>& outputs) {
  if (!window_ || !window_->shown()) return;
  pending_ = refresh(m_, rt) || pending_;
  s_.inputs = inputs;
  s_.outputs = outputs;
  flush();
}

}  // namespace plcview
