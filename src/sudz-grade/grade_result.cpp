#include "sudz-grade/grade_result.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The first value of key in key=value lines; "" when absent.
std::string value(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& l : lines)
    if (l.compare(0, key.size() + 1, key + "=") == 0) return l.substr(key.size() + 1);
  return "";
}

long number(const std::string& v) {
  return v.empty() ? -1 : std::strtol(v.c_str(), nullptr, 10);
}

// The findings table of the report: "time# cycle# rule# what" lines after
// its heading, up to the next column line.
std::vector<finding_at> report_findings(const std::string& path) {
  std::vector<finding_at> out;
  const std::vector<std::string> lines = lines_of(path);
  size_t k = 0;
  while (k < lines.size() && lines[k] != "time s# cycle# rule# what") ++k;
  for (k += 2; k < lines.size() && lines[k].compare(0, 2, "#C") != 0; ++k) {
    std::vector<std::string> f;
    size_t start = 0;
    for (int n = 0; n < 3; ++n) {
      const size_t sep = lines[k].find("# ", start);
      if (sep == std::string::npos) break;
      f.push_back(lines[k].substr(start, sep - start));
      start = sep + 2;
    }
    if (f.size() < 3) continue;
    out.push_back(
        {f[2], std::strtol(f[1].c_str(), nullptr, 10), std::strtod(f[0].c_str(), nullptr)});
  }
  return out;
}

std::string md_cell(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '|') out += '\\';
    out += c == '\n' || c == '\r' ? ' ' : c;
  }
  return out;
}

std::string csv_field(std::string s, bool text = true) {
  // A spreadsheet would run a cell that starts like a formula: names come from students.
  if (text && !s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@')) {
    s = "'" + s;
  }
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Length of a valid UTF-8 sequence at s[i], 0 when it is not one.
size_t utf8_length(const std::string& s, size_t i) {
  const unsigned char c = s[i];
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// A JSON string; bytes that are not UTF-8 are taken as ISO-8859-1, the system's own text.
std::string json_string(const std::string& s) {
  std::string out = "\"";
  char buf[8];
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t n = utf8_length(s, i)) {
      out += s.substr(i, n);
      i += n - 1;
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    }
  }
  return out + "\"";
}

std::string cycles_text(const std::vector<finding_at>& findings) {
  std::string out;
  for (const finding_at& f : findings) {
    out += (out.empty() ? "" : "; ") + f.rule + "@" + std::to_string(f.cycle);
  }
  return out;
}

std::string optional(long v) {
  return v < 0 ? "" : std::to_string(v);
}

std::string responses_text(const grade_row& r) {
  std::string out;
  for (const auto& [key, figure] : r.responses)
    out += (out.empty() ? "" : "; ") + key + "=" + figure;
  return out;
}

// The figures as a JSON object: numbers, null for a value that never settled or a step that
// never came.
std::string responses_json(const grade_row& r) {
  std::string out = "{";
  for (const auto& [key, figure] : r.responses) {
    const bool number =
        !figure.empty() && figure.find_first_not_of("0123456789.") == std::string::npos;
    out += (out.size() > 1 ? ", " : "") + json_string(key) + ": " + (number ? figure : "null");
  }
  return out + "}";
}

}  // namespace

grade_row make_row(const std::string& controller, const std::string& command,
                   const std::string& dir, const run_facts& facts) {
  grade_row r;
  r.controller = controller;
  r.command = command;
  r.vcd = dir + "/trace.vcd";
  r.svg = dir + "/trace.svg";
  r.report = dir + "/report.txt";
  r.simulator_status = facts.simulator_status;
  const std::vector<std::string> s = lines_of(dir + "/summary.txt");
  std::string alarm, end, cend;
  if (!s.empty()) {
    r.goal_name = value(s, "goal");
    r.goal_reached = value(s, "goal_reached") == "1" ? 1 : 0;
    if (r.goal_reached == 1) {
      r.goal_time = value(s, "goal_time");
      char* end = nullptr;
      std::strtod(r.goal_time.c_str(), &end);
      if (r.goal_time.empty() || *end != '\0') r.goal_time = "?";
      r.goal_cycle = number(value(s, "goal_cycle"));
      r.goal_cell = "yes, " + r.goal_time + " s (cycle " + std::to_string(r.goal_cycle) + ")";
    } else {
      r.goal_cell = "no";
    }
    // Counts by rule, in the order the summary gives them; a rule named alarm is the alarm's.
    for (const std::string& l : s) {
      if (l.compare(0, 8, "finding.") != 0) continue;
      const size_t eq = l.find('=');
      if (eq == std::string::npos || l.compare(8, eq - 8, "alarm") == 0) continue;
      r.findings_cell +=
          (r.findings_cell.empty() ? "" : ", ") + l.substr(8, eq - 8) + " " + l.substr(eq + 1);
    }
    if (r.findings_cell.empty()) r.findings_cell = "none";
    for (const std::string& l : s) {
      const size_t eq = l.find('=');
      if (l.compare(0, 9, "response.") == 0 && eq != std::string::npos)
        r.responses.push_back({l.substr(9, eq - 9), l.substr(eq + 1)});
    }
    r.findings = report_findings(r.report);
    alarm = value(s, "alarm");
    r.alarm_cycle = number(value(s, "alarm_cycle"));
    end = value(s, "end");
    cend = value(s, "controller_end");
  } else {
    r.goal_cell = r.findings_cell = alarm = cend = "?";
    end =
        facts.proxy_message.empty() ? "no trace (sudz-trace did not finish)" : facts.proxy_message;
  }
  // A plant whose rules cannot tell its alarm: the box and the status do.
  if (alarm == "none" && facts.acknowledged && facts.simulator_status == 1) {
    alarm = "unnamed (alarm box)";
  }
  if (!facts.killed.empty()) {
    end = s.empty() && !facts.proxy_message.empty() ? facts.killed + "; " + facts.proxy_message
                                                    : facts.killed;
  } else if (alarm != "none" && alarm != "?") {
    end = "alarm box acknowledged; simulator status " + std::to_string(facts.simulator_status);
  }
  if (facts.left > 0) cend += "; " + std::to_string(facts.left) + " process(es) left, killed";
  r.alarm_cell = alarm;
  r.run_end = end;
  r.controller_end = cend;
  r.end_cell = end + "; controller " + cend;
  return r;
}

