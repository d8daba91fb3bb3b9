// How a value answers a step of its set point: overshoot, settling time,
// steady-state error and integral of absolute error, judged against limits.
//
// A step (`step SP=V@T`, an override) makes the controller see the set point
// SP at V from T on. From the cycle at which it first holds until the next
// step of the same set point (or the end of the run), the value PV is taken
// once a cycle and compared with V. Times are the plant's: its cycles, at
// the cycle's 200 a second, so that a loaded machine, whose plant runs
// slower, measures the same response. The statements, in a rules file:
//
//   overshoot NAME: PV against SP <= P%
//   settling NAME: PV against SP within B[%] <= S
//   error NAME: PV against SP <= E [over S]
//   iae NAME: PV against SP <= A
//
// With e = V - PV each cycle, d = V - PV at the step (the step's size, at
// least one unit):
//   overshoot  the largest excursion of PV past V, away from where it
//              started, in % of |d| (0 when it never passes V);
//   settling   the time from the step to the start of the last stretch in
//              which |e| stays within B (B% of |d| with '%', else in PV's
//              units) to the end; not settled when |e| is outside B at the
//              end;
//   error      the mean of |e| over the last S seconds (the last cycle
//              without "over");
//   iae        the sum of |e| times the cycle's time, in PV's units times
//              seconds.
// Each broken limit is a finding, once per step; so is a step that never
// came, the run having ended before it.
#ifndef SUDZ_TRACE_TRACE_RESPONSE_H
#define SUDZ_TRACE_TRACE_RESPONSE_H

#include <string>
#include <vector>

// The plant's cycles in a second.
constexpr int response_cycles_per_second = 200;

struct response_criterion {
  enum class measure { overshoot, settling, error, iae };
  measure what = measure::overshoot;
  std::string name, value, setpoint;  // the criterion, PV, SP
  int value_index = -1;               // into the cycle's state (inputs, then outputs)
  int setpoint_input = -1;            // input index
  double limit = 0;                   // %, seconds, PV's units, units times seconds
  double band = 0;                    // settling
  bool band_percent = false;
  double over = -1;  // error: seconds; < 0 the last cycle
  std::string text;  // the rest of the line, as written
};

// Reads the statement KEYWORD NAME: REST when keyword is one of the four;
// false with why on error. Returns false with why empty for another keyword.
bool parse_response(const std::string& keyword, const std::string& name, const std::string& rest,
                    response_criterion* out, std::string* why);

// One criterion's figure for one step.
struct response_figure {
  std::string criterion;
  std::string step;       // the step's text
  bool measured = false;  // false: the step never came
  bool settled = true;    // settling: within its band at the end
  double figure = 0;
  bool passed = true;
  std::string what;  // the figure and the limit, in words
  long cycle = -1;   // where a broken limit shows: the peak, the time due, the end
  double time = 0;
};

// A step as the judge knows it: which input, the value, when.
struct response_step {
  int input = -1;
  int value = 0;
  double start = 0;
  std::string text;
};

// Takes the run cycle by cycle, then judges.
class response_judge {
 public:
  response_judge(std::vector<response_criterion> criteria, std::vector<response_step> steps);
  // One plant cycle at wall time t: state is the inputs as published, then
  // the outputs.
  void cycle(long number, double t, const std::vector<int>& state);
  // The figures, one per criterion and step of its set point, in the
  // criteria's order.
  std::vector<response_figure> judge() const;

  const std::vector<response_criterion>& criteria() const { return criteria_; }

 private:
  struct window {
    int step = -1;         // into steps_
    long first_cycle = 0;  // the step's cycle
    std::vector<int> values;
    std::vector<double> times;
  };
  std::vector<response_criterion> criteria_;
  std::vector<response_step> steps_;
  std::vector<bool> started_;
  std::vector<std::vector<window>> windows_;  // by criterion
  long last_cycle_ = -1;
  double last_time_ = 0;
};

#endif
