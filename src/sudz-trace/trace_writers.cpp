#include "sudz-trace/trace_writers.h"

#include "formspp/viewer_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

long long microseconds(double t) {
  return std::max(1LL, std::llround(t * 1e6));
}

// Printable VCD identifier codes: '!' to '~', then pairs and so on.
std::string vcd_code(int n) {
  std::string s;
  do {
    s += static_cast<char>('!' + n % 94);
    n /= 94;
  } while (n > 0);
  return s;
}

// A VCD reference holds no blanks.
std::string vcd_name(const std::string& n) {
  std::string s;
  for (char c : n) s += (std::isalnum(static_cast<unsigned char>(c)) || c == '_') ? c : '_';
  return s.empty() ? "_" : s;
}

std::string vcd_value(int v, bool wide, const std::string& code) {
  if (!wide) return std::string(v != 0 ? "1" : "0") + code;
  std::string bits;
  const unsigned u = static_cast<unsigned>(v);
  for (int b = 31; b >= 0; --b) bits += (u >> b) & 1 ? '1' : '0';
  const size_t one = bits.find('1');
  bits = one == std::string::npos ? "0" : bits.substr(one);
  return "b" + bits + " " + code;
}

std::string xml(const std::string& s) {
  std::string o;
  for (char c : s) {
    switch (c) {
      case '&':
        o += "&amp;";
        break;
      case '<':
        o += "&lt;";
        break;
      case '>':
        o += "&gt;";
        break;
      case '"':
        o += "&quot;";
        break;
      default:
        o += c;
    }
  }
  return o;
}

const char* scope_of(signal_kind k) {
  switch (k) {
    case signal_kind::input:
      return "inputs";
    case signal_kind::output:
      return "outputs";
    case signal_kind::seen:
      return "seen";
    case signal_kind::override_:
      return "overrides";
  }
  return "other";
}

// Intervals [from, to) in which a signal was non-zero, to the end of the run.
std::vector<std::pair<double, double>> high_intervals(const trace_record& r, int signal,
                                                      double end) {
  std::vector<std::pair<double, double>> out;
  int v = r.signals()[signal].initial;
  double since = 0;
  for (const trace_change& c : r.changes()) {
    if (c.signal != signal) continue;
    if (v != 0 && c.value == 0) out.push_back({since, c.time});
    if (v == 0 && c.value != 0) since = c.time;
    v = c.value;
  }
  if (v != 0) out.push_back({since, end});
  return out;
}

double nice_step(double span) {
  const double raw = span / 10.0;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= raw) return m * p;
  return 10 * p;
}

std::string goal_text(const trace_goal& g) {
  if (g.cycle < 0) return "goal " + g.name + ": not reached";
  return "goal " + g.name + ": reached at " + fixed(g.time, 3) + " s, cycle " +
         std::to_string(g.cycle);
}

}  // namespace

bool write_vcd(const trace_record& r, const std::string& path) {
  std::ofstream f(path);
  if (!f) return false;
  const auto& sig = r.signals();
  std::vector<bool> wide(sig.size(), false);
  for (size_t i = 0; i < sig.size(); ++i) wide[i] = r.is_value(static_cast<int>(i));

  f << "$date " << r.started << " $end\n";
  f << "$version sudz-trace $end\n";
  f << "$comment controller: " << r.controller << " $end\n";
  for (size_t k = 0; k < r.override_texts.size(); ++k) {
    f << "$comment override" << k + 1 << ": " << r.override_texts[k] << " $end\n";
  }
  f << "$timescale 1us $end\n";
  f << "$scope module sudz $end\n";
  int override_number = 0;
  for (signal_kind k :
       {signal_kind::input, signal_kind::output, signal_kind::seen, signal_kind::override_}) {
    bool opened = false;
    for (size_t i = 0; i < sig.size(); ++i) {
      if (sig[i].kind != k) continue;
      if (!opened) f << "$scope module " << scope_of(k) << " $end\n";
      opened = true;
      const std::string name = k == signal_kind::override_
                                   ? "override" + std::to_string(++override_number)
                                   : vcd_name(sig[i].name);
      f << "$var " << (wide[i] ? "integer 32 " : "wire 1 ") << vcd_code(static_cast<int>(i)) << " "
        << name << " $end\n";
    }
    if (opened) f << "$upscope $end\n";
  }
  f << "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
  for (size_t i = 0; i < sig.size(); ++i)
    f << vcd_value(sig[i].initial, wide[i], vcd_code(static_cast<int>(i))) << "\n";
  f << "$end\n";
  long long last = 0;
  for (const trace_change& c : r.changes()) {
    const long long t = std::max(last, microseconds(c.time));
    if (t != last) f << "#" << t << "\n";
    last = t;
    f << vcd_value(c.value, wide[c.signal], vcd_code(c.signal)) << "\n";
  }
  const long long end = std::max(last + 1, microseconds(r.duration));
  f << "#" << end << "\n";
  return static_cast<bool>(f);
}

