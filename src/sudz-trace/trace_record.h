// What a run recorded: every change of every signal with the simulator's
// cycle and the time since the start, the overrides, the findings and how
// the run ended. The writers (trace_writers.h) turn it into files.
#ifndef SUDZ_TRACE_TRACE_RECORD_H
#define SUDZ_TRACE_TRACE_RECORD_H

#include <string>
#include <vector>

#include "sudz-trace/trace_rules.h"

// Where a recorded signal belongs.
enum class signal_kind {
  input,     // an input as the plant published it
  output,    // an output as the controller wrote it (and the plant reads it)
  seen,      // an overridden input as the controller saw it
  override_  // 1 while an override holds
};

struct trace_signal {
  std::string name;
  signal_kind kind;
  int initial = 0;
  int row = -1;        // input or output whose row it belongs to (seen, override), or its own
  bool value = false;  // a measured value or a set point rather than a switch
};

struct trace_change {
  double time;  // seconds since the start
  long cycle;   // simulator cycle
  int signal;   // index into signals
  int value;
};

class trace_record {
 public:
  // Adds a signal with its value at the start; returns its index.
  int add_signal(const std::string& name, signal_kind kind, int initial, int row = -1);
  // Records value if it differs from the signal's last one.
  void set(int signal, int value, double time, long cycle);
  int value(int signal) const { return current_[signal]; }
  // Marks a signal as a value: drawn as a line and dumped as an integer
  // even when it only ever held 0 and 1.
  void mark_value(int signal) { signals_[signal].value = true; }
  // True for a value: marked, or holding anything but 0 and 1, itself or
  // as the controller saw it (its row's seen signals).
  bool is_value(int signal) const;

  const std::vector<trace_signal>& signals() const { return signals_; }
  const std::vector<trace_change>& changes() const { return changes_; }
  // Index of the input or output of that name, -1 if none.
  int find(const std::string& name, signal_kind kind) const;

  // What the run was and how it ended; filled in by the proxy.
  std::string controller;  // the controller's command
  std::string started;     // wall-clock start, ISO 8601 UTC
  double duration = 0;     // seconds
  long first_cycle = -1, last_cycle = -1;
  std::string end;  // how the run ended
  std::string controller_end;
  std::vector<trace_finding> findings;
  std::vector<trace_goal> goals;
  std::vector<response_figure> responses;  // the criteria on set-point steps
  std::string alarm;                       // name of the alarm that ended the run, or ""
  long alarm_cycle = -1;
  double alarm_time = 0;
  std::vector<std::string> override_texts;  // one per override signal, same order

 private:
  std::vector<trace_signal> signals_;
  std::vector<int> current_;
  std::vector<trace_change> changes_;
};

#endif
