// Rules over what the signals of a run show, and the plant facts they need.
//
// A rule set is read from lines of text, one statement a line; '#' starts a
// comment. Names are the signal names of the exchange area; a condition is
// one or more terms joined by "and", and a term is NAME=V or NAME!=V, where
// NAME may list several names joined by '|' (the term holds when any of
// them matches):
//
//   rule NAME: CONDITION [for N]   a finding when CONDITION has held for more
//                                  than N simulator cycles in a row (N = 0
//                                  when absent: at once); one finding per
//                                  episode, re-armed when it stops holding
//   goal NAME: CONDITION           the first cycle at which it holds
//   timer OUTPUT INPUT             a timer started by a rising edge of OUTPUT
//                                  and answered on INPUT (used by the fast
//                                  timers)
//   model NAME START MIN MAX: TERM STEP [TERM STEP...]
//                                  a quantity the plant integrates per cycle:
//                                  each term that holds adds its STEP, then
//                                  the value is kept within MIN and MAX
//   alarm NAME: MODEL >= X         the plant ends the run with an alarm when
//   alarm NAME: MODEL > X          the model passes X
//   step SP=V@T                    the controller sees input SP at V from T
//                                  seconds on: a set-point step, an override
//                                  of the run (trace_overrides.h)
//   overshoot, settling, error, iae
//                                  how a value answers the steps of its set
//                                  point (trace_response.h)
//
// Inputs are the values the plant published for the cycle; outputs are the
// values it read in that cycle. The washing machine's own set is
// washing_machine_rules.
#ifndef SUDZ_TRACE_TRACE_RULES_H
#define SUDZ_TRACE_TRACE_RULES_H

#include <string>
#include <vector>

#include "sudz-trace/trace_response.h"

// The built-in rules of the washing machine, in the form above.
extern const char* const washing_machine_rules;

// NAME[|NAME...] = V or != V, resolved to indexes into the cycle's state
// (inputs first, then outputs).
struct rule_term {
  std::vector<std::string> names;
  std::vector<int> index;
  bool equal = true;
  int value = 0;
  bool holds(const std::vector<int>& state) const;
};

struct rule_condition {
  std::vector<rule_term> terms;  // all must hold
  bool holds(const std::vector<int>& state) const;
  std::string text;  // as written
};

struct trace_rule {
  std::string name;
  rule_condition when;
  long cycles = 0;  // finding once it has held for more than this many cycles
  long held = 0;    // cycles held in a row so far
};

struct trace_goal {
  std::string name;
  rule_condition when;
  long cycle = -1;  // first cycle it held; -1 not yet
  double time = 0;
};

struct trace_timer {
  std::string output, input;
  int output_index = -1, input_index = -1;  // on their own side
};

struct model_step {
  rule_term when;
  double step = 0;
};

struct trace_model {
  std::string name;
  double start = 0, min = 0, max = 0, value = 0;
  std::vector<model_step> steps;
};

struct trace_alarm {
  std::string name;
  std::string model;
  int model_index = -1;
  bool or_equal = true;  // >= rather than >
  double threshold = 0;
  long crossed = -1;  // first cycle the model passed the threshold
  bool passed(double v) const { return or_equal ? v >= threshold : v > threshold; }
};

// A finding: a rule broken at a cycle.
struct trace_finding {
  std::string rule;
  long cycle = 0;
  double time = 0;
  std::string what;
};

class trace_rules {
 public:
  // Reads the statements; false with a message naming the line on error.
  bool parse(const std::string& text, std::string* error);
  // Resolves the names against the area's; false naming an unknown one.
  bool bind(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
            std::string* error);

  // One simulator cycle: inputs as published, outputs as read. New
  // findings and a newly reached goal are appended to found.
  void cycle(long number, double time, const std::vector<int>& inputs,
             const std::vector<int>& outputs, std::vector<trace_finding>* found);

  // At the end of the run, last the last cycle seen and outputs the last
  // outputs: the alarm that ended it, or null. An alarm ended the run when
  // its model passed the threshold within two cycles of the last one.
  const trace_alarm* ending_alarm(long last, const std::vector<int>& inputs,
                                  const std::vector<int>& outputs);

  const std::vector<trace_rule>& rules() const { return rules_; }
  const std::vector<trace_goal>& goals() const { return goals_; }
  const std::vector<trace_timer>& timers() const { return timers_; }
  const std::vector<trace_model>& models() const { return models_; }
  // The steps' texts after "step" (SP=V@T), and the criteria on the responses.
  const std::vector<std::string>& steps() const { return steps_; }
  const std::vector<response_criterion>& responses() const { return responses_; }

 private:
  void advance_models(long number, const std::vector<int>& state);
  std::vector<trace_rule> rules_;
  std::vector<trace_goal> goals_;
  std::vector<trace_timer> timers_;
  std::vector<trace_model> models_;
  std::vector<trace_alarm> alarms_;
  std::vector<std::string> steps_;
  std::vector<response_criterion> responses_;
  int nb_inputs_ = 0;
};

#endif
