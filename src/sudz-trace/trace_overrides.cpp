#include "sudz-trace/trace_overrides.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "IOshare/exchange_area.h"

namespace {

bool parse_seconds(const std::string& s, double* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  *v = std::strtod(s.c_str(), &end);
  return *end == '\0' && std::isfinite(*v) && *v >= 0;
}

// T[+D]
bool parse_when(const std::string& s, override_spec* o) {
  const size_t plus = s.find('+');
  if (!parse_seconds(s.substr(0, plus), &o->start)) return false;
  if (plus == std::string::npos) return true;
  return parse_seconds(s.substr(plus + 1), &o->duration) && o->duration > 0;
}

bool valid_name(const std::string& n) {
  return !n.empty() && n.find_first_of(" \t=@+") == std::string::npos;
}

}  // namespace

bool parse_override(const std::string& keyword, const std::string& arg, override_spec* o,
                    std::string* error) {
  *o = override_spec();
  o->text = keyword + (arg.empty() ? "" : " " + arg);
  auto fail = [&](const std::string& form) {
    *error = "bad override \"" + o->text + "\" (expected " + form + ")";
    return false;
  };
  if (keyword == "set" || keyword == "step") {
    // A step is a set that holds for good.
    const bool step = keyword == "step";
    const std::string form = step ? "step NAME=V@T" : "set NAME=V@T[+D]";
    o->what = step ? override_spec::kind::step : override_spec::kind::set;
    const size_t eq = arg.find('='), at = arg.find('@');
    if (eq == std::string::npos || at == std::string::npos || at < eq ||
        (step && arg.find('+', at) != std::string::npos))
      return fail(form);
    o->name = arg.substr(0, eq);
    const std::string v = arg.substr(eq + 1, at - eq - 1);
    char* end = nullptr;
    const long value = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || value < -2147483647L - 1 || value > 2147483647L ||
        !valid_name(o->name) || !parse_when(arg.substr(at + 1), o)) {
      return fail(form);
    }
    o->value = static_cast<int>(value);
  } else if (keyword == "flip") {
    o->what = override_spec::kind::flip;
    const size_t at = arg.find('@');
    if (at == std::string::npos) return fail("flip NAME@T[+D]");
    o->name = arg.substr(0, at);
    if (!valid_name(o->name) || !parse_when(arg.substr(at + 1), o)) return fail("flip NAME@T[+D]");
  } else if (keyword == "freeze") {
    o->what = override_spec::kind::freeze;
    if (!parse_when(arg, o)) return fail("freeze T[+D]");
  } else if (keyword == "press") {
    o->what = override_spec::kind::press;
    const size_t at = arg.rfind('@');
    if (at == std::string::npos) return fail("press LABEL@T[+D]");
    o->name = arg.substr(0, at);
    if (o->name.empty() || o->name.size() >= ioshare::kPressLabelBytes ||
        o->name.find('\0') != std::string::npos || !parse_when(arg.substr(at + 1), o)) {
      return fail("press LABEL@T[+D], LABEL of 1 to 31 characters");
    }
    if (o->duration < 0) o->duration = press_hold;
  } else if (keyword == "fast-timers") {
    o->what = override_spec::kind::fast_timers;
    if (!arg.empty()) return fail("fast-timers");
  } else {
    *error = "unknown override \"" + keyword + "\"";
    return false;
  }
  return true;
}

bool parse_scenario(const std::string& text, std::vector<override_spec>* out, std::string* error) {
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string keyword, arg, extra;
    if (!(words >> keyword)) continue;
    if (keyword.compare(0, 2, "--") == 0) keyword.erase(0, 2);
    if (keyword == "press") {
      // A button's label may hold blanks: the rest of the line, without its ends' blanks.
      std::getline(words, arg);
      const size_t a = arg.find_first_not_of(" \t\r"), b = arg.find_last_not_of(" \t\r");
      arg = a == std::string::npos ? "" : arg.substr(a, b - a + 1);
    } else {
      words >> arg;
    }
    override_spec o;
    std::string why;
    if ((words >> extra) || !parse_override(keyword, arg, &o, &why)) {
      *error = "line " + std::to_string(number) + ": " + (why.empty() ? "too many words" : why);
      return false;
    }
    out->push_back(o);
  }
  return true;
}

