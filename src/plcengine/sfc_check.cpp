#include "plcengine/sfc_check.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

namespace sfc {

namespace {

bool contains(const std::vector<std::string>& v, const std::string& n) {
  return std::find(v.begin(), v.end(), n) != v.end();
}

std::string quoted(const std::string& n) { return "\"" + n + "\""; }

std::string line_of(source_pos p) { return "line " + std::to_string(p.line); }

class checker {
 public:
  checker(const chart& c, const plant_names* names) : c_(c), names_(names) {}

  check_result run() {
    definitions();
    transitions();
    associations();
    blocks();
    reachability();
    if (names_ != nullptr) shared_outputs();
    conflicts();
    auto by_place = [](const chart_error& a, const chart_error& b) {
      return a.pos.line != b.pos.line ? a.pos.line < b.pos.line : a.pos.column < b.pos.column;
    };
    std::stable_sort(r_.errors.begin(), r_.errors.end(), by_place);
    std::stable_sort(r_.warnings.begin(), r_.warnings.end(), by_place);
    return r_;
  }

 private:
  void error(source_pos p, const std::string& m) { r_.errors.push_back({p, m}); }

  std::string plant_text() const {
    return names_->plant.empty() ? std::string("the plant") : names_->plant;
  }
  bool is_input(const std::string& n) const { return names_ && contains(names_->inputs, n); }
  bool is_output(const std::string& n) const { return names_ && contains(names_->outputs, n); }

  void definitions() {
    std::map<std::string, source_pos> seen;
    bool initial = false;
    for (const step& s : c_.steps) {
      auto it = seen.find(s.name);
      if (it != seen.end())
        error(s.pos, "step " + quoted(s.name) + " is defined twice (first at " +
                         line_of(it->second) + ")");
      else
        seen[s.name] = s.pos;
      initial = initial || s.initial;
    }
    if (!initial) error(c_.pos, "no initial step: mark the first step INITIAL_STEP");
    std::map<std::string, source_pos> actions;
    for (const action_block& a : c_.actions) {
      if (actions.count(a.name))
        error(a.pos, "action " + quoted(a.name) + " is defined twice (first at " +
                         line_of(actions[a.name]) + ")");
      else
        actions[a.name] = a.pos;
      if (is_input(a.name) || is_output(a.name) || c_.variable_index(a.name) >= 0)
        error(a.pos, "action " + quoted(a.name) + " has the name of a signal or variable");
    }
    std::map<std::string, source_pos> vars;
    for (const variable& v : c_.variables) {
      if (vars.count(v.name))
        error(v.pos, "variable " + quoted(v.name) + " is declared twice (first at " +
                         line_of(vars[v.name]) + ")");
      else
        vars[v.name] = v.pos;
      if (is_input(v.name) || is_output(v.name))
        error(v.pos, "variable " + quoted(v.name) + " has the name of a signal of " +
                         plant_text());
    }
  }

  void names_in(const expr& e) {
    for (const expr& a : e.args) names_in(a);
    if (e.kind == expr::op::step_x || e.kind == expr::op::step_t) {
      if (c_.step_index(e.name) < 0) error(e.pos, "unknown step " + quoted(e.name));
    } else if (e.kind == expr::op::name && names_ != nullptr) {
      if (!is_input(e.name) && !is_output(e.name) && c_.variable_index(e.name) < 0) {
        std::string m = "unknown name " + quoted(e.name) + ": not a signal of " + plant_text() +
                        " nor a variable";
        if (c_.step_index(e.name) >= 0) m += " (for the step, write " + e.name + ".X)";
        error(e.pos, m);
      }
    }
  }

  void transitions() {
    for (const transition& t : c_.transitions) {
      for (size_t k = 0; k < t.from.size(); ++k)
        if (c_.step_index(t.from[k]) < 0)
          error(t.from_pos[k], "transition from an unknown step " + quoted(t.from[k]));
      for (size_t k = 0; k < t.to.size(); ++k)
        if (c_.step_index(t.to[k]) < 0)
          error(t.to_pos[k], "transition to an unknown step " + quoted(t.to[k]));
      names_in(t.condition);
    }
  }

  void associations() {
    for (const step& s : c_.steps) {
      for (const association& a : s.actions) {
        if (c_.action_index(a.target) >= 0) continue;
        const int v = c_.variable_index(a.target);
        if (v >= 0) {
          if (c_.variables[v].type != var_type::BOOL)
            error(a.pos, "variable " + quoted(a.target) +
                             " is not BOOL: only outputs, BOOL variables and actions can be "
                             "associated with a step");
          continue;
        }
        if (names_ == nullptr || is_output(a.target)) continue;
        if (is_input(a.target))
          error(a.pos, quoted(a.target) + " is an input of " + plant_text() +
                           ": a step can drive only outputs, variables and actions");
        else
          error(a.pos, "unknown action " + quoted(a.target) + ": not an output of " +
                           plant_text() + ", a variable nor an ACTION");
      }
    }
  }

