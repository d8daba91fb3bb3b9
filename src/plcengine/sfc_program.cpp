#include "plcengine/sfc_program.h"

#include <algorithm>
#include <cctype>

#include "plcengine/sfc_reader.h"

namespace sfc {

namespace {

int index_in(const std::vector<std::string>& v, const std::string& n) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == n) return static_cast<int>(i);
  return -1;
}

// Turns the chart's expressions into the runtime's. Chart names are exact
// (case counts) while the runtime's are not, so every chart name reaches the
// runtime under a name of its own (its own when no other differs from it by
// case only).
class lowering {
 public:
  lowering(const chart& c, const plant_names& names, const std::string& file)
      : c_(c), names_(names) {
    p_.name = c.name;
    p_.file = file;
    p_.line = c.pos.line;
    p_.has_chart = true;
  }

  plc::program run() {
    for (const std::string& n : names_.inputs) declare(n, "LINT", plc::var_class::input, false);
    for (const std::string& n : names_.outputs) declare(n, "BOOL", plc::var_class::output, false);
    for (const variable& v : c_.variables) {
      const char* type = v.type == var_type::BOOL  ? "BOOL"
                         : v.type == var_type::INT ? "LINT"
                                                   : "TIME";
      plc::variable& d = declare(v.name, type, plc::var_class::local, false);
      d.line = v.pos.line;
      d.has_initial = true;
      d.initial = plc::value::of_int(v.type == var_type::TIME ? plc::type::TIME : plc::type::LINT,
                                     v.initial);
    }
    plc::chart_graph& g = p_.chart;
    g.rule = plc::chart_rule::textual;
    for (const std::string& n : names_.outputs) {
      const std::string drive = "$drive." + n;
      declare(drive, "BOOL", plc::var_class::local, true);
      g.followers.push_back(drive);
      g.latches.emplace_back(drive, runtime_name(n));
    }
    for (const step& s : c_.steps) {
      // Steps whose names differ by case only get names of their own.
      std::string n = s.name;
      for (int k = 2; unique("$" + n + ".X") != "$" + n + ".X"; ++k)
        n = s.name + "$" + std::to_string(k);
      step_names_.push_back(n);
      declare("$" + n + ".X", "BOOL", plc::var_class::local, true);
      declare("$" + n + ".T", "TIME", plc::var_class::local, true);
    }
    for (const action_block& b : c_.actions) {
      plc::stmt_list body;
      for (const assignment& a : b.body) {
        const std::string target = target_name(a.target);
        if (target.empty()) continue;
        plc::stmt st;
        st.k = plc::stmt::kind::assign;
        st.line = a.pos.line;
        st.target = name_expr(target, a.pos.line);
        st.value = lower(a.value).e;
        body.push_back(std::move(st));
      }
      g.bodies.push_back(std::move(body));
      g.body_names.push_back(b.name);
    }
    for (size_t k = 0; k < c_.steps.size(); ++k) {
      const step& s = c_.steps[k];
      plc::chart_step cs;
      cs.name = step_names_[k];
      cs.initial = s.initial;
      cs.line = s.pos.line;
      for (const association& a : s.actions) {
        plc::chart_action ca;
        ca.qualifier = qualifier_name(a.qual)[0];
        ca.duration_ms = a.duration_ms;
        ca.line = a.pos.line;
        const int block = c_.action_index(a.target);
        if (index_in(names_.outputs, a.target) < 0 && c_.variable_index(a.target) < 0 &&
            block >= 0) {
          ca.target = a.target;
          ca.body = block;
        } else {
          ca.target = target_name(a.target);
          if (ca.target.empty()) continue;
        }
        cs.actions.push_back(ca);
      }
      g.steps.push_back(std::move(cs));
    }
    for (const transition& t : c_.transitions) {
      plc::chart_transition ct;
      ct.line = t.pos.line;
      for (const std::string& n : t.from) ct.from.push_back(c_.step_index(n));
      for (const std::string& n : t.to) ct.to.push_back(c_.step_index(n));
      // A transition from or to an unknown step never clears.
      if (std::count(ct.from.begin(), ct.from.end(), -1) > 0) ct.from.clear();
      ct.to.erase(std::remove(ct.to.begin(), ct.to.end(), -1), ct.to.end());
      ct.condition = lower(t.condition).e;
      g.transitions.push_back(std::move(ct));
    }
    return std::move(p_);
  }