bool write_svg(const trace_record& r, const std::string& path) {
  std::ofstream f(path);
  if (!f) return false;
  const auto& sig = r.signals();
  double end = std::max(r.duration, 0.001);
  for (const trace_change& c : r.changes()) end = std::max(end, c.time);
  std::vector<int> rows;  // inputs and outputs, in area order
  for (size_t i = 0; i < sig.size(); ++i)
    if (sig[i].kind == signal_kind::input || sig[i].kind == signal_kind::output)
      rows.push_back(static_cast<int>(i));
  std::vector<int> row_of(sig.size(), -1);
  for (size_t k = 0; k < rows.size(); ++k) row_of[rows[k]] = static_cast<int>(k);

  // A switch's row shows its two levels; a value's, three times as tall, a
  // line between its least and greatest value.
  const double x0 = 120, x1 = 1180, top = 90, row_h = 24, value_h = 3 * row_h;
  std::vector<bool> value_row(rows.size());
  std::vector<double> row_top(rows.size() + 1, top);
  int inputs = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    value_row[k] = r.is_value(rows[k]);
    row_top[k + 1] = row_top[k] + (value_row[k] ? value_h : row_h);
    if (sig[rows[k]].kind == signal_kind::input) inputs = static_cast<int>(k) + 1;
  }
  const double bottom = row_top[rows.size()];
  const double width = 1200, height = bottom + 50;
  auto x = [&](double t) { return x0 + (x1 - x0) * t / end; };
  auto row_y = [&](int row) { return row_top[row]; };

  f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
    << "\" viewBox=\"0 0 " << width << " " << height << "\" font-family=\"sans-serif\" "
    << "font-size=\"12\">\n"
    << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
    << "<text x=\"10\" y=\"20\" font-size=\"15\" font-weight=\"bold\">sudz-trace: "
    << xml(r.controller) << "</text>\n"
    << "<text x=\"10\" y=\"40\">" << fixed(r.duration, 1) << " s, cycles " << r.first_cycle
    << " to " << r.last_cycle << "; " << xml(r.end) << "; " << r.findings.size() << " finding(s)"
    << (r.alarm.empty() ? "" : "; alarm " + xml(r.alarm)) << "</text>\n"
    << "<text x=\"" << x1 << "\" y=\"40\" text-anchor=\"end\" fill=\"#555\">blue: inputs, "
    << "orange: outputs, dashed: as the controller saw them, shaded: overrides, red: findings"
    << "</text>\n";

  // Time axis and grid.
  const double step = nice_step(end);
  f << "<g class=\"axis\" stroke=\"#ccc\">\n";
  for (double t = 0; t <= end + 1e-9; t += step) {
    f << "<line x1=\"" << x(t) << "\" y1=\"" << top << "\" x2=\"" << x(t) << "\" y2=\"" << bottom
      << "\"/>\n";
  }
  f << "</g>\n<g class=\"axis-labels\" text-anchor=\"middle\">\n";
  for (double t = 0; t <= end + 1e-9; t += step) {
    f << "<text x=\"" << x(t) << "\" y=\"" << bottom + 16 << "\">" << fixed(t, step < 1 ? 1 : 0)
      << "</text>\n";
  }
  f << "<text x=\"" << (x0 + x1) / 2 << "\" y=\"" << bottom + 36 << "\">time (s)</text>\n</g>\n";

  // Overrides, shaded under the waves.
  f << "<g class=\"overrides\">\n";
  for (size_t i = 0; i < sig.size(); ++i) {
    if (sig[i].kind != signal_kind::override_) continue;
    const bool freeze = r.override_texts.size() > 0 && sig[i].name.compare(0, 6, "freeze") == 0;
    for (const auto& iv : high_intervals(r, static_cast<int>(i), end)) {
      double y = top, h = 0;
      if (freeze) {
        h = row_top[inputs] - top;
      } else if (sig[i].row >= 0 && sig[i].row != static_cast<int>(i) && row_of[sig[i].row] >= 0) {
        const int row = row_of[sig[i].row];
        y = row_y(row);
        h = row_top[row + 1] - y;
      } else {
        continue;  // drawn through the seen rows (fast timers)
      }
      f << "<rect class=\"override\" x=\"" << x(iv.first) << "\" y=\"" << y << "\" width=\""
        << std::max(1.0, x(iv.second) - x(iv.first)) << "\" height=\"" << h << "\" fill=\""
        << (freeze ? "#9cf" : "#fc8") << "\" fill-opacity=\"0.5\"><title>" << xml(sig[i].name)
        << "</title></rect>\n";
    }
  }
  f << "</g>\n";

  // One row per signal: its name and its wave; an overridden input also
  // shows, dashed, what the controller saw.
  auto wave = [&](int s) {
    const double y_top = row_y(row_of[sig[s].row]);
    const double hi = y_top + 5, lo = y_top + row_h - 5;
    int v = sig[s].initial;
    std::ostringstream d;
    d << "M" << x0 << " " << (v ? hi : lo);
    for (const trace_change& c : r.changes()) {
      if (c.signal != s || (c.value != 0) == (v != 0)) {
        if (c.signal == s) v = c.value;
        continue;
      }
      d << " H" << x(c.time) << " V" << (c.value ? hi : lo);
      v = c.value;
    }
    d << " H" << x1;
    return d.str();
  };
  // A value's line: the value held from one change to the next, points
  // closer than half a pixel to the last one left out, so that a value that
  // changes every cycle draws a line of about one point per pixel.
  auto line = [&](int s, int least, int greatest, double y_top) {
    const double hi = y_top + 5, lo = y_top + value_h - 5;
    auto y = [&](int v) {
      return lo - (lo - hi) * (double(v) - least) / (double(greatest) - least);
    };
    std::ostringstream pts;
    double px = x0, py = y(sig[s].initial);
    pts << px << "," << py;
    auto point = [&](double nx, double ny) {
      if (std::fabs(nx - px) < 0.5 && std::fabs(ny - py) < 0.5) return;
      pts << " " << nx << "," << ny;
      px = nx, py = ny;
    };
    int v = sig[s].initial;
    for (const trace_change& c : r.changes()) {
      if (c.signal != s) continue;
      point(x(c.time), y(v));
      v = c.value;
      point(x(c.time), y(v));
    }
    pts << " " << x1 << "," << y(v);
    return pts.str();
  };
  for (size_t k = 0; k < rows.size(); ++k) {
    const int s = rows[k];
    const double y = row_y(static_cast<int>(k));
    const double h = row_top[k + 1] - y;
    const bool out = sig[s].kind == signal_kind::output;
    const char* colour = out ? "#c40" : "#06c";
    f << "<g class=\"signal\" data-name=\"" << xml(sig[s].name) << "\">\n"
      << "<text x=\"10\" y=\"" << y + 16 << "\">" << xml(sig[s].name) << (out ? " (out)" : " (in)")
      << "</text>\n"
      << "<line x1=\"" << x0 << "\" y1=\"" << y + h << "\" x2=\"" << x1 << "\" y2=\"" << y + h
      << "\" stroke=\"#eee\"/>\n";
    std::vector<int> seen;
    for (size_t i = 0; i < sig.size(); ++i)
      if (sig[i].kind == signal_kind::seen && sig[i].row == s) seen.push_back(static_cast<int>(i));
    if (!value_row[k]) {
      f << "<path class=\"wave\" d=\"" << wave(s) << "\" fill=\"none\" stroke=\"" << colour
        << "\" stroke-width=\"1.5\"/>\n";
      for (int i : seen) {
        f << "<path class=\"seen\" d=\"" << wave(i)
          << "\" fill=\"none\" stroke=\"#000\" stroke-dasharray=\"4 3\"/>\n";
      }
    } else {
      // One scale for the value and what the controller saw of it.
      int least = sig[s].initial, greatest = least;
      for (const trace_change& c : r.changes()) {
        if (c.signal != s && std::find(seen.begin(), seen.end(), c.signal) == seen.end()) continue;
        least = std::min(least, c.value);
        greatest = std::max(greatest, c.value);
      }
      for (int i : seen) {
        least = std::min(least, sig[i].initial);
        greatest = std::max(greatest, sig[i].initial);
      }
      if (least == greatest) ++greatest;
      f << "<text x=\"" << x0 - 4 << "\" y=\"" << y + 10 << "\" text-anchor=\"end\" "
        << "font-size=\"10\" fill=\"#555\">" << greatest << "</text>\n"
        << "<text x=\"" << x0 - 4 << "\" y=\"" << y + h - 2 << "\" text-anchor=\"end\" "
        << "font-size=\"10\" fill=\"#555\">" << least << "</text>\n"
        << "<polyline class=\"value\" points=\"" << line(s, least, greatest, y)
        << "\" fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\"/>\n";
      for (int i : seen) {
        f << "<polyline class=\"seen\" points=\"" << line(i, least, greatest, y)
          << "\" fill=\"none\" stroke=\"#000\" stroke-dasharray=\"4 3\"/>\n";
      }
    }
    f << "</g>\n";
  }

  // Findings, with their rule at the top.
  f << "<g class=\"findings\">\n";
  int n = 0;
  for (const trace_finding& fd : r.findings) {
    const double fx = x(std::min(fd.time, end));
    f << "<g class=\"finding\"><title>"
      << xml(fd.rule + " at " + fixed(fd.time, 3) + " s, cycle " + std::to_string(fd.cycle) + ": " +
             fd.what)
      << "</title><line x1=\"" << fx << "\" y1=\"" << 50 << "\" x2=\"" << fx << "\" y2=\"" << bottom
      << "\" stroke=\"red\" stroke-width=\"1.5\"/><text x=\"" << fx + 3 << "\" y=\""
      << 60 + 12 * (n++ % 3) << "\" fill=\"red\">" << xml(fd.rule) << "</text></g>\n";
  }
  f << "</g>\n</svg>\n";
  return static_cast<bool>(f);
}

