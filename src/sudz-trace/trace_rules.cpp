#include "sudz-trace/trace_rules.h"

#include <cstdlib>
#include <sstream>

#include "sudz-trace/trace_overrides.h"

const char* const washing_machine_rules =
    "# The washing machine.\n"
    "timer T1m T1mt\n"
    "timer T5m T5mt\n"
    "goal spin: Ess=1\n"
    "model level 0 0 349: Vi=1 +0.5 Vo=1 -0.3\n"
    "model temperature 10 10 1000: H=1 +0.05 H!=1 -0.05\n"
    "rule inlet-at-level: Vi=1 and Niv=1 for 50\n"
    "rule heater-without-water: H=1 and Niv=0\n"
    "rule fast-drum-with-water: AvR=1 and Vide=0\n"
    "rule door-open: AvL|ArL|AvR|Vi|H=1 and Tr=0 for 100\n"
    "rule fill-and-drain: Vi=1 and Vo=1\n"
    "alarm overflow: level >= 336\n"
    "alarm boiling: temperature > 100\n";

namespace {

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

bool valid_name(const std::string& n) {
  if (n.empty()) return false;
  for (char c : n) {
    if (c == ' ' || c == '\t' || c == '|' || c == '=' || c == '!' || c == ':') return false;
  }
  return true;
}

bool parse_int(const std::string& s, int* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long x = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || x < -2147483647L - 1 || x > 2147483647L) return false;
  *v = static_cast<int>(x);
  return true;
}

bool parse_double(const std::string& s, double* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  *v = std::strtod(s.c_str(), &end);
  return *end == '\0';
}

// NAME[|NAME...]=V or !=V, written without blanks.
bool parse_term(const std::string& word, rule_term* t) {
  size_t op = word.find("!=");
  size_t len = 2;
  t->equal = false;
  if (op == std::string::npos) {
    op = word.find('=');
    len = 1;
    t->equal = true;
  }
  if (op == std::string::npos || op == 0) return false;
  if (!parse_int(word.substr(op + len), &t->value)) return false;
  std::string names = word.substr(0, op);
  size_t start = 0;
  for (;;) {
    const size_t bar = names.find('|', start);
    const std::string n =
        names.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (!valid_name(n)) return false;
    t->names.push_back(n);
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return true;
}

// TERM and TERM ... [for N]
bool parse_condition(const std::string& text, rule_condition* c, long* cycles) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  size_t end = w.size();
  if (cycles != nullptr) {
    *cycles = 0;
    if (end >= 2 && w[end - 2] == "for") {
      int n = 0;
      if (!parse_int(w[end - 1], &n) || n < 0) return false;
      *cycles = n;
      end -= 2;
    }
  }
  if (end == 0) return false;
  for (size_t i = 0; i < end; ++i) {
    if (i % 2 == 1) {
      if (w[i] != "and") return false;
      continue;
    }
    rule_term t;
    if (!parse_term(w[i], &t)) return false;
    c->terms.push_back(t);
  }
  if (end % 2 == 0) return false;  // ends with "and"
  for (size_t i = 0; i < end; ++i) c->text += (i ? " " : "") + w[i];
  return true;
}

// Resolves a name: inputs first, then outputs (index past the inputs).
int find_signal(const std::string& n, const std::vector<std::string>& in,
                const std::vector<std::string>& out) {
  for (size_t i = 0; i < in.size(); ++i)
    if (in[i] == n) return static_cast<int>(i);
  for (size_t i = 0; i < out.size(); ++i)
    if (out[i] == n) return static_cast<int>(in.size() + i);
  return -1;
}

bool bind_term(rule_term* t, const std::vector<std::string>& in,
               const std::vector<std::string>& out, std::string* error) {
  t->index.clear();
  for (const std::string& n : t->names) {
    const int k = find_signal(n, in, out);
    if (k < 0) {
      *error = "unknown signal \"" + n + "\"";
      return false;
    }
    t->index.push_back(k);
  }
  return true;
}

}  // namespace