  void blocks() {
    for (const action_block& b : c_.actions) {
      for (const assignment& a : b.body) {
        names_in(a.value);
        if (c_.variable_index(a.target) >= 0 || names_ == nullptr || is_output(a.target))
          continue;
        if (is_input(a.target))
          error(a.pos, quoted(a.target) + " is an input of " + plant_text() +
                           ": it cannot be assigned");
        else
          error(a.pos, "unknown name " + quoted(a.target) + ": not an output of " +
                           plant_text() + " nor a variable");
      }
    }
  }

  void reachability() {
    std::vector<bool> reached(c_.steps.size(), false);
    for (size_t s = 0; s < c_.steps.size(); ++s) reached[s] = c_.steps[s].initial;
    for (bool grew = true; grew;) {
      grew = false;
      for (const transition& t : c_.transitions) {
        bool ready = !t.from.empty();
        for (const std::string& f : t.from) {
          const int s = c_.step_index(f);
          ready = ready && s >= 0 && reached[s];
        }
        if (!ready) continue;
        for (const std::string& n : t.to) {
          const int s = c_.step_index(n);
          if (s >= 0 && !reached[s]) reached[s] = grew = true;
        }
      }
    }
    std::set<std::string> told;
    for (size_t s = 0; s < c_.steps.size(); ++s) {
      if (reached[s] || told.count(c_.steps[s].name)) continue;
      if (c_.step_index(c_.steps[s].name) != static_cast<int>(s)) continue;  // a duplicate
      told.insert(c_.steps[s].name);
      error(c_.steps[s].pos, "step " + quoted(c_.steps[s].name) + " can never be reached");
    }
  }

  // Outputs each step drives: directly, or through the blocks it runs.
  std::vector<std::vector<std::pair<std::string, source_pos>>> driven_outputs() const {
    std::vector<std::vector<std::pair<std::string, source_pos>>> out(c_.steps.size());
    for (size_t s = 0; s < c_.steps.size(); ++s) {
      for (const association& a : c_.steps[s].actions) {
        if (a.qual == qualifier::S || a.qual == qualifier::R) continue;
        if (is_output(a.target)) {
          out[s].emplace_back(a.target, a.pos);
          continue;
        }
        const int b = c_.action_index(a.target);
        if (b < 0) continue;
        for (const assignment& x : c_.actions[b].body)
          if (is_output(x.target)) out[s].emplace_back(x.target, a.pos);
      }
    }
    return out;
  }

  void shared_outputs() {
    const std::vector<std::vector<bool>> co = coactive_steps(c_);
    const auto driven = driven_outputs();
    std::set<std::string> told;
    for (size_t a = 0; a < c_.steps.size(); ++a) {
      for (size_t b = a + 1; b < c_.steps.size(); ++b) {
        if (!co[a][b]) continue;
        for (const auto& x : driven[a]) {
          for (const auto& y : driven[b]) {
            if (x.first != y.first) continue;
            const std::string key = x.first + "/" + std::to_string(a) + "/" + std::to_string(b);
            if (!told.insert(key).second) continue;
            error(y.second, "output " + quoted(x.first) + " is driven by steps " +
                                quoted(c_.steps[a].name) + " and " + quoted(c_.steps[b].name) +
                                ", which can be active together");
          }
        }
      }
    }
  }

  // Transitions that leave a step already left by an earlier one, unless
  // their conditions can never hold together.
  void conflicts() {
    for (size_t j = 1; j < c_.transitions.size(); ++j) {
      const transition& b = c_.transitions[j];
      std::string lines, step;
      for (size_t i = 0; i < j; ++i) {
        const transition& a = c_.transitions[i];
        for (const std::string& f : b.from) {
          if (!contains(a.from, f) || exclusive(a.condition, b.condition)) continue;
          lines += (lines.empty() ? "" : ", ") + std::to_string(a.pos.line);
          if (step.empty()) step = f;
          break;
        }
      }
      if (lines.empty()) continue;
      r_.warnings.push_back({b.pos, "this transition leaves step " + quoted(step) +
                                        " as the one at line " + lines +
                                        " does: if their conditions hold together, only the "
                                        "first in the text is cleared"});
    }
  }

