#include "sudz-trace/trace_response.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <sstream>

namespace {

bool number(std::string s, double* v, bool* percent) {
  if (percent != nullptr) {
    *percent = !s.empty() && s.back() == '%';
    if (*percent) s.pop_back();
  }
  if (s.empty()) return false;
  char* end = nullptr;
  *v = std::strtod(s.c_str(), &end);
  return *end == '\0' && std::isfinite(*v) && *v >= 0;
}

std::string figure_text(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

std::string limit_text(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

bool parse_response(const std::string& keyword, const std::string& name, const std::string& rest,
                    response_criterion* c, std::string* why) {
  using m = response_criterion::measure;
  why->clear();
  if (keyword == "overshoot") {
    c->what = m::overshoot;
  } else if (keyword == "settling") {
    c->what = m::settling;
  } else if (keyword == "error") {
    c->what = m::error;
  } else if (keyword == "iae") {
    c->what = m::iae;
  } else {
    return false;
  }
  const char* const forms[] = {
      "overshoot NAME: PV against SP <= P%", "settling NAME: PV against SP within B[%] <= S",
      "error NAME: PV against SP <= E [over S]", "iae NAME: PV against SP <= A"};
  *why = std::string("expected: ") + forms[static_cast<int>(c->what)];
  std::istringstream in(rest);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  if (name.empty() || name.find_first_of(" \t|=!:") != std::string::npos || w.size() < 5 ||
      w[1] != "against") {
    return false;
  }
  c->name = name;
  c->value = w[0];
  c->setpoint = w[2];
  c->text = rest;
  size_t k = 3;
  if (c->what == m::settling) {
    if (w[k] != "within" || k + 1 >= w.size() || !number(w[k + 1], &c->band, &c->band_percent))
      return false;
    k += 2;
  }
  if (k + 1 >= w.size() || w[k] != "<=") return false;
  bool percent = false;
  if (!number(w[k + 1], &c->limit, &percent)) return false;
  // Only the overshoot is a percentage, and it is always one.
  if (percent != (c->what == m::overshoot)) return false;
  k += 2;
  if (c->what == m::error && k + 1 < w.size() && w[k] == "over") {
    if (!number(w[k + 1], &c->over, nullptr) || c->over <= 0) return false;
    k += 2;
  }
  if (k != w.size()) return false;
  why->clear();
  return true;
}

response_judge::response_judge(std::vector<response_criterion> criteria,
                               std::vector<response_step> steps)
    : criteria_(std::move(criteria)),
      steps_(std::move(steps)),
      started_(steps_.size(), false),
      windows_(criteria_.size()) {}

void response_judge::cycle(long number, double t, const std::vector<int>& state) {
  last_cycle_ = number;
  last_time_ = t;
  for (size_t s = 0; s < steps_.size(); ++s) {
    if (started_[s] || t < steps_[s].start) continue;
    started_[s] = true;
    // A new step of a set point ends the window of the one before.
    for (size_t c = 0; c < criteria_.size(); ++c)
      if (criteria_[c].setpoint_input == steps_[s].input)
        windows_[c].push_back({static_cast<int>(s), number, {}, {}});
  }
  for (size_t c = 0; c < criteria_.size(); ++c) {
    if (windows_[c].empty()) continue;
    const int k = criteria_[c].value_index;
    window& w = windows_[c].back();
    w.values.push_back(k >= 0 && k < static_cast<int>(state.size()) ? state[k] : 0);
    w.times.push_back(t);
  }
}

std::vector<response_figure> response_judge::judge() const {
  using m = response_criterion::measure;
  // Cycles are counted in integers and divided at the end, so that a figure is exact.
  const double hz = response_cycles_per_second;
  std::vector<response_figure> out;
  for (size_t c = 0; c < criteria_.size(); ++c) {
    const response_criterion& cr = criteria_[c];
    for (size_t s = 0; s < steps_.size(); ++s) {
      if (steps_[s].input != cr.setpoint_input) continue;
      response_figure f;
      f.criterion = cr.name;
      f.step = steps_[s].text;
      const std::string after = ", " + steps_[s].text;
      const window* w = nullptr;
      for (const window& x : windows_[c])
        if (x.step == static_cast<int>(s)) w = &x;
      // A step followed in the same cycle by another of its set point has no response.
      if (w != nullptr && w->values.empty()) continue;
      if (w == nullptr) {
        f.passed = false;
        f.what = "no response: the run ended before " + steps_[s].text;
        f.cycle = last_cycle_;
        f.time = last_time_;
        out.push_back(f);
        continue;
      }
      f.measured = true;
      const std::vector<int>& v = w->values;
      const size_t n = v.size();
      const double sp = steps_[s].value;
      const double d = sp - v[0];
      const double size = std::max(1.0, std::fabs(d));
      const double sign = d < 0 ? -1.0 : 1.0;
      size_t at = n - 1;  // the sample the finding points at
      switch (cr.what) {
        case m::overshoot: {
          double peak = 0;
          for (size_t i = 0; i < n; ++i) {
            const double past = (v[i] - sp) * sign;
            if (past > peak) peak = past, at = i;
          }
          f.figure = peak / size * 100;
          f.passed = f.figure <= cr.limit;
          f.what = "overshoot " + figure_text(f.figure) + " %, limit " + limit_text(cr.limit) +
                   " %" + after;
          break;
        }
        case m::settling: {
          const double band = cr.band_percent ? cr.band / 100 * size : cr.band;
          size_t settled_from = 0;
          for (size_t i = 0; i < n; ++i)
            if (std::fabs(sp - v[i]) > band) settled_from = i + 1;
          const std::string within =
              "within " + limit_text(cr.band) + (cr.band_percent ? " %" : "");
          f.figure = settled_from / hz;
          f.settled = settled_from < n;
          f.passed = f.settled && f.figure <= cr.limit;
          f.what = (f.settled ? "settled " : "not settled ") + within +
                   (f.settled ? " in " : " after ") + figure_text(f.settled ? f.figure : n / hz) +
                   " s, limit " + limit_text(cr.limit) + " s" + after;
          // Where it should have settled by, or the end.
          if (cr.limit * hz < n - 1) at = static_cast<size_t>(cr.limit * hz);
          break;
        }
        case m::error: {
          // The cycles of the last S seconds, at least one, at most the whole response.
          size_t last = 1;
          if (cr.over > 0) last = cr.over * hz < n ? std::max<size_t>(1, cr.over * hz + 0.5) : n;
          double sum = 0;
          for (size_t i = n - last; i < n; ++i) sum += std::fabs(sp - v[i]);
          f.figure = sum / last;
          f.passed = f.figure <= cr.limit;
          f.what = "error " + figure_text(f.figure) +
                   (cr.over > 0 ? " over the last " + figure_text(last / hz) + " s"
                                : std::string(" at the end")) +
                   ", limit " + limit_text(cr.limit) + after;
          break;
        }
        case m::iae: {
          double sum = 0;
          bool passed_at = false;
          for (size_t i = 0; i < n; ++i) {
            sum += std::fabs(sp - v[i]);
            if (!passed_at && sum > cr.limit * hz) passed_at = true, at = i;
          }
          f.figure = sum / hz;
          f.passed = f.figure <= cr.limit;
          f.what =
              "IAE " + figure_text(f.figure) + " unit s, limit " + limit_text(cr.limit) + after;
          break;
        }
      }
      f.cycle = w->first_cycle + static_cast<long>(at);
      f.time = w->times[at];
      out.push_back(f);
    }
  }
  return out;
}