bool input_view::bind(const std::vector<std::string>& inputs,
                      const std::vector<trace_timer>& timers, std::string* error) {
  bool fast = false;
  for (override_spec& o : specs_) {
    if (o.what == override_spec::kind::fast_timers) fast = true;
    if (o.what != override_spec::kind::set && o.what != override_spec::kind::flip &&
        o.what != override_spec::kind::step)
      continue;
    o.input = -1;
    for (size_t i = 0; i < inputs.size(); ++i)
      if (inputs[i] == o.name) o.input = static_cast<int>(i);
    if (o.input < 0) {
      *error = "override \"" + o.text + "\": no input \"" + o.name + "\"";
      return false;
    }
  }
  // A step holds until the next step of the same input, whatever order they were written in.
  for (override_spec& o : specs_) {
    if (o.what != override_spec::kind::step) continue;
    for (const override_spec& next : specs_) {
      if (&next == &o || next.what != override_spec::kind::step || next.input != o.input ||
          next.start < o.start || (next.start == o.start && &next < &o))
        continue;
      const double held = next.start - o.start;
      if (o.duration < 0 || held < o.duration) o.duration = held;
    }
  }
  timers_.clear();
  if (fast) {
    if (timers.empty()) {
      *error = "fast-timers: the rules name no timer";
      return false;
    }
    for (const trace_timer& t : timers) timers_.push_back({t, 0, -1});
  }
  return true;
}

void input_view::outputs_forwarded(const std::vector<int>& outputs, double t) {
  for (timer_state& s : timers_) {
    const int v = outputs[s.pair.output_index];
    if (v == 1 && s.last_output != 1) s.edge = t;
    s.last_output = v;
  }
}

bool input_view::frozen(double t) const {
  for (const override_spec& o : specs_)
    if (o.what == override_spec::kind::freeze && o.active(t)) return true;
  return false;
}

std::vector<int> input_view::apply(const std::vector<int>& plant, double t) const {
  std::vector<int> seen(plant);
  for (const timer_state& s : timers_) {
    seen[s.pair.input_index] = (s.edge >= 0 && t >= s.edge + 1.0 && t < s.edge + 5.0) ? 1 : 0;
  }
  for (const override_spec& o : specs_) {
    if (o.input < 0 || !o.active(t)) continue;
    if (o.what == override_spec::kind::set || o.what == override_spec::kind::step)
      seen[o.input] = o.value;
    if (o.what == override_spec::kind::flip) seen[o.input] = seen[o.input] == 0 ? 1 : 0;
  }
  return seen;
}

std::vector<int> input_view::touched_inputs() const {
  std::vector<int> out;
  auto add = [&](int i) {
    for (int k : out)
      if (k == i) return;
    out.push_back(i);
  };
  for (const timer_state& s : timers_) add(s.pair.input_index);
  for (const override_spec& o : specs_)
    if (o.input >= 0) add(o.input);
  return out;
}

press_queue::press_queue(const std::vector<override_spec>& specs) {
  for (const override_spec& o : specs)
    if (o.what == override_spec::kind::press) presses_.push_back({&o});
}

bool press_queue::step(ioshare::exchange_area* area, double t, long clock, std::string* error) {
  if (waiting_ >= 0) {
    press& p = presses_[waiting_];
    const int answer = ioshare::press_answer(area);
    const std::string which = "press \"" + p.spec->name + "\": ";
    if (answer == -sequence_) {
      *error = which + "the plant has no button \"" + p.spec->name + "\"";
      return false;
    }
    if (answer != sequence_) {
      if (clock - asked_at_ <= answer_cycles) return true;
      *error = which + "the plant took no press in " + std::to_string(answer_cycles) +
               " cycles (it declares no operator buttons)";
      return false;
    }
    ++p.state;
    waiting_ = -1;
  }
  for (size_t k = 0; k < presses_.size(); ++k) {
    press& p = presses_[k];
    const bool down = p.state == 0 && t >= p.spec->start;
    const bool up = p.state == 1 && !p.spec->active(t);
    if (!down && !up) continue;
    waiting_ = static_cast<int>(k);
    asked_at_ = clock;
    ioshare::press_ask(area, ++sequence_, p.spec->name, down);
    break;
  }
  return true;
}
