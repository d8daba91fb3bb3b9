// Overrides: what the controller is shown instead of what the plant says.
//
// Each is written as an option or as a line of a scenario file (the same
// text without the leading "--"), T and D in seconds since the start of the
// run, "+D" left out for an override that holds for good:
//
//   set NAME=V@T[+D]   the controller sees input NAME at V (a stuck sensor,
//                      a pressed button)
//   step NAME=V@T      the controller sees input NAME at V from T on: a step
//                      of a set point, whose response the rules may judge
//                      (trace_response.h); also a statement of a rules file
//   flip NAME@T[+D]    it sees input NAME inverted: 0 for any value but 0,
//                      1 for 0 (a sensor wired the wrong way round)
//   freeze T[+D]       it sees no new inputs at all (a frozen link): the
//                      clock it polls stands still
//   press LABEL@T[+D]  the plant's operator button LABEL is held down from
//                      T for D seconds (press_hold without "+D"), then
//                      released, as a person's click; the label may hold
//                      blanks (the rest of a scenario line)
//   fast-timers        each timer answers a rising edge of its output with
//                      its input at 1 after one second, for four seconds,
//                      instead of after ten or thirty
//
// Later overrides win over earlier ones on the same input.
#ifndef SUDZ_TRACE_TRACE_OVERRIDES_H
#define SUDZ_TRACE_TRACE_OVERRIDES_H

#include <string>
#include <vector>

#include "sudz-trace/trace_rules.h"

// How long a press without "+D" holds its button down: about a person's click.
constexpr double press_hold = 0.2;

struct override_spec {
  enum class kind { set, flip, freeze, fast_timers, press, step };
  kind what = kind::set;
  std::string name;      // input (set, flip, step), button label (press)
  int value = 0;         // set, step
  double start = 0;      // seconds since the start
  double duration = -1;  // seconds; < 0 for good
  std::string text;      // as written, for the trace
  int input = -1;        // resolved input index
  bool active(double t) const { return t >= start && (duration < 0 || t < start + duration); }
};

// Reads one override: keyword is "set", "step", "flip", "freeze", "press" or "fast-timers",
// arg what follows it. False with a message on error.
bool parse_override(const std::string& keyword, const std::string& arg, override_spec* out,
                    std::string* error);

// Reads a scenario: one override a line, '#' starts a comment, a leading
// "--" is allowed. Appends to out; false with a message naming the line.
bool parse_scenario(const std::string& text, std::vector<override_spec>* out, std::string* error);

// The overrides of a run, applied cycle by cycle.
class input_view {
 public:
  explicit input_view(std::vector<override_spec> specs) : specs_(std::move(specs)) {}
  // Resolves the input names; the fast timers take the rules' timer pairs.
  bool bind(const std::vector<std::string>& inputs, const std::vector<trace_timer>& timers,
            std::string* error);
  // Follows the outputs as forwarded, for the timers' rising edges.
  void outputs_forwarded(const std::vector<int>& outputs, double t);
  // True while a freeze holds.
  bool frozen(double t) const;
  // The inputs the controller sees at t.
  std::vector<int> apply(const std::vector<int>& plant, double t) const;
  // Inputs that some override may change.
  std::vector<int> touched_inputs() const;

  const std::vector<override_spec>& specs() const { return specs_; }

 private:
  std::vector<override_spec> specs_;
  struct timer_state {
    trace_timer pair;
    int last_output = 0;
    double edge = -1;  // time of the last rising edge, -1 none
  };
  std::vector<timer_state> timers_;
};

namespace ioshare {
struct exchange_area;
}

// The presses of a run, asked of the plant through its exchange area one at
// a time (exchange_area.h): each press's button down at its start, then up
// once it has been held its time, each only after the plant took the one
// before. A press is never lost, however late the proxy looks.
class press_queue {
 public:
  // Waits this many of the plant's cycles for an answer: a plant that takes
  // presses answers in its next cycle.
  static constexpr long answer_cycles = 200;

  explicit press_queue(const std::vector<override_spec>& specs);
  // One look at t, the plant's input clock standing at clock. False with
  // *error when the plant has no such button, or took no press at all.
  bool step(ioshare::exchange_area* area, double t, long clock, std::string* error);

 private:
  struct press {
    const override_spec* spec;
    int state = 0;  // 0 not yet, 1 down, 2 released
  };
  std::vector<press> presses_;
  int sequence_ = 0;
  int waiting_ = -1;  // the press whose request stands
  long asked_at_ = 0;
};

#endif
