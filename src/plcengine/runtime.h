// Runs a program, one scan at a time, free of any plant and of any clock:
// the caller sets the inputs, gives each scan its time, reads the outputs.
//
// A chart runs in this order: first the networks drawn for its conditions
// (the program's body); in the first scan its initial steps become active; transitions are tried in their order on the situation the last
// scan left (one whose steps are all active and whose condition holds is
// cleared, unless an earlier one cleared in this scan took one of its
// steps); the cleared ones leave their steps, then enter the following
// ones, all at once; then the actions of the new situation: N while the
// step is active, S until an R, R (winning over everything), P in the scan
// the step was entered, L while the step's time is below the duration, D
// once it has reached it. A BOOL variable named as an action is TRUE while
// driven and FALSE otherwise; an action body runs while driven, and not
// once more when its step is left.
//
// Variables keep their values from scan to scan, as in a PLC; VAR_TEMP
// variables start again from their initial values at every scan. Integers
// wrap to their type's width; a division or MOD by 0 gives 0. A scan whose
// loops run more than max_loop_rounds rounds in all stops there, and the
// runtime reports the fault (a controller must never hang its plant).
#ifndef PLCENGINE_RUNTIME_H
#define PLCENGINE_RUNTIME_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plcengine/program.h"
#include "plcengine/std_blocks.h"

namespace plc {

constexpr long max_loop_rounds = 1000000;

// Whether name (any case) is a standard function this runtime calls: SEL,
// MUX, MAX, MIN, LIMIT, MOVE, ABS, SQRT, TRUNC, the operators as functions
// (ADD, GT, ...) and the conversions X_TO_Y.
bool is_function(const std::string& name);

class runtime {
 public:
  // Resolves every name and call of p; false with the first error (an
  // unknown name, a type or block that is not supported, ...).
  bool load(const program& p, error* err);

  // One run of the body at now_ms. False, with fault(), if it had to stop.
  bool scan(std::int64_t now_ms);

  const program& prog() const { return prog_; }
  // Index of a variable (any case), -1 if none.
  int find(const std::string& name) const { return prog_.find(name); }
  value get(int var) const { return values_[var]; }
  void set(int var, const value& v);
  // A function block instance's parameter, by variable and name.
  value member(int var, const std::string& param) const;
  bool is_instance(int var) const { return instance_of_[var] >= 0; }
  const error& fault() const { return fault_; }
  // A chart's step: active now.
  bool step_active(int step) const { return active_[step] != 0; }
  // Its time (Step.T) at now_ms: since it was entered while it is active,
  // the length of its last activity once it is left.
  std::int64_t step_time(int step, std::int64_t now_ms) const {
    return active_[step] ? now_ms - since_[step] : last_length_[step];
  }
  // The transitions the last scan cleared, by index.
  const std::vector<int>& cleared() const { return fired_; }
  long scans() const { return scans_; }

 private:
  enum class flow { next, exit_loop, return_ };
  value eval(const expr& e);
  value call_function(const expr& e);
  flow run(const stmt_list& list);
  flow run(const stmt& s);
  void store(const expr& target, const value& v);
  void resolve(expr& e);
  void resolve(stmt_list& list, int loops);
  [[noreturn]] void fail(int line, const std::string& message) const;
  void resolve_chart();
  void run_chart();
  void refresh_steps();

  program prog_;
  std::vector<value> values_;
  std::vector<int> instance_of_;  // per variable: its instance, or -1
  std::vector<fb_instance> instances_;
  // A chart's situation, per step, and its actions' flags, per target
  // (variables first, then bodies).
  std::vector<char> active_, entered_, taken_;
  std::vector<std::int64_t> since_, last_length_;
  std::vector<int> step_x_, step_t_;
  std::vector<char> on_, reset_, stored_;
  std::vector<int> fired_;
  std::vector<char> edge_before_, edge_now_;
  std::vector<int> followers_;
  std::vector<std::pair<int, int>> latches_;
  std::int64_t now_ = 0;
  long rounds_ = 0;
  long scans_ = 0;
  error fault_;
};

}  // namespace plc

#endif
