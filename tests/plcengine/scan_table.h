// Stepping a loaded program through scripted scans: the shared driver of
// the scan tables of every language.
#ifndef TESTS_PLCENGINE_SCAN_TABLE_H
#define TESTS_PLCENGINE_SCAN_TABLE_H

#include <sstream>
#include <string>
#include <vector>

#include "plcengine/runtime.h"

namespace plctest {

struct scan_row {
  const char* set;     // "a=TRUE n=3": variables set before the scan
  long long t_ms;      // the fake clock
  const char* expect;  // "x=TRUE t.Q=FALSE": values after it
};

// Runs the rows on rt and returns the first mismatch, or "".
inline std::string step_rows(plc::runtime& rt, const std::vector<scan_row>& rows) {
  int n = 0;
  for (const scan_row& r : rows) {
    ++n;
    std::istringstream set(r.set);
    for (std::string w; set >> w;) {
      const size_t eq = w.find('=');
      plc::value v;
      if (!plc::parse_literal(w.substr(eq + 1), &v)) return "bad value in " + w;
      const int var = rt.find(w.substr(0, eq));
      if (var < 0) return "no variable " + w;
      rt.set(var, v);
    }
    if (!rt.scan(r.t_ms)) return "scan " + std::to_string(n) + ": " + rt.fault().text();
    std::istringstream expect(r.expect);
    for (std::string w; expect >> w;) {
      const size_t eq = w.find('='), dot = w.find('.');
      const std::string name = w.substr(0, eq), want = w.substr(eq + 1);
      std::string got;
      if (dot != std::string::npos && dot < eq)
        got = plc::to_text(rt.member(rt.find(name.substr(0, dot)), name.substr(dot + 1)));
      else if (rt.find(name) >= 0)
        got = plc::to_text(rt.get(rt.find(name)));
      if (got != want)
        return "scan " + std::to_string(n) + ": " + name + " is " + got + ", expected " + want;
    }
  }
  return "";
}

}  // namespace plctest

#endif
