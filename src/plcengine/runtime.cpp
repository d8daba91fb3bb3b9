#include "plcengine/runtime.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace plc {

namespace {

struct scan_fault {
  int line;
  std::string message;
};

enum bop { add, sub, mul, div_, mod, pow_, and_, or_, xor_, eq, ne, lt, le, gt, ge, n_bops };
const char* const bop_text[] = {"+",   "-", "*",  "/", "MOD", "**", "AND", "OR",
                                "XOR", "=", "<>", "<", "<=",  ">",  ">="};

// The standard functions, by number; conversions are conversion_base + type.
enum fn { SEL, MUX, MAX, MIN, LIMIT, MOVE, ABS, SQRT, TRUNC, NOT_F, n_plain };
const char* const fn_text[] = {"SEL",  "MUX", "MAX",  "MIN",   "LIMIT",
                               "MOVE", "ABS", "SQRT", "TRUNC", "NOT"};
constexpr int operator_base = 100;  // ADD, SUB, ... as functions: operator_base + bop
const char* const bop_function[] = {"ADD", "SUB", "MUL", "DIV", "MOD", "EXPT", "AND", "OR",
                                    "XOR", "EQ",  "NE",  "LT",  "LE",  "GT",   "GE"};
constexpr int conversion_base = 200;

std::int64_t wrap_add(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t wrap_sub(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
std::int64_t wrap_mul(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

// The type of a ∘ b: a real if either is, TIME if either is, else the typed
// operand's (an untyped literal takes its partner's type).
type result_type(type a, type b) {
  if (is_real(a) || is_real(b)) {
    if (a == type::LREAL || b == type::LREAL) return type::LREAL;
    if (a == type::REAL || b == type::REAL) return type::REAL;
    return type::any_real;
  }
  if (a == type::any_int) return b;
  if (b == type::any_int) return a;
  if (a == type::TIME || b == type::TIME) return type::TIME;
  return a;
}

value binary(int op, const value& a, const value& b) {
  const type t = result_type(a.t, b.t);
  if (op >= eq) {
    int c;
    if (is_real(t)) {
      const double x = a.as_real(), y = b.as_real();
      c = x < y ? -1 : x > y ? 1 : 0;
    } else {
      c = a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
    }
    switch (op) {
      case eq:
        return value::of_bool(c == 0);
      case ne:
        return value::of_bool(c != 0);
      case lt:
        return value::of_bool(c < 0);
      case le:
        return value::of_bool(c <= 0);
      case gt:
        return value::of_bool(c > 0);
      default:
        return value::of_bool(c >= 0);
    }
  }
  if (op == and_ || op == or_ || op == xor_) {
    // A BOOL beside a number reads it as TRUE when not 0, on either side.
    if (t == type::BOOL || a.t == type::BOOL || b.t == type::BOOL) {
      const bool x = a.truth(), y = b.truth();
      return value::of_bool(op == and_ ? x && y : op == or_ ? x || y : x != y);
    }
    const std::int64_t x = a.as_int(), y = b.as_int();
    return value::of_int(t, op == and_ ? x & y : op == or_ ? x | y : x ^ y);
  }
  if (is_real(t) || op == pow_) {
    const double x = a.as_real(), y = b.as_real();
    double r = 0;
    switch (op) {
      case add:
        r = x + y;
        break;
      case sub:
        r = x - y;
        break;
      case mul:
        r = x * y;
        break;
      case div_:
        r = y == 0 ? 0 : x / y;
        break;
      case mod:
        r = y == 0 ? 0 : std::fmod(x, y);
        break;
      default:
        r = std::pow(x, y);
        break;
    }
    if (!std::isfinite(r)) r = 0;
    return is_real(t) ? value::of_real(t, r) : value::of_real(type::LREAL, r);
  }
  const std::int64_t x = a.i, y = b.i;
  switch (op) {
    case add:
      return value::of_int(t, wrap_add(x, y));
    case sub:
      return value::of_int(t, wrap_sub(x, y));
    case mul:
      return value::of_int(t, wrap_mul(x, y));
    case div_:
      if (y == 0) return value::of_int(t, 0);
      if (y == -1) return value::of_int(t, wrap_sub(0, x));
      return value::of_int(t, x / y);
    default:
      if (y == 0 || y == -1) return value::of_int(t, 0);
      return value::of_int(t, x % y);
  }
}

int bop_of(const std::string& op) {
  for (int i = 0; i < n_bops; ++i)
    if (op == bop_text[i]) return i;
  return -1;
}

// The function of that name: a number as in fn, operator_base + bop, or
// conversion_base + type; -1 if none.
int function_of(const std::string& name) {
  const std::string u = upper_name(name);
  for (int i = 0; i < n_plain; ++i)
    if (u == fn_text[i]) return i;
  for (int i = 0; i < n_bops; ++i)
    if (u == bop_function[i]) return operator_base + i;
  // X_TO_Y and TO_Y.
  size_t at = u.rfind("TO_");
  if (at != std::string::npos && (at == 0 || (at > 1 && u[at - 1] == '_'))) {
    type from = type::BOOL, target = type::BOOL;
    if (!type_of_name(u.substr(at + 3), &target)) return -1;
    if (at > 0 && !type_of_name(u.substr(0, at - 1), &from)) return -1;
    return conversion_base + static_cast<int>(target);
  }
  return -1;
}

// Where a formal argument goes in the positional list of function f.
int formal_position(int f, const std::string& formal) {
  const std::string u = upper_name(formal);
  const bool selector = f == SEL || f == MUX;
  if (u == "G" || u == "K" || u == "MN") return 0;
  if (u == "MX") return 2;
  if (u == "IN") return f == LIMIT ? 1 : 0;
  if (u.size() > 2 && u.compare(0, 2, "IN") == 0 && std::all_of(u.begin() + 2, u.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      })) {
    const int k = std::stoi(u.substr(2));
    return selector ? k + 1 : k - 1;
  }
  return -1;
}

}  // namespace

bool is_function(const std::string& name) {
  return function_of(name) >= 0;
}

void runtime::fail(int line, const std::string& message) const {
  throw scan_fault{line, message};
}

bool runtime::load(const program& p, error* err) {
  prog_ = p;
  values_.clear();
  instance_of_.clear();
  instances_.clear();
  scans_ = 0;
  try {
    for (variable& v : prog_.vars) {
      int inst = -1;
      value init;
      fb_kind k;
      if (v.cls == var_class::in_out || v.cls == var_class::external)
        fail(v.line, std::string(v.cls == var_class::in_out ? "VAR_IN_OUT" : "VAR_EXTERNAL") +
                         " is not supported (variable " + v.name + ")");
      if (type_of_name(v.type_name, &v.t)) {
        v.is_fb = false;
        init = convert(v.has_initial ? v.initial : value::of_int(type::LINT, 0), v.t);
        if (v.wire && v.has_initial) init = v.initial;  // a wire starts with its source's zero
      } else if (fb_kind_of(v.type_name, &k)) {
        if (v.has_initial)
          fail(v.line, "an instance of " + v.type_name + " takes no initial value");
        if (!v.address.empty()) fail(v.line, "an instance of " + v.type_name + " has no address");
        v.is_fb = true;
        inst = static_cast<int>(instances_.size());
        instances_.emplace_back(k);
      } else {
        fail(v.line, "type " + v.type_name + " is not supported (variable " + v.name + ")");
      }
      for (size_t w = 0; w < values_.size(); ++w)
        if (same_name(prog_.vars[w].name, v.name))
          fail(v.line, "variable " + v.name + " declared twice");
      values_.push_back(init);
      instance_of_.push_back(inst);
    }
    resolve(prog_.body, 0);
    if (prog_.has_chart) resolve_chart();
  } catch (const scan_fault& f) {
    *err = {prog_.file, f.line, "POU " + prog_.name + ": " + f.message};
    return false;
  }
  return true;
}

void runtime::resolve(expr& e) {
  for (expr& a : e.args) resolve(a);
  switch (e.k) {
    case expr::kind::literal:
      break;
    case expr::kind::name:
      e.ref = prog_.find(e.name);
      if (e.ref < 0) fail(e.line, "unknown name " + e.name);
      if (instance_of_[e.ref] >= 0)
        fail(e.line, e.name + " is a function block instance: read one of its outputs, as " +
                         e.name + ".Q");
      break;
    case expr::kind::member: {
      e.ref = prog_.find(e.name);
      if (e.ref < 0) {
        // A step's X or T.
        const int step = prog_.find("$" + e.name + "." + upper_name(e.member));
        if (step >= 0) {
          e.k = expr::kind::name;
          e.ref = step;
          break;
        }
        fail(e.line, "unknown name " + e.name);
      }
      const int inst = instance_of_[e.ref];
      if (inst < 0)
        fail(e.line, e.name + "." + e.member + ": " + e.name + " is not a function block instance");
      e.ref2 = param_index(instances_[inst].kind, e.member);
      if (e.ref2 < 0)
        fail(e.line,
             e.name + " (" + fb_name(instances_[inst].kind) + ") has no parameter " + e.member);
      e.ref = inst;
      break;
    }
    case expr::kind::unary:
      e.ref = e.op == "NOT" ? 1 : 0;
      break;
    case expr::kind::binary:
      e.ref = bop_of(e.op);
      if (e.ref < 0) fail(e.line, "operator " + e.op + " is not supported");
      break;
    case expr::kind::call: {
      e.ref = function_of(e.name);
      if (e.ref < 0) {
        const int v = prog_.find(e.name);
        if (v >= 0 && instance_of_[v] >= 0)
          fail(e.line, e.name + " is a function block instance: call it as a statement");
        fail(e.line, "function " + e.name + " is not supported");
      }
      const bool formal = std::any_of(e.formals.begin(), e.formals.end(),
                                      [](const std::string& f) { return !f.empty(); });
      if (formal) {
        std::vector<expr> ordered(e.args.size());
        std::vector<bool> given(e.args.size(), false);
        for (size_t i = 0; i < e.args.size(); ++i) {
          const int at = formal_position(e.ref, e.formals[i]);
          if (at < 0 || at >= static_cast<int>(e.args.size()) || given[at])
            fail(e.line, "function " + e.name + " has no parameter " + e.formals[i] + " here");
          ordered[at] = std::move(e.args[i]);
          given[at] = true;
        }
        e.args = std::move(ordered);
      }
      const size_t n = e.args.size();
      size_t need = 1;
      bool variadic = false;
      if (e.ref == SEL || e.ref == LIMIT) need = 3;
      if (e.ref == MUX) need = 2, variadic = true;
      if (e.ref == MAX || e.ref == MIN) need = 2, variadic = true;
      if (e.ref >= operator_base && e.ref < conversion_base) {
        const int op = e.ref - operator_base;
        need = 2;
        variadic = op == add || op == mul || op == and_ || op == or_ || op == xor_ || op >= eq;
      }
      if (variadic ? n < need : n != need)
        fail(e.line, "function " + e.name + " takes " + (variadic ? "at least " : "") +
                         std::to_string(need) + " argument" + (need > 1 ? "s" : ""));
      break;
    }
  }
}

void runtime::resolve(stmt_list& list, int loops) {
  for (stmt& s : list) {
    switch (s.k) {
      case stmt::kind::assign:
        resolve(s.target);
        resolve(s.value);
        break;
      case stmt::kind::fb_call: {
        const int v = prog_.find(s.instance);
        if (v < 0) fail(s.line, "unknown name " + s.instance);
        s.ref = instance_of_[v];
        if (s.ref < 0) fail(s.line, s.instance + " is not a function block instance");
        const fb_kind k = instances_[s.ref].kind;
        for (call_param& cp : s.params) {
          const int pi = param_index(k, cp.formal);
          if (pi < 0)
            fail(s.line, s.instance + " (" + fb_name(k) + ") has no parameter " + cp.formal);
          if (params_of(k)[pi].output != cp.output)
            fail(s.line, std::string(fb_name(k)) + "." + cp.formal + " is an " +
                             (cp.output ? "input: give it with :=" : "output: read it with =>"));
          s.param_refs.push_back(pi);
          resolve(cp.value);
        }
        break;
      }
      case stmt::kind::if_:
      case stmt::kind::while_:
      case stmt::kind::repeat:
      case stmt::kind::case_:
      case stmt::kind::for_: {
        const bool loop =
            s.k == stmt::kind::while_ || s.k == stmt::kind::repeat || s.k == stmt::kind::for_;
        for (expr& c : s.conds) resolve(c);
        if (s.k == stmt::kind::case_) resolve(s.value);
        if (s.k == stmt::kind::for_) {
          resolve(s.target);
          resolve(s.value);
          resolve(s.end);
          if (s.has_by) resolve(s.by);
          if (is_real(prog_.vars[s.target.ref].t) || prog_.vars[s.target.ref].t == type::BOOL)
            fail(s.line, "the counter of FOR must be an integer variable");
        }
        for (stmt_list& b : s.bodies) resolve(b, loops + (loop ? 1 : 0));
        break;
      }
      case stmt::kind::exit_:
        if (loops == 0) fail(s.line, "EXIT outside a loop");
        break;
      default:
        break;
    }
  }
}

void runtime::set(int var, const value& v) {
  values_[var] = convert(v, prog_.vars[var].t);
}

value runtime::member(int var, const std::string& param) const {
  const int inst = instance_of_[var];
  if (inst < 0) return value();
  const int p = param_index(instances_[inst].kind, param);
  return p < 0 ? value() : instances_[inst].p[p];
}

value runtime::eval(const expr& e) {
  switch (e.k) {
    case expr::kind::literal:
      return e.lit;
    case expr::kind::name:
      return values_[e.ref];
    case expr::kind::member:
      return instances_[e.ref].p[e.ref2];
    case expr::kind::unary: {
      const value a = eval(e.args[0]);
      if (e.ref == 1) {
        if (a.t == type::BOOL) return value::of_bool(!a.truth());
        return value::of_int(a.t, ~a.as_int());
      }
      if (is_real(a.t)) return value::of_real(a.t, -a.r);
      return value::of_int(a.t, wrap_sub(0, a.i));
    }
    case expr::kind::binary: {
      // AND and OR do not evaluate their right side when the left decides.
      const value a = eval(e.args[0]);
      if (a.t == type::BOOL && e.ref == and_ && !a.truth()) return a;
      if (a.t == type::BOOL && e.ref == or_ && a.truth()) return a;
      return binary(e.ref, a, eval(e.args[1]));
    }
    case expr::kind::call:
      return call_function(e);
  }
  return value();
}

value runtime::call_function(const expr& e) {
  const int f = e.ref;
  if (f >= conversion_base) return convert(eval(e.args[0]), static_cast<type>(f - conversion_base));
  if (f >= operator_base) {
    const int op = f - operator_base;
    if (op >= eq) {
      // GT(a, b, c) is a > b AND b > c.
      value prev = eval(e.args[0]);
      for (size_t i = 1; i < e.args.size(); ++i) {
        const value next = eval(e.args[i]);
        if (!binary(op, prev, next).truth()) return value::of_bool(false);
        prev = next;
      }
      return value::of_bool(true);
    }
    value acc = eval(e.args[0]);
    for (size_t i = 1; i < e.args.size(); ++i) acc = binary(op, acc, eval(e.args[i]));
    return acc;
  }
  switch (f) {
    case SEL:
      return eval(e.args[0]).truth() ? eval(e.args[2]) : eval(e.args[1]);
    case MUX: {
      const std::int64_t k = eval(e.args[0]).as_int();
      if (k < 0 || k + 1 >= static_cast<std::int64_t>(e.args.size())) {
        const value first = eval(e.args[1]);
        return convert(value::of_int(type::LINT, 0), first.t);
      }
      return eval(e.args[static_cast<size_t>(k) + 1]);
    }
    case MAX:
    case MIN: {
      value best = eval(e.args[0]);
      for (size_t i = 1; i < e.args.size(); ++i) {
        const value v = eval(e.args[i]);
        if (binary(f == MAX ? gt : lt, v, best).truth()) best = v;
      }
      return best;
    }
    case LIMIT: {
      const value mn = eval(e.args[0]), in = eval(e.args[1]), mx = eval(e.args[2]);
      if (binary(lt, in, mn).truth()) return mn;
      if (binary(gt, in, mx).truth()) return mx;
      return in;
    }
    case MOVE:
      return eval(e.args[0]);
    case ABS: {
      const value a = eval(e.args[0]);
      if (is_real(a.t)) return value::of_real(a.t, std::fabs(a.r));
      return a.i < 0 ? value::of_int(a.t, wrap_sub(0, a.i)) : a;
    }
    case SQRT: {
      const value a = eval(e.args[0]);
      const double x = a.as_real();
      return value::of_real(a.t == type::LREAL ? type::LREAL : type::REAL,
                            x > 0 ? std::sqrt(x) : 0);
    }
    case TRUNC: {
      const value a = eval(e.args[0]);
      const double x = a.as_real();
      return value::of_int(
          type::DINT, std::isfinite(x) && std::fabs(x) < 9e18 ? static_cast<std::int64_t>(x) : 0);
    }
    case NOT_F: {
      const value a = eval(e.args[0]);
      return a.t == type::BOOL ? value::of_bool(!a.truth()) : value::of_int(a.t, ~a.as_int());
    }
  }
  return value();
}

void runtime::store(const expr& target, const value& v) {
  if (target.k == expr::kind::member) {
    fb_instance& inst = instances_[target.ref];
    inst.p[target.ref2] = convert(v, params_of(inst.kind)[target.ref2].t);
    return;
  }
  const variable& d = prog_.vars[target.ref];
  values_[target.ref] = d.wire ? v : convert(v, d.t);
}

runtime::flow runtime::run(const stmt_list& list) {
  for (const stmt& s : list) {
    const flow f = run(s);
    if (f != flow::next) return f;
  }
  return flow::next;
}

runtime::flow runtime::run(const stmt& s) {
  auto count_round = [&]() {
    if (++rounds_ > max_loop_rounds)
      fail(s.line, "loops ran more than " + std::to_string(max_loop_rounds) +
                       " rounds in one scan: the scan stops");
  };
  switch (s.k) {
    case stmt::kind::empty:
      return flow::next;
    case stmt::kind::exit_:
      return flow::exit_loop;
    case stmt::kind::return_:
      return flow::return_;
    case stmt::kind::assign:
      store(s.target, eval(s.value));
      return flow::next;
    case stmt::kind::fb_call: {
      fb_instance& inst = instances_[s.ref];
      const auto& ps = params_of(inst.kind);
      for (size_t i = 0; i < s.params.size(); ++i) {
        if (s.params[i].output) continue;
        const int pi = s.param_refs[i];
        inst.p[pi] = convert(eval(s.params[i].value), ps[pi].t);
      }
      inst.call(now_);
      for (size_t i = 0; i < s.params.size(); ++i)
        if (s.params[i].output) store(s.params[i].value, inst.p[s.param_refs[i]]);
      return flow::next;
    }
    case stmt::kind::if_:
      for (size_t i = 0; i < s.bodies.size(); ++i)
        if (i >= s.conds.size() || eval(s.conds[i]).truth()) return run(s.bodies[i]);
      return flow::next;
    case stmt::kind::case_: {
      const value sel = eval(s.value);
      for (size_t i = 0; i < s.labels.size(); ++i)
        for (const case_label& l : s.labels[i])
          if (!binary(lt, sel, l.low).truth() && !binary(gt, sel, l.high).truth())
            return run(s.bodies[i]);
      if (s.bodies.size() > s.labels.size()) return run(s.bodies.back());
      return flow::next;
    }
    case stmt::kind::while_:
      while (eval(s.conds[0]).truth()) {
        count_round();
        const flow f = run(s.bodies[0]);
        if (f == flow::exit_loop) break;
        if (f == flow::return_) return f;
      }
      return flow::next;
    case stmt::kind::repeat:
      for (;;) {
        count_round();
        const flow f = run(s.bodies[0]);
        if (f == flow::exit_loop) break;
        if (f == flow::return_) return f;
        if (eval(s.conds[0]).truth()) break;
      }
      return flow::next;
    case stmt::kind::for_: {
      store(s.target, eval(s.value));
      const value end = eval(s.end);
      const value by = s.has_by ? eval(s.by) : value::of_int(type::any_int, 1);
      if (!by.truth()) fail(s.line, "FOR with BY 0 never ends");
      const bool up = binary(gt, by, value::of_int(type::any_int, 0)).truth();
      for (;;) {
        const value i = values_[s.target.ref];
        if (up ? binary(gt, i, end).truth() : binary(lt, i, end).truth()) break;
        count_round();
        const flow f = run(s.bodies[0]);
        if (f == flow::exit_loop) break;
        if (f == flow::return_) return f;
        const value next = binary(add, values_[s.target.ref], by);
        // A counter that would wrap past its type's end has done its last round.
        if (up ? binary(lt, next, values_[s.target.ref]).truth()
               : binary(gt, next, values_[s.target.ref]).truth())
          break;
        store(s.target, next);
      }
      return flow::next;
    }
  }
  return flow::next;
}

bool runtime::scan(std::int64_t now_ms) {
  now_ = now_ms;
  rounds_ = 0;
  ++scans_;
  for (size_t v = 0; v < prog_.vars.size(); ++v) {
    const variable& d = prog_.vars[v];
    if (d.cls == var_class::temp && !d.is_fb)
      values_[v] = convert(d.has_initial ? d.initial : value::of_int(type::LINT, 0), d.t);
  }
  try {
    // A chart's body holds the networks drawn for its conditions.
    run(prog_.body);
    if (prog_.has_chart) run_chart();
  } catch (const scan_fault& f) {
    fault_ = {prog_.file, f.line, "POU " + prog_.name + ": " + f.message};
    return false;
  }
  return true;
}

void runtime::resolve_chart() {
  chart_graph& c = prog_.chart;
  const size_t n = c.steps.size();
  step_x_.assign(n, -1);
  step_t_.assign(n, -1);
  for (size_t s = 0; s < n; ++s) {
    step_x_[s] = prog_.find("$" + c.steps[s].name + ".X");
    step_t_[s] = prog_.find("$" + c.steps[s].name + ".T");
    for (chart_action& a : c.steps[s].actions) {
      if (a.body >= 0) continue;
      a.var = prog_.find(a.target);
      if (a.var < 0 || instance_of_[a.var] >= 0 || prog_.vars[a.var].t != type::BOOL)
        fail(a.line, "step " + c.steps[s].name + ": " + a.target +
                         " is neither an action of the POU nor a BOOL variable");
    }
  }
  for (chart_transition& t : c.transitions) resolve(t.condition);
  for (stmt_list& b : c.bodies) resolve(b, 0);
  auto bool_var = [&](const std::string& name) {
    const int v = prog_.find(name);
    if (v < 0 || instance_of_[v] >= 0 || prog_.vars[v].t != type::BOOL)
      fail(prog_.line, name + " is not a BOOL variable");
    return v;
  };
  for (chart_edge& e : c.edges) {
    resolve(e.operand);
    e.var = bool_var(e.var_name);
  }
  followers_.clear();
  for (const std::string& f : c.followers) followers_.push_back(bool_var(f));
  latches_.clear();
  for (const auto& l : c.latches) {
    const int from = prog_.find(l.first), to = prog_.find(l.second);
    if (from < 0 || to < 0 || instance_of_[from] >= 0 || instance_of_[to] >= 0)
      fail(prog_.line, "cannot copy " + l.first + " into " + l.second);
    latches_.emplace_back(from, to);
  }
  edge_before_.assign(c.edges.size(), 0);
  edge_now_.assign(c.edges.size(), 0);
  active_.assign(n, 0);
  entered_.assign(n, 0);
  taken_.assign(n, 0);
  since_.assign(n, 0);
  last_length_.assign(n, 0);
  const size_t targets = prog_.vars.size() + c.bodies.size();
  on_.assign(targets, 0);
  reset_.assign(targets, 0);
  stored_.assign(targets, 0);
}

void runtime::run_chart() {
  const chart_graph& c = prog_.chart;
  const size_t n = c.steps.size();
  std::fill(entered_.begin(), entered_.end(), 0);
  if (scans_ == 1)
    for (size_t s = 0; s < n; ++s)
      if (c.steps[s].initial) active_[s] = entered_[s] = 1, since_[s] = now_;
  const bool textual = c.rule == chart_rule::textual;
  if (textual) {
    refresh_steps();
    // Edges in their order, so that one inside another's operand comes first.
    for (size_t e = 0; e < c.edges.size(); ++e) {
      const chart_edge& edge = c.edges[e];
      edge_now_[e] = eval(edge.operand).truth();
      values_[edge.var] = value::of_bool(edge.rising ? edge_now_[e] && !edge_before_[e]
                                                     : !edge_now_[e] && edge_before_[e]);
    }
    edge_before_ = edge_now_;
  }
  // Which transitions clear, on the situation the last scan left.
  std::vector<int>& fired = fired_;
  fired.clear();
  std::fill(taken_.begin(), taken_.end(), 0);
  for (size_t t = 0; t < c.transitions.size(); ++t) {
    const chart_transition& tr = c.transitions[t];
    bool enabled = !tr.from.empty();
    for (int s : tr.from) enabled = enabled && active_[s] && !taken_[s];
    if (!enabled || !eval(tr.condition).truth()) continue;
    fired.push_back(static_cast<int>(t));
    for (int s : tr.from) taken_[s] = 1;
  }
  for (int t : fired)
    for (int s : c.transitions[t].from)
      if (active_[s]) active_[s] = 0, last_length_[s] = now_ - since_[s];
  for (int t : fired)
    for (int s : c.transitions[t].to) active_[s] = entered_[s] = 1, since_[s] = now_;
  refresh_steps();
  // The actions of the new situation, target by target.
  std::fill(on_.begin(), on_.end(), 0);
  std::fill(reset_.begin(), reset_.end(), 0);
  const size_t n_vars = prog_.vars.size();
  for (size_t s = 0; s < n; ++s) {
    if (!active_[s]) continue;
    const std::int64_t t = now_ - since_[s];
    for (const chart_action& a : c.steps[s].actions) {
      const size_t k = a.body >= 0 ? n_vars + a.body : static_cast<size_t>(a.var);
      switch (a.qualifier) {
        case 'S':
          stored_[k] = 1;
          break;
        case 'R':
          reset_[k] = 1;
          break;
        case 'P':
          if (entered_[s]) on_[k] = 1;
          break;
        case 'L':
          if (t < a.duration_ms) on_[k] = 1;
          break;
        case 'D':
          if (t >= a.duration_ms) on_[k] = 1;
          break;
        default:
          on_[k] = 1;
          break;
      }
    }
  }
  for (size_t k = 0; k < on_.size(); ++k) {
    if (reset_[k]) stored_[k] = 0;
    on_[k] = !reset_[k] && (on_[k] || stored_[k]);
  }
  for (int v : followers_) values_[v] = value::of_bool(on_[v] != 0);
  for (size_t s = 0; s < n; ++s)
    for (const chart_action& a : c.steps[s].actions)
      if (a.body < 0) values_[a.var] = value::of_bool(on_[a.var] != 0);
  for (size_t b = 0; b < c.bodies.size(); ++b)
    if (on_[n_vars + b]) run(c.bodies[b]);
  for (const auto& l : latches_)
    values_[l.second] = convert(values_[l.first], prog_.vars[l.second].t);
}

void runtime::refresh_steps() {
  for (size_t s = 0; s < active_.size(); ++s) {
    if (step_x_[s] >= 0) values_[step_x_[s]] = value::of_bool(active_[s]);
    if (step_t_[s] >= 0)
      values_[step_t_[s]] = value::of_int(type::TIME, step_time(static_cast<int>(s), now_));
  }
}

// Helpers of program.h.
int program::find(const std::string& n) const {
  for (size_t i = 0; i < vars.size(); ++i)
    if (same_name(vars[i].name, n)) return static_cast<int>(i);
  return -1;
}

bool same_name(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string upper_name(const std::string& s) {
  std::string u = s;
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string error::text() const {
  if (line <= 0) return file + ": " + message;
  return file + ":" + std::to_string(line) + ": " + message;
}

}  // namespace plc