 private:
  struct lowered {
    plc::expr e;
    bool boolean;  // 0 or 1 whatever it reads
  };

  plc::variable& declare(const std::string& chart_name, const char* type, plc::var_class cls,
                         bool hidden) {
    plc::variable v;
    v.name = unique(chart_name);
    v.type_name = type;
    v.cls = cls;
    v.wire = hidden;
    v.line = p_.line;
    if (!hidden) runtime_names_.emplace_back(chart_name, v.name);
    taken_.push_back(v.name);
    p_.vars.push_back(v);
    return p_.vars.back();
  }

  // n itself, or n with a suffix when a name taken differs from it by case only.
  std::string unique(const std::string& n) const {
    std::string name = n;
    for (int k = 2;; ++k) {
      const bool clash = std::any_of(taken_.begin(), taken_.end(),
                                     [&](const std::string& t) { return plc::same_name(t, name); });
      if (!clash) return name;
      name = n + "$" + std::to_string(k);
    }
  }

  std::string runtime_name(const std::string& chart_name) const {
    for (const auto& r : runtime_names_)
      if (r.first == chart_name) return r.second;
    return "";
  }

  // What an association or an assignment writes: an output's drive or a
  // variable; "" for a name the chart does not know.
  std::string target_name(const std::string& n) const {
    if (index_in(names_.outputs, n) >= 0) return "$drive." + n;
    if (c_.variable_index(n) >= 0) return runtime_name(n);
    return "";
  }

  static plc::expr name_expr(const std::string& n, int line) {
    plc::expr e;
    e.k = plc::expr::kind::name;
    e.name = n;
    e.line = line;
    return e;
  }

  static plc::expr literal(plc::type t, std::int64_t v, int line) {
    plc::expr e;
    e.lit = plc::value::of_int(t, v);
    e.line = line;
    return e;
  }

  static plc::expr call(const char* fn, plc::expr a) {
    plc::expr e;
    e.k = plc::expr::kind::call;
    e.name = fn;
    e.line = a.line;
    e.formals.push_back("");
    e.args.push_back(std::move(a));
    return e;
  }

  static plc::expr as_bool(lowered l) {
    return l.boolean ? std::move(l.e) : call("TO_BOOL", std::move(l.e));
  }
  // Arithmetic on a BOOL would stay within 0 and 1: it counts as a LINT.
  static plc::expr as_number(lowered l) {
    return l.boolean ? call("TO_LINT", std::move(l.e)) : std::move(l.e);
  }