std::vector<std::string> report_lines(const trace_record& r) {
  std::vector<std::string> l;
  const auto& sig = r.signals();
  l.push_back("#C 110 ");
  l.push_back("sudz-trace report");
  l.push_back("#T");
  l.push_back("controller: " + r.controller);
  l.push_back("started: " + r.started + ", lasted " + fixed(r.duration, 3) + " s, cycles " +
              std::to_string(r.first_cycle) + " to " + std::to_string(r.last_cycle));
  l.push_back("end: " + r.end);
  l.push_back("controller end: " + r.controller_end);
  for (const trace_goal& g : r.goals) l.push_back(goal_text(g));
  l.push_back(r.alarm.empty() ? std::string("alarm: none")
                              : "alarm: the run ended by the " + r.alarm + " alarm, cycle " +
                                    std::to_string(r.alarm_cycle));
  l.push_back("findings: " + std::to_string(r.findings.size()));
  l.push_back("#T");
  l.push_back("Findings");
  l.push_back("#C 12 10 24 62 ");
  l.push_back("time s# cycle# rule# what");
  l.push_back("#T");
  for (const trace_finding& fd : r.findings) {
    l.push_back(fixed(fd.time, 3) + "# " + std::to_string(fd.cycle) + "# " + fd.rule + "# " +
                fd.what);
  }
  if (r.findings.empty()) l.push_back("none");
  l.push_back("#C 110 ");
  if (!r.responses.empty()) {
    l.push_back("#T");
    l.push_back("Responses to the steps");
    l.push_back("#T");
    for (const response_figure& f : r.responses)
      l.push_back(f.criterion + ": " + (f.passed ? "passed, " : "FAILED, ") + f.what);
  }
  l.push_back("#T");
  l.push_back("Overrides");
  l.push_back("#T");
  for (const std::string& o : r.override_texts) l.push_back(o);
  if (r.override_texts.empty()) l.push_back("none");
  l.push_back("#T");
  l.push_back("Changes");
  l.push_back("#C 12 10 10 14 10 ");
  l.push_back("time s# cycle# kind# signal# value");
  l.push_back("#T");
  for (const trace_change& c : r.changes()) {
    const trace_signal& s = sig[c.signal];
    std::string kind = s.kind == signal_kind::input    ? "input"
                       : s.kind == signal_kind::output ? "output"
                       : s.kind == signal_kind::seen   ? "seen"
                                                       : "override";
    l.push_back(fixed(c.time, 3) + "# " + std::to_string(c.cycle) + "# " + kind + "# " + s.name +
                "# " + std::to_string(c.value));
  }
  return l;
}