  // True when two conditions are never true together whatever the values
  // of their atoms (tried on every combination; at most 12 atoms).
  static bool exclusive(const expr& a, const expr& b) {
    std::vector<std::string> vars;
    if (!boolean_names(a, &vars) || !boolean_names(b, &vars) || vars.size() > 12) return false;
    for (unsigned bits = 0; bits < (1u << vars.size()); ++bits)
      if (truth(a, vars, bits) && truth(b, vars, bits)) return false;
    return true;
  }
  // Anything but NOT, AND, OR, XOR and constants is an atom: a name, a
  // step's flag, or a comparison taken whole, known by its written form.
  static bool logical(const expr& e) {
    return e.kind == expr::op::not_ || e.kind == expr::op::and_ || e.kind == expr::op::or_ ||
           e.kind == expr::op::xor_ || e.kind == expr::op::constant;
  }
  static std::string atom_key(const expr& e) {
    std::string k = std::to_string(static_cast<int>(e.kind)) + ":" + e.name + ":" +
                    std::to_string(e.value) + "(";
    for (const expr& x : e.args) k += atom_key(x) + ",";
    return k + ")";
  }
  static bool boolean_names(const expr& e, std::vector<std::string>* vars) {
    if (e.kind == expr::op::re || e.kind == expr::op::fe) return false;  // state of their own
    if (!logical(e)) {
      if (!contains(*vars, atom_key(e))) vars->push_back(atom_key(e));
      return true;
    }
    for (const expr& x : e.args)
      if (!boolean_names(x, vars)) return false;
    return true;
  }
  static bool truth(const expr& e, const std::vector<std::string>& vars, unsigned bits) {
    switch (e.kind) {
      case expr::op::constant: return e.value != 0;
      case expr::op::not_: return !truth(e.args[0], vars, bits);
      case expr::op::and_: return truth(e.args[0], vars, bits) && truth(e.args[1], vars, bits);
      case expr::op::or_: return truth(e.args[0], vars, bits) || truth(e.args[1], vars, bits);
      case expr::op::xor_: return truth(e.args[0], vars, bits) != truth(e.args[1], vars, bits);
      default: {
        const size_t k = std::find(vars.begin(), vars.end(), atom_key(e)) - vars.begin();
        return (bits >> k) & 1u;
      }
    }
  }

  const chart& c_;
  const plant_names* names_;
  check_result r_;
};

}  // namespace

std::vector<std::vector<bool>> coactive_steps(const chart& c, bool* complete) {
  const size_t n = c.steps.size();
  std::vector<std::vector<bool>> co(n, std::vector<bool>(n, false));
  const size_t words = (n + 63) / 64;
  using marking = std::vector<std::uint64_t>;
  auto has = [](const marking& m, int s) { return (m[s / 64] >> (s % 64)) & 1u; };
  std::vector<std::vector<int>> from, to;
  for (const transition& t : c.transitions) {
    std::vector<int> f, g;
    bool known = !t.from.empty();
    for (const std::string& s : t.from) {
      f.push_back(c.step_index(s));
      known = known && f.back() >= 0;
    }
    for (const std::string& s : t.to)
      if (c.step_index(s) >= 0) g.push_back(c.step_index(s));
    if (!known) continue;
    from.push_back(f);
    to.push_back(g);
  }
  marking start(words, 0);
  for (size_t s = 0; s < n; ++s)
    if (c.steps[s].initial) start[s / 64] |= std::uint64_t(1) << (s % 64);
  std::set<marking> seen{start};
  std::vector<marking> todo{start};
  const size_t bound = 20000;
  bool all = true;
  while (!todo.empty()) {
    const marking m = todo.back();
    todo.pop_back();
    std::vector<int> act;
    for (size_t s = 0; s < n; ++s)
      if (has(m, static_cast<int>(s))) act.push_back(static_cast<int>(s));
    for (size_t i = 0; i < act.size(); ++i)
      for (size_t j = i + 1; j < act.size(); ++j) co[act[i]][act[j]] = co[act[j]][act[i]] = true;
    for (size_t t = 0; t < from.size(); ++t) {
      bool enabled = true;
      for (int s : from[t]) enabled = enabled && has(m, s);
      if (!enabled) continue;
      marking next = m;
      for (int s : from[t]) next[s / 64] &= ~(std::uint64_t(1) << (s % 64));
      for (int s : to[t]) next[s / 64] |= std::uint64_t(1) << (s % 64);
      if (seen.count(next)) continue;
      if (seen.size() >= bound) {
        all = false;
        continue;
      }
      seen.insert(next);
      todo.push_back(next);
    }
  }
  if (complete != nullptr) *complete = all;
  return co;
}

check_result check_chart(const chart& c, const plant_names* names) {
  return checker(c, names).run();
}

}  // namespace sfc