  lowered lower(const expr& x) {
    const int line = x.pos.line;
    using op = expr::op;
    switch (x.kind) {
      case op::constant:
        return {literal(plc::type::LINT, x.value, line), false};
      case op::name: {
        const std::string n = runtime_name(x.name);
        if (n.empty()) return {literal(plc::type::LINT, 0, line), false};
        const int v = p_.find(n);
        return {name_expr(n, line), p_.vars[v].type_name == "BOOL"};
      }
      case op::step_x:
      case op::step_t: {
        const int s = c_.step_index(x.name);
        if (s < 0) return {literal(plc::type::LINT, 0, line), false};
        const bool is_x = x.kind == op::step_x;
        return {name_expr("$" + step_names_[s] + (is_x ? ".X" : ".T"), line), is_x};
      }
      case op::re:
      case op::fe: {
        plc::chart_edge edge;
        edge.operand = lower(x.args[0]).e;
        edge.rising = x.kind == op::re;
        edge.var_name = "$edge." + std::to_string(p_.chart.edges.size());
        declare(edge.var_name, "BOOL", plc::var_class::local, true);
        p_.chart.edges.push_back(std::move(edge));
        return {name_expr(p_.chart.edges.back().var_name, line), true};
      }
      case op::not_:
      case op::neg: {
        plc::expr e;
        e.k = plc::expr::kind::unary;
        e.line = line;
        const bool is_not = x.kind == op::not_;
        e.op = is_not ? "NOT" : "-";
        lowered a = lower(x.args[0]);
        e.args.push_back(is_not ? as_bool(std::move(a)) : as_number(std::move(a)));
        return {std::move(e), is_not};
      }
      default:
        break;
    }
    static const std::pair<op, const char*> ops[] = {
        {op::and_, "AND"}, {op::or_, "OR"}, {op::xor_, "XOR"}, {op::eq, "="},   {op::ne, "<>"},
        {op::lt, "<"},     {op::le, "<="},  {op::gt, ">"},     {op::ge, ">="},  {op::add, "+"},
        {op::sub, "-"},    {op::mul, "*"},  {op::div, "/"},    {op::mod, "MOD"}};
    plc::expr e;
    e.k = plc::expr::kind::binary;
    e.line = line;
    for (const auto& o : ops)
      if (o.first == x.kind) e.op = o.second;
    const bool logic = x.kind == op::and_ || x.kind == op::or_ || x.kind == op::xor_;
    const bool compare = x.kind >= op::eq && x.kind <= op::ge;
    for (const expr& arg : x.args) {
      lowered a = lower(arg);
      e.args.push_back(logic ? as_bool(std::move(a)) : as_number(std::move(a)));
    }
    return {std::move(e), logic || compare};
  }

  const chart& c_;
  const plant_names& names_;
  plc::program p_;
  std::vector<std::string> taken_, step_names_;
  std::vector<std::pair<std::string, std::string>> runtime_names_;  // chart's, runtime's
};

}  // namespace

plc::program chart_program(const chart& c, const plant_names& names, const std::string& file) {
  return lowering(c, names, file).run();
}

plc::binding chart_binding(const plant_names& names) {
  plc::binding b;
  const int n_in = static_cast<int>(names.inputs.size());
  for (int i = 0; i < n_in; ++i) b.inputs.push_back({i, i});
  for (int o = 0; o < static_cast<int>(names.outputs.size()); ++o)
    b.outputs.push_back({n_in + o, o});
  return b;
}

bool load_chart(const std::string& file, const std::string& text, const plant_names* given,
                bool warnings, loaded_chart* out) {
  chart_error syntax;
  if (!read_chart(text, &out->c, &syntax)) {
    out->report = format_error(file, text, syntax);
    return false;
  }
  if (given != nullptr) {
    out->names = *given;
  } else {
    // The known plant whose names fit the chart best: the fewest errors.
    size_t best = static_cast<size_t>(-1);
    for (const plant_names& p : known_plants()) {
      const size_t n = check_chart(out->c, &p).errors.size();
      if (n < best) best = n, out->names = p;
    }
  }
  out->checked = check_chart(out->c, &out->names);
  out->report.clear();
  for (const chart_error& e : out->checked.errors) out->report += format_error(file, text, e);
  if (warnings) {
    for (chart_error w : out->checked.warnings) {
      w.message = "warning: " + w.message;
      out->report += format_error(file, text, w);
    }
  }
  if (!out->checked.errors.empty()) return false;
  out->prog = chart_program(out->c, out->names, file);
  return true;
}

bool is_chart_file(const std::string& file, const std::string& text) {
  std::string ext = file.size() >= 4 ? file.substr(file.size() - 4) : "";
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (ext == ".sfc") return true;
  // Words outside comments.
  std::string word;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < n && text[i] == '<') return false;
  for (; i <= n; ++i) {
    const char ch = i < n ? text[i] : ' ';
    if (ch == '(' && i + 1 < n && text[i + 1] == '*') {
      const size_t end = text.find("*)", i + 2);
      if (end == std::string::npos) break;
      i = end + 1;
      word.clear();
      continue;
    }
    if (ch == '/' && i + 1 < n && text[i + 1] == '/') {
      const size_t end = text.find('\n', i);
      if (end == std::string::npos) break;
      i = end;
      word.clear();
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_') {
      word += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      continue;
    }
    if (word == "INITIAL_STEP") return true;
    word.clear();
  }
  return false;
}

}  // namespace sfc
