#include "sudz-sfc/scan.h"

#include <algorithm>

namespace sfc {

namespace {

int index_in(const std::vector<std::string>& v, const std::string& n) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == n) return static_cast<int>(i);
  return -1;
}

// Wrapping arithmetic: overflow is defined, never a fault.
std::int64_t wrap_add(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t wrap_sub(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
std::int64_t wrap_mul(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

}  // namespace

chart_scan::chart_scan(const chart& c, const plant_names& names) {
  n_inputs_ = static_cast<int>(names.inputs.size());
  n_outputs_ = static_cast<int>(names.outputs.size());
  var_base_ = n_inputs_ + n_outputs_;
  const int n_vars = static_cast<int>(c.variables.size());
  values_.assign(var_base_ + n_vars, 0);
  var_bool_.assign(n_vars, false);
  for (int v = 0; v < n_vars; ++v) {
    values_[var_base_ + v] = c.variables[v].initial;
    var_bool_[v] = c.variables[v].type == var_type::BOOL;
  }

  // Names in expressions: inputs, then outputs, then variables.
  auto slot_of = [&](const std::string& n) {
    int i = index_in(names.inputs, n);
    if (i >= 0) return i;
    i = index_in(names.outputs, n);
    if (i >= 0) return n_inputs_ + i;
    i = c.variable_index(n);
    return i >= 0 ? var_base_ + i : -1;
  };
  // Expressions refer to names through the chart; the compiler resolves them.
  chart_ = &c;
  slot_of_ = slot_of;

  const size_t n_steps = c.steps.size();
  for (const transition& t : c.transitions) {
    conditions_.push_back(compile(t.condition));
    std::vector<int> from, to;
    for (const std::string& s : t.from) from.push_back(c.step_index(s));
    for (const std::string& s : t.to) to.push_back(c.step_index(s));
    from_.push_back(from);
    to_.push_back(to);
  }

  const int n_targets = n_outputs_ + n_vars + static_cast<int>(c.actions.size());
  var_associated_.assign(n_vars, false);
  for (const step& s : c.steps) {
    std::vector<assoc> list;
    for (const association& a : s.actions) {
      assoc x{target_kind::output, -1, a.qual, a.duration_ms};
      if ((x.target = index_in(names.outputs, a.target)) >= 0) {
        x.kind = target_kind::output;
      } else if ((x.target = c.variable_index(a.target)) >= 0) {
        x.kind = target_kind::variable;
        var_associated_[x.target] = true;
      } else if ((x.target = c.action_index(a.target)) >= 0) {
        x.kind = target_kind::block;
      } else {
        continue;
      }
      list.push_back(x);
    }
    step_assocs_.push_back(list);
    initial_.push_back(s.initial);
  }
  for (const action_block& b : c.actions) {
    std::vector<statement> body;
    for (const assignment& a : b.body) {
      statement st{false, -1, false, compile(a.value)};
      if ((st.target = index_in(names.outputs, a.target)) >= 0) {
        st.to_output = true;
      } else if ((st.target = c.variable_index(a.target)) >= 0) {
        st.boolean = var_bool_[st.target];
      } else {
        continue;
      }
      body.push_back(st);
    }
    blocks_.push_back(body);
  }

  active_.assign(n_steps, 0);
  entered_.assign(n_steps, 0);
  taken_.assign(n_steps, 0);
  since_.assign(n_steps, 0);
  last_length_.assign(n_steps, 0);
  on_.assign(n_targets, 0);
  reset_.assign(n_targets, 0);
  stored_.assign(n_targets, 0);
  outputs_.assign(n_outputs_, 0);
  chart_ = nullptr;
}

int chart_scan::compile(const expr& e) {
  node n{e.kind, e.value, -1, -1, -1};
  if (!e.args.empty()) n.a = compile(e.args[0]);
  if (e.args.size() > 1) n.b = compile(e.args[1]);
  switch (e.kind) {
    case expr::op::name:
      n.ref = slot_of_(e.name);
      break;
    case expr::op::step_x:
    case expr::op::step_t:
      n.ref = chart_->step_index(e.name);
      break;
    case expr::op::re:
    case expr::op::fe:
      // Operands come first, so an edge inside another's operand is
      // computed before it.
      n.ref = static_cast<int>(edge_arg_.size());
      edge_arg_.push_back(n.a);
      edge_rising_.push_back(e.kind == expr::op::re);
      edge_now_.push_back(0);
      edge_before_.push_back(0);
      edge_value_.push_back(0);
      break;
    default:
      break;
  }
  nodes_.push_back(n);
  return static_cast<int>(nodes_.size()) - 1;
}

std::int64_t chart_scan::eval(int i) const {
  const node& n = nodes_[i];
  switch (n.kind) {
    case expr::op::constant: return n.value;
    case expr::op::name: return n.ref >= 0 ? values_[n.ref] : 0;
    case expr::op::step_x: return n.ref >= 0 && active_[n.ref] ? 1 : 0;
    case expr::op::step_t: return n.ref >= 0 ? step_time(n.ref, now_) : 0;
    case expr::op::not_: return eval(n.a) == 0 ? 1 : 0;
    case expr::op::neg: return wrap_sub(0, eval(n.a));
    case expr::op::re:
    case expr::op::fe: return edge_value_[n.ref];
    case expr::op::and_: return eval(n.a) != 0 && eval(n.b) != 0 ? 1 : 0;
    case expr::op::or_: return eval(n.a) != 0 || eval(n.b) != 0 ? 1 : 0;
    case expr::op::xor_: return (eval(n.a) != 0) != (eval(n.b) != 0) ? 1 : 0;
    default: break;
  }
  const std::int64_t a = eval(n.a), b = eval(n.b);
  switch (n.kind) {
    case expr::op::eq: return a == b;
    case expr::op::ne: return a != b;
    case expr::op::lt: return a < b;
    case expr::op::le: return a <= b;
    case expr::op::gt: return a > b;
    case expr::op::ge: return a >= b;
    case expr::op::add: return wrap_add(a, b);
    case expr::op::sub: return wrap_sub(a, b);
    case expr::op::mul: return wrap_mul(a, b);
    case expr::op::div:
      if (b == 0) return 0;
      if (b == -1) return wrap_sub(0, a);
      return a / b;
    case expr::op::mod:
      if (b == 0 || b == -1) return 0;
      return a % b;
    default: return 0;
  }
}

std::int64_t chart_scan::step_time(int s, std::int64_t now_ms) const {
  return active_[s] ? now_ms - since_[s] : last_length_[s];
}

void chart_scan::run_block(int b) {
  for (const statement& st : blocks_[b]) {
    const std::int64_t v = eval(st.value);
    if (st.to_output)
      outputs_[st.target] = v != 0 ? 1 : 0;
    else
      values_[var_base_ + st.target] = st.boolean ? (v != 0 ? 1 : 0) : v;
  }
}

void chart_scan::scan(const int* inputs, std::int64_t now_ms) {
  now_ = now_ms;
  for (int i = 0; i < n_inputs_; ++i) values_[i] = inputs[i];
  const size_t n_steps = active_.size();
  std::fill(entered_.begin(), entered_.end(), 0);
  changed_ = false;
  if (scans_ == 0) {
    for (size_t s = 0; s < n_steps; ++s) {
      if (!initial_[s]) continue;
      active_[s] = entered_[s] = 1;
      since_[s] = now_ms;
      changed_ = true;
    }
  }
  ++scans_;

  for (size_t e = 0; e < edge_arg_.size(); ++e) {
    edge_now_[e] = eval(edge_arg_[e]) != 0;
    edge_value_[e] = edge_rising_[e] ? (edge_now_[e] && !edge_before_[e])
                                     : (!edge_now_[e] && edge_before_[e]);
  }

  // Which transitions clear, on the situation as it stands.
  fired_.clear();
  std::fill(taken_.begin(), taken_.end(), 0);
  for (size_t t = 0; t < conditions_.size(); ++t) {
    bool enabled = !from_[t].empty();
    for (int s : from_[t]) enabled = enabled && s >= 0 && active_[s] && !taken_[s];
    if (!enabled || eval(conditions_[t]) == 0) continue;
    fired_.push_back(static_cast<int>(t));
    for (int s : from_[t]) taken_[s] = 1;
  }
  // All of them at once: first every deactivation, then every activation.
  for (int t : fired_) {
    for (int s : from_[t]) {
      if (!active_[s]) continue;
      active_[s] = 0;
      last_length_[s] = now_ms - since_[s];
    }
  }
  for (int t : fired_) {
    for (int s : to_[t]) {
      if (s < 0) continue;
      active_[s] = entered_[s] = 1;
      since_[s] = now_ms;
    }
  }
  if (!fired_.empty()) changed_ = true;

  // Actions of the new situation.
  std::fill(on_.begin(), on_.end(), 0);
  std::fill(reset_.begin(), reset_.end(), 0);
  const int n_vars = static_cast<int>(var_bool_.size());
  auto target_slot = [&](const assoc& a) {
    return a.kind == target_kind::output     ? a.target
           : a.kind == target_kind::variable ? n_outputs_ + a.target
                                             : n_outputs_ + n_vars + a.target;
  };
  for (size_t s = 0; s < n_steps; ++s) {
    if (!active_[s]) continue;
    const std::int64_t t = now_ms - since_[s];
    for (const assoc& a : step_assocs_[s]) {
      const int k = target_slot(a);
      switch (a.qual) {
        case qualifier::N: on_[k] = 1; break;
        case qualifier::S: stored_[k] = 1; break;
        case qualifier::R: reset_[k] = 1; break;
        case qualifier::P: if (entered_[s]) on_[k] = 1; break;
        case qualifier::L: if (t < a.duration) on_[k] = 1; break;
        case qualifier::D: if (t >= a.duration) on_[k] = 1; break;
      }
    }
  }
  const int n_targets = static_cast<int>(on_.size());
  for (int k = 0; k < n_targets; ++k) {
    if (reset_[k]) stored_[k] = 0;
    on_[k] = !reset_[k] && (on_[k] || stored_[k]);
  }
  for (int o = 0; o < n_outputs_; ++o) outputs_[o] = on_[o];
  for (int v = 0; v < n_vars; ++v)
    if (var_associated_[v]) values_[var_base_ + v] = on_[n_outputs_ + v];
  for (size_t b = 0; b < blocks_.size(); ++b)
    if (on_[n_outputs_ + n_vars + b]) run_block(static_cast<int>(b));

  for (int o = 0; o < n_outputs_; ++o) values_[n_inputs_ + o] = outputs_[o];
  edge_before_ = edge_now_;
}

}  // namespace sfc