bool rule_term::holds(const std::vector<int>& state) const {
  for (int k : index) {
    const int v = k < static_cast<int>(state.size()) ? state[k] : 0;
    if ((v == value) == equal) return true;
  }
  return false;
}

bool rule_condition::holds(const std::vector<int>& state) const {
  for (const rule_term& t : terms)
    if (!t.holds(state)) return false;
  return true;
}

bool trace_rules::parse(const std::string& text, std::string* error) {
  std::istringstream in(text);
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    const size_t hash = raw.find('#');
    const std::string line = trim(hash == std::string::npos ? raw : raw.substr(0, hash));
    if (line.empty()) continue;
    auto fail = [&](const std::string& why) {
      *error = "line " + std::to_string(number) + ": " + why + ": " + line;
      return false;
    };
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    const size_t colon = line.find(':');
    // "KEYWORD NAME...: rest" for every statement but timer.
    std::string head, rest;
    if (colon != std::string::npos) {
      head = trim(line.substr(keyword.size(), colon - keyword.size()));
      rest = trim(line.substr(colon + 1));
    }
    if (keyword == "timer") {
      trace_timer t;
      std::string extra;
      if (!(words >> t.output >> t.input) || (words >> extra) || !valid_name(t.output) ||
          !valid_name(t.input)) {
        return fail("expected: timer OUTPUT INPUT");
      }
      timers_.push_back(t);
    } else if (keyword == "rule" || keyword == "goal") {
      if (colon == std::string::npos || !valid_name(head))
        return fail("expected: " + keyword + " NAME: CONDITION");
      if (keyword == "rule") {
        trace_rule r;
        r.name = head;
        if (!parse_condition(rest, &r.when, &r.cycles)) return fail("bad condition");
        rules_.push_back(r);
      } else {
        trace_goal g;
        g.name = head;
        if (!parse_condition(rest, &g.when, nullptr)) return fail("bad condition");
        goals_.push_back(g);
      }
    } else if (keyword == "model") {
      std::istringstream h(head);
      trace_model m;
      std::string a, b, c, extra;
      if (colon == std::string::npos || !(h >> m.name >> a >> b >> c) || (h >> extra) ||
          !parse_double(a, &m.start) || !parse_double(b, &m.min) || !parse_double(c, &m.max) ||
          m.min > m.max) {
        return fail("expected: model NAME START MIN MAX: TERM STEP ...");
      }
      std::istringstream r(rest);
      std::vector<std::string> w;
      for (std::string s; r >> s;) w.push_back(s);
      if (w.empty() || w.size() % 2 != 0) return fail("expected pairs of TERM STEP");
      for (size_t i = 0; i < w.size(); i += 2) {
        model_step s;
        if (!parse_term(w[i], &s.when) || !parse_double(w[i + 1], &s.step)) {
          return fail("bad step \"" + w[i] + " " + w[i + 1] + "\"");
        }
        m.steps.push_back(s);
      }
      m.value = m.start;
      models_.push_back(m);
    } else if (keyword == "alarm") {
      trace_alarm a;
      std::istringstream r(rest);
      std::string op, x, extra;
      if (colon == std::string::npos || !valid_name(head) || !(r >> a.model >> op >> x) ||
          (r >> extra) || (op != ">=" && op != ">") || !parse_double(x, &a.threshold)) {
        return fail("expected: alarm NAME: MODEL >= X");
      }
      a.name = head;
      a.or_equal = op == ">=";
      alarms_.push_back(a);
    } else if (keyword == "step") {
      std::string arg, extra, why;
      override_spec o;
      if (!(words >> arg) || (words >> extra) || !parse_override("step", arg, &o, &why))
        return fail(why.empty() ? "expected: step SP=V@T" : why);
      steps_.push_back(arg);
    } else {
      response_criterion c;
      std::string why;
      if (!parse_response(keyword, head, rest, &c, &why)) {
        if (why.empty()) return fail("unknown statement \"" + keyword + "\"");
        return fail(why);
      }
      responses_.push_back(c);
    }
  }
  for (trace_alarm& a : alarms_) {
    for (size_t i = 0; i < models_.size(); ++i)
      if (models_[i].name == a.model) a.model_index = static_cast<int>(i);
    if (a.model_index < 0) {
      *error = "alarm " + a.name + ": no model \"" + a.model + "\"";
      return false;
    }
  }
  return true;
}

