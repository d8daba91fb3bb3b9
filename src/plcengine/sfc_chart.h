// The chart: steps, transitions, action associations, action blocks and
// variables, as read from a chart file.
//
// Values are 64-bit integers whatever their type: a BOOL is 0 or 1, a TIME
// counts milliseconds, an INT is an integer. Names of signals and variables
// are matched exactly (case counts); keywords are not.
//
// Every element keeps the line and column (both from 1) where it was
// written, so that errors point at it.
#ifndef PLCENGINE_SFC_CHART_H
#define PLCENGINE_SFC_CHART_H

#include <cstdint>
#include <string>
#include <vector>

#include "plcengine/binding.h"

namespace sfc {

struct source_pos {
  int line = 0;
  int column = 0;
};

// An expression node. Operands are held in args, left to right.
struct expr {
  enum class op : std::uint8_t {
    constant,  // value
    name,      // a signal or variable, resolved into a slot by the scan
    step_x,    // name.X: the step is active
    step_t,    // name.T: the step's active time in ms
    not_,
    neg,
    and_,
    or_,
    xor_,
    eq,
    ne,
    lt,
    le,
    gt,
    ge,
    add,
    sub,
    mul,
    div,
    mod,
    re,
    fe,  // rising and falling edge of args[0]
  };
  op kind = op::constant;
  std::int64_t value = 0;
  std::string name;
  source_pos pos;
  int depth = 1;  // levels of the tree below and including this node
  std::vector<expr> args;
};

// Deepest expression tree a chart may hold: evaluation recurses over it.
constexpr int max_expr_depth = 200;

enum class qualifier { N, S, R, P, L, D };
const char* qualifier_name(qualifier q);

// "Target(Q[, duration])" in a step: target is an output, a BOOL variable or
// an action block.
struct association {
  std::string target;
  qualifier qual = qualifier::N;
  std::int64_t duration_ms = -1;  // L and D only
  source_pos pos;
};

struct step {
  std::string name;
  bool initial = false;
  std::vector<association> actions;
  source_pos pos;
};

struct transition {
  std::vector<std::string> from, to;  // step names as written
  std::vector<source_pos> from_pos, to_pos;
  expr condition;
  source_pos pos;  // the keyword TRANSITION
};

// "target := value;" in an action block.
struct assignment {
  std::string target;
  expr value;
  source_pos pos;
};

struct action_block {
  std::string name;
  std::vector<assignment> body;
  source_pos pos;
};

enum class var_type { BOOL, INT, TIME };

struct variable {
  std::string name;
  var_type type = var_type::BOOL;
  std::int64_t initial = 0;
  source_pos pos;
};

struct chart {
  std::string name;  // after PROGRAM
  source_pos pos;    // of that name
  std::vector<step> steps;
  std::vector<transition> transitions;
  std::vector<action_block> actions;
  std::vector<variable> variables;

  // Index of the step, action block or variable of that name; -1 if none.
  int step_index(const std::string& n) const;
  int action_index(const std::string& n) const;
  int variable_index(const std::string& n) const;
};

// A fault found in a chart, with the place it points at.
struct chart_error {
  source_pos pos;
  std::string message;
};

// "file:line:column: message", then the offending line of text and a caret
// under the column (tabs kept, so the caret lines up in a terminal).
std::string format_error(const std::string& file, const std::string& text, const chart_error& e);

// The signal names of a plant, as the binding knows them: "sudz",
// "sudz-sorter", "sudz-gate", or a list "IN,IN,.../OUT,OUT,...".
using plant_names = plc::plant_signals;
using plc::known_plants;
inline bool plant_names_of(const std::string& given, plant_names* out, std::string* error) {
  return plc::plant_signals_of(given, out, error);
}

}  // namespace sfc

#endif