bool write_report(const trace_record& r, const std::string& path) {
  const std::vector<std::string> lines = report_lines(r);
  const std::string pdf = ".pdf";
  if (path.size() >= pdf.size() && path.compare(path.size() - pdf.size(), pdf.size(), pdf) == 0) {
    return viewer_write_pdf(path, lines);
  }
  std::ofstream f(path);
  if (!f) return false;
  for (const std::string& s : lines) f << s << "\n";
  return static_cast<bool>(f);
}

bool write_summary(const trace_record& r, const std::string& path) {
  std::ofstream f(path);
  if (!f) return false;
  f << "controller=" << r.controller << "\n";
  f << "duration=" << fixed(r.duration, 3) << "\n";
  f << "first_cycle=" << r.first_cycle << "\nlast_cycle=" << r.last_cycle << "\n";
  f << "end=" << r.end << "\n";
  f << "controller_end=" << r.controller_end << "\n";
  for (const trace_goal& g : r.goals) {
    f << "goal=" << g.name << "\n";
    f << "goal_reached=" << (g.cycle >= 0 ? 1 : 0) << "\n";
    if (g.cycle >= 0) f << "goal_time=" << fixed(g.time, 3) << "\ngoal_cycle=" << g.cycle << "\n";
  }
  f << "alarm=" << (r.alarm.empty() ? "none" : r.alarm) << "\n";
  if (!r.alarm.empty()) f << "alarm_cycle=" << r.alarm_cycle << "\n";
  // Each criterion's figure for each step of its set point, numbered from 1: "none" when the
  // step never came, "never" for a value that did not settle.
  std::vector<std::string> seen;
  for (const response_figure& fig : r.responses) {
    seen.push_back(fig.criterion);
    f << "response." << fig.criterion << "." << std::count(seen.begin(), seen.end(), fig.criterion)
      << "="
      << (!fig.measured  ? "none"
          : !fig.settled ? "never"
                         : fixed(fig.figure, 3))
      << "\n";
  }
  f << "findings=" << r.findings.size() << "\n";
  std::vector<std::string> names;
  for (const trace_finding& fd : r.findings)
    if (std::find(names.begin(), names.end(), fd.rule) == names.end()) names.push_back(fd.rule);
  for (const std::string& n : names) {
    f << "finding." << n << "="
      << std::count_if(r.findings.begin(), r.findings.end(),
                       [&](const trace_finding& fd) { return fd.rule == n; })
      << "\n";
  }
  return static_cast<bool>(f);
}