bool trace_rules::bind(const std::vector<std::string>& inputs,
                       const std::vector<std::string>& outputs, std::string* error) {
  nb_inputs_ = static_cast<int>(inputs.size());
  std::string why;
  auto fail = [&](const std::string& where) {
    *error = where + ": " + why;
    return false;
  };
  for (trace_rule& r : rules_)
    for (rule_term& t : r.when.terms)
      if (!bind_term(&t, inputs, outputs, &why)) return fail("rule " + r.name);
  for (trace_goal& g : goals_)
    for (rule_term& t : g.when.terms)
      if (!bind_term(&t, inputs, outputs, &why)) return fail("goal " + g.name);
  for (trace_model& m : models_)
    for (model_step& s : m.steps)
      if (!bind_term(&s.when, inputs, outputs, &why)) return fail("model " + m.name);
  for (response_criterion& c : responses_) {
    c.value_index = find_signal(c.value, inputs, outputs);
    c.setpoint_input = find_signal(c.setpoint, inputs, {});
    if (c.value_index < 0) {
      why = "unknown signal \"" + c.value + "\"";
      return fail(c.name);
    }
    if (c.setpoint_input < 0) {
      why = "no input \"" + c.setpoint + "\" (a set point is an input)";
      return fail(c.name);
    }
  }
  for (trace_timer& t : timers_) {
    const int o = find_signal(t.output, {}, outputs);
    const int i = find_signal(t.input, inputs, {});
    if (o < 0 || i < 0) {
      *error =
          "timer " + t.output + " " + t.input + ": needs an output and an input of these names";
      return false;
    }
    t.output_index = o;
    t.input_index = i;
  }
  return true;
}

void trace_rules::advance_models(long number, const std::vector<int>& state) {
  for (trace_model& m : models_) {
    for (const model_step& s : m.steps)
      if (s.when.holds(state)) m.value += s.step;
    if (m.value < m.min) m.value = m.min;
    if (m.value > m.max) m.value = m.max;
  }
  for (trace_alarm& a : alarms_) {
    if (a.crossed < 0 && a.passed(models_[a.model_index].value)) a.crossed = number;
  }
}

void trace_rules::cycle(long number, double time, const std::vector<int>& inputs,
                        const std::vector<int>& outputs, std::vector<trace_finding>* found) {
  std::vector<int> state(inputs);
  state.insert(state.end(), outputs.begin(), outputs.end());
  for (trace_rule& r : rules_) {
    if (!r.when.holds(state)) {
      r.held = 0;
      continue;
    }
    if (++r.held == r.cycles + 1) {
      std::string what = r.when.text;
      if (r.cycles > 0) what += " for more than " + std::to_string(r.cycles) + " cycles";
      found->push_back({r.name, number, time, what});
    }
  }
  for (trace_goal& g : goals_) {
    if (g.cycle < 0 && g.when.holds(state)) {
      g.cycle = number;
      g.time = time;
    }
  }
  advance_models(number, state);
}

const trace_alarm* trace_rules::ending_alarm(long last, const std::vector<int>& inputs,
                                             const std::vector<int>& outputs) {
  std::vector<int> state(inputs);
  state.insert(state.end(), outputs.begin(), outputs.end());
  // The plant may have read the last outputs once or twice more than seen.
  for (long extra = 1; extra <= 2; ++extra) advance_models(last + extra, state);
  for (const trace_alarm& a : alarms_) {
    if (a.crossed >= 0 && a.crossed >= last - 2) return &a;
  }
  return nullptr;
}
