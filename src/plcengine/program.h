// A controller program as read from Structured Text or PLCopen XML: its
// variables and its body, ready to be compiled by the runtime.
//
// Names are kept as written; they are compared without regard to case, as
// IEC identifiers are. Every node keeps its line (from 1, in the file it
// came from) so that errors point at it.
#ifndef PLCENGINE_PROGRAM_H
#define PLCENGINE_PROGRAM_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plcengine/value.h"

namespace plc {

struct expr {
  enum class kind : std::uint8_t {
    literal,  // lit
    name,     // a variable: name
    member,   // an instance's output: name "." member (inst.Q, inst.ET)
    unary,    // op on args[0]: "NOT", "-"
    binary,   // op on args[0], args[1]: "+", "AND", "<=", "**", ...
    call,     // a function: name(args), formal names in formals ("" if positional)
  };
  kind k = kind::literal;
  value lit;
  std::string name, member, op;
  std::vector<expr> args;
  std::vector<std::string> formals;
  int line = 0;
  // Filled in when the runtime resolves the program: a variable's slot, an
  // instance's index, a function's number; member: the parameter's index.
  int ref = -1, ref2 = -1;
};

struct stmt;
using stmt_list = std::vector<stmt>;

// One parameter of a function block call: "IN := x" or "Q => y".
struct call_param {
  std::string formal;
  bool output = false;  // =>
  expr value;           // the source (input) or the target, a name (output)
};

struct case_label {
  value low, high;  // a single value has low == high
};

struct stmt {
  enum class kind : std::uint8_t {
    assign,
    fb_call,
    if_,
    case_,
    for_,
    while_,
    repeat,
    exit_,
    return_,
    empty,
  };
  kind k = kind::empty;
  int line = 0;
  expr target;                     // assign: the variable; for_: the counter
  expr value;                      // assign: the value; for_: the start
  std::string instance;            // fb_call
  std::vector<call_param> params;  // fb_call
  int ref = -1;                    // fb_call: the instance, once resolved
  std::vector<int> param_refs;     // fb_call: each parameter's index
  // if_: conds[i] guards bodies[i]; a last body without its condition is ELSE.
  // while_, repeat: conds[0] and bodies[0]. case_: value is the selector,
  // labels[i] guard bodies[i], a last extra body is ELSE.
  std::vector<expr> conds;
  std::vector<stmt_list> bodies;
  std::vector<std::vector<case_label>> labels;
  expr end, by;  // for_
  bool has_by = false;
  // An assignment drawn as a coil or an output variable: its network (from
  // 1, unique in the program; 0 in text) and whether it is a set or reset
  // coil, which only latches.
  int network = 0;
  bool latch = false;
};

enum class var_class : std::uint8_t { local, input, output, in_out, external, global, temp };

struct variable {
  std::string name;
  var_class cls = var_class::local;
  bool is_fb = false;
  type t = type::BOOL;    // when not is_fb
  std::string type_name;  // as written: "INT", "TON"
  std::string address;    // "%IX0.0", or ""
  bool has_initial = false;
  value initial;
  int line = 0;
  // A wire of a drawn body, named "$<localId>...": it holds whatever value
  // it is given, is never a plant signal and is never written by the student.
  bool wire = false;
};

// A chart drawn as a graph: steps, transitions between them, and the
// actions of each step. Steps' X and T read as the variables "$<step>.X"
// and "$<step>.T", which the chart declares and the runtime keeps.
struct chart_action {
  char qualifier = 'N';           // N, S, R, P, L or D
  std::int64_t duration_ms = -1;  // L and D
  std::string target;             // a BOOL variable, or the name of a body
  int body = -1;                  // index in chart::bodies, or -1 for a variable
  int var = -1;                   // resolved by the runtime
  int line = 0;
};

struct chart_step {
  std::string name;
  bool initial = false;
  std::vector<chart_action> actions;
  int line = 0;
};

struct chart_transition {
  std::vector<int> from, to;  // steps
  expr condition;
  int line = 0;
};

// A rising (RE) or falling (FE) edge of an expression, computed once at
// the start of every scan against its value at the previous scan (FALSE
// before the first) and read as the BOOL variable named var_name.
struct chart_edge {
  expr operand;
  bool rising = true;
  std::string var_name;
  int var = -1;  // resolved by the runtime
};

// How a chart's scan treats what its actions do not name:
//  drawn:   variables keep their values; steps' X and T are those the last
//           scan left until the transitions have cleared;
//  textual: steps' X and T are current from the start of the scan (the
//           initial steps active in the first one), edges are computed
//           first, every variable in followers is FALSE unless driven, and
//           each latch's source is copied into its target once the actions
//           have run (so that conditions and actions read the value the
//           previous scan left).
enum class chart_rule : std::uint8_t { drawn, textual };

struct chart_graph {
  std::vector<chart_step> steps;
  std::vector<chart_transition> transitions;  // in the order they are tried
  std::vector<stmt_list> bodies;              // action bodies, run in this order
  std::vector<std::string> body_names;
  chart_rule rule = chart_rule::drawn;
  std::vector<chart_edge> edges;  // in the order they are computed
  std::vector<std::string> followers;
  std::vector<std::pair<std::string, std::string>> latches;  // source, target
};

struct program {
  std::string name;
  std::string file;  // where it was read, for messages
  int line = 0;
  std::vector<variable> vars;
  stmt_list body;
  bool has_chart = false;  // the body is the chart
  chart_graph chart;
  int networks = 0;                         // drawn networks numbered so far
  int find(const std::string& name) const;  // index in vars, -1 if none
};

// Case-insensitive equality of identifiers.
bool same_name(const std::string& a, const std::string& b);
std::string upper_name(const std::string& s);

// A fault found in a program: "file:line: message" when shown.
struct error {
  std::string file;
  int line = 0;
  std::string message;
  std::string text() const;
};

}  // namespace plc

#endif
