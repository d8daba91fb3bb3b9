#include "sudz-trace/trace_record.h"

int trace_record::add_signal(const std::string& name, signal_kind kind, int initial, int row) {
  const int index = static_cast<int>(signals_.size());
  signals_.push_back({name, kind, initial, row < 0 ? index : row});
  current_.push_back(initial);
  return index;
}

void trace_record::set(int signal, int value, double time, long cycle) {
  if (signal < 0 || signal >= static_cast<int>(current_.size())) return;
  if (current_[signal] == value) return;
  current_[signal] = value;
  changes_.push_back({time, cycle, signal, value});
}

int trace_record::find(const std::string& name, signal_kind kind) const {
  for (size_t i = 0; i < signals_.size(); ++i)
    if (signals_[i].kind == kind && signals_[i].name == name) return static_cast<int>(i);
  return -1;
}

bool trace_record::is_value(int signal) const {
  auto odd = [](int v) { return v != 0 && v != 1; };
  // The signal itself, or a signal of its row other than an override's.
  auto same = [&](size_t i) {
    if (static_cast<int>(i) == signal) return true;
    const trace_signal &s = signals_[i], &t = signals_[signal];
    return s.kind != signal_kind::override_ && t.kind != signal_kind::override_ && s.row == t.row;
  };
  for (size_t i = 0; i < signals_.size(); ++i)
    if (same(i) && (signals_[i].value || odd(signals_[i].initial))) return true;
  for (const trace_change& c : changes_)
    if (odd(c.value) && same(c.signal)) return true;
  return false;
}