grade_row row_not_run(const std::string& controller, const std::string& command,
                      const std::string& why) {
  grade_row r;
  r.controller = controller;
  r.command = command;
  r.goal_cell = r.findings_cell = r.alarm_cell = r.controller_end = "?";
  r.run_end = why;
  r.end_cell = why + "; controller ?";
  return r;
}

std::string markdown_table(const std::vector<grade_row>& rows, const std::string& goal_column) {
  std::string t =
      "| controller | " + goal_column + " | findings | alarm | end | vcd | svg | report |\n";
  t += "|---|---|---|---|---|---|---|---|\n";
  for (const grade_row& r : rows) {
    t += "| " + md_cell(r.controller) + " | " + md_cell(r.goal_cell) + " | " +
         md_cell(r.findings_cell) + " | " + md_cell(r.alarm_cell) + " | " + md_cell(r.end_cell) +
         " | " + md_cell(r.vcd) + " | " + md_cell(r.svg) + " | " + md_cell(r.report) + " |\n";
  }
  return t;
}

std::string csv_table(const std::vector<grade_row>& rows, const std::string& goal_column) {
  std::string t = "controller," + goal_column +
                  ",findings,alarm,end,vcd,svg,report,command,goal_name,goal_reached,goal_time,"
                  "goal_cycle,finding_cycles,alarm_cycle,run_end,controller_end,"
                  "simulator_status,responses\r\n";
  for (const grade_row& r : rows) {
    const std::vector<std::string> f = {csv_field(r.controller),
                                        csv_field(r.goal_cell),
                                        csv_field(r.findings_cell),
                                        csv_field(r.alarm_cell),
                                        csv_field(r.end_cell),
                                        csv_field(r.vcd),
                                        csv_field(r.svg),
                                        csv_field(r.report),
                                        csv_field(r.command),
                                        csv_field(r.goal_name),
                                        r.goal_reached < 0 ? "" : std::to_string(r.goal_reached),
                                        r.goal_time,
                                        optional(r.goal_cycle),
                                        csv_field(cycles_text(r.findings)),
                                        optional(r.alarm_cycle),
                                        csv_field(r.run_end),
                                        csv_field(r.controller_end),
                                        optional(r.simulator_status),
                                        csv_field(responses_text(r))};
    for (size_t k = 0; k < f.size(); ++k) t += (k ? "," : "") + f[k];
    t += "\r\n";
  }
  return t;
}

std::string json_table(const std::vector<grade_row>& rows, const std::string& goal_column) {
  std::string t = "[";
  for (size_t k = 0; k < rows.size(); ++k) {
    const grade_row& r = rows[k];
    auto num = [](long v) { return v < 0 ? std::string("null") : std::to_string(v); };
    std::string findings = "[";
    for (size_t j = 0; j < r.findings.size(); ++j) {
      std::ostringstream time;
      time << r.findings[j].time;
      findings += std::string(j ? ", " : "") + "{\"rule\": " + json_string(r.findings[j].rule) +
                  ", \"cycle\": " + std::to_string(r.findings[j].cycle) +
                  ", \"time\": " + time.str() + "}";
    }
    findings += "]";
    t += std::string(k ? ",\n " : "\n ") + "{\"controller\": " + json_string(r.controller) + ", " +
         json_string(goal_column) + ": " + json_string(r.goal_cell) +
         ", \"findings\": " + json_string(r.findings_cell) +
         ", \"alarm\": " + json_string(r.alarm_cell) + ", \"end\": " + json_string(r.end_cell) +
         ", \"vcd\": " + json_string(r.vcd) + ", \"svg\": " + json_string(r.svg) +
         ", \"report\": " + json_string(r.report) + ", \"command\": " + json_string(r.command) +
         ", \"goal_name\": " + (r.goal_name.empty() ? "null" : json_string(r.goal_name)) +
         ", \"goal_reached\": " +
         (r.goal_reached < 0 ? "null"
          : r.goal_reached   ? "true"
                             : "false") +
         ", \"goal_time\": " + (r.goal_time.empty() || r.goal_time == "?" ? "null" : r.goal_time) +
         ", \"goal_cycle\": " + num(r.goal_cycle) + ", \"finding_cycles\": " + findings +
         ", \"alarm_cycle\": " + num(r.alarm_cycle) + ", \"run_end\": " + json_string(r.run_end) +
         ", \"controller_end\": " + json_string(r.controller_end) +
         ", \"simulator_status\": " + num(r.simulator_status) +
         ", \"responses\": " + responses_json(r) + "}";
  }
  return t + (rows.empty() ? "]\n" : "\n]\n");
}

bool write_whole_file(const std::string& path, const std::string& text) {
  const std::string tmp = path + ".part" + std::to_string(getpid());
  {
    std::ofstream f(tmp, std::ios::binary);
    if (!(f << text) || !f.flush()) {
      f.close();
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}
