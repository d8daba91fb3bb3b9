// The parts of sudz-trace that need no simulator: rules, overrides and the
// files, checked by their real readers (vcd2fst, rsvg-convert).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "IOshare/exchange_area.h"

#include "sudz-trace/poll_schedule.h"
#include "sudz-trace/trace_overrides.h"
#include "sudz-trace/trace_record.h"
#include "sudz-trace/trace_response.h"
#include "sudz-trace/trace_rules.h"
#include "sudz-trace/trace_writers.h"
#include "support/child_process.h"

namespace {

const std::vector<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                          "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::vector<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                           "AvL", "ArL", "AvR", "T1m", "T5m"};

int in_index(const std::string& n) {
  for (size_t i = 0; i < kInputs.size(); ++i)
    if (kInputs[i] == n) return static_cast<int>(i);
  return -1;
}
int out_index(const std::string& n) {
  for (size_t i = 0; i < kOutputs.size(); ++i)
    if (kOutputs[i] == n) return static_cast<int>(i);
  return -1;
}

trace_rules machine_rules() {
  trace_rules r;
  std::string error;
  EXPECT_TRUE(r.parse(washing_machine_rules, &error)) << error;
  EXPECT_TRUE(r.bind(kInputs, kOutputs, &error)) << error;
  return r;
}

TEST(TraceRules, StatementsAcceptedAndRefused) {
  struct {
    const char* text;
    bool ok;
    const char* error_part;
  } cases[] = {
      {"rule a: X=1 and Y!=0 for 3\n", true, ""},
      {"rule a: X|Y|Z=1\n# comment\n\n", true, ""},
      {"goal g: X=1\ntimer O I\n", true, ""},
      {"model m 0 0 10: X=1 +1 X!=1 -0.5\nalarm hot: m > 9\n", true, ""},
      {"rule a X=1\n", false, "line 1"},
      {"rule a: X=1 and\n", false, "line 1"},
      {"rule a: X=1 or Y=1\n", false, "line 1"},
      {"rule a: X=one\n", false, "line 1"},
      {"rule a: X=1 for -2\n", false, "line 1"},
      {"\n\nfrob a: X=1\n", false, "line 3"},
      {"timer O\n", false, "line 1"},
      {"model m 0 5 1: X=1 +1\n", false, "line 1"},
      {"model m 0 0 1: X=1\n", false, "line 1"},
      {"alarm a: nomodel >= 1\n", false, "no model"},
      {"model m 0 0 1: X=1 +1\nalarm a: m = 1\n", false, "line 2"},
      // Set-point steps and the criteria on the responses.
      {"step SP=600@10\novershoot o: PV against SP <= 10%\n", true, ""},
      {"settling s: PV against SP within 5% <= 30\nsettling t: PV against SP within 3 <= 1.5\n",
       true, ""},
      {"error e: PV against SP <= 5 over 10\nerror f: PV against SP <= 0\niae i: U against SP <= "
       "9\n",
       true, ""},
      {"step SP=600@10 SP=700@20\n", false, "line 1"},
      {"settling s: PV against SP within 5% <= 30%\n", false, "line 1"},
      {"error e: PV against SP <= 5%\n", false, "line 1"},
      {"error e: PV against SP <= 5 over 0\n", false, "line 1"},
      {"iae i: PV versus SP <= 1\n", false, "expected: iae NAME: PV against SP <= A"},
      {"iae i: PV against SP <= 1 extra\n", false, "line 1"},
  };
  for (const auto& c : cases) {
    trace_rules r;
    std::string error;
    EXPECT_EQ(r.parse(c.text, &error), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << c.text << ": " << error;
    }
  }
}

TEST(TraceRules, UnknownSignalRefusedAtBind) {
  trace_rules r;
  std::string error;
  ASSERT_TRUE(r.parse("rule a: Niv=1 and Nope=0\n", &error));
  EXPECT_FALSE(r.bind(kInputs, kOutputs, &error));
  EXPECT_NE(error.find("Nope"), std::string::npos);
  trace_rules t;
  ASSERT_TRUE(t.parse("timer Niv T1mt\n", &error));  // Niv is no output
  EXPECT_FALSE(t.bind(kInputs, kOutputs, &error));
}

// One built-in rule per case: the cycles at which the outputs and inputs
// are set, and the cycles at which findings are expected.
struct rule_case {
  const char* name;
  std::map<std::string, int> inputs;   // held from cycle 1
  std::map<std::string, int> outputs;  // set from cycle `from` to `to`
  long from, to, cycles;
  std::vector<long> expected;  // finding cycles of rule `name`
};

TEST(TraceRules, WashingMachineFindingsAtTheirCycle) {
  const std::map<std::string, int> idle = {{"Vide", 1}, {"Tr", 1}};
  const rule_case cases[] = {
      // More than 50 cycles: the 51st cycle with both.
      {"inlet-at-level", {{"Niv", 1}, {"Tr", 1}}, {{"Vi", 1}}, 10, 200, 300, {60}},
      {"inlet-at-level", {{"Niv", 1}, {"Tr", 1}}, {{"Vi", 1}}, 10, 59, 300, {}},
      {"heater-without-water", idle, {{"H", 1}}, 101, 120, 300, {101}},
      {"heater-without-water", {{"Niv", 1}, {"Tr", 1}}, {{"H", 1}}, 101, 120, 300, {}},
      {"fast-drum-with-water", {{"Vide", 0}, {"Tr", 1}}, {{"AvR", 1}}, 5, 6, 20, {5}},
      {"fast-drum-with-water", idle, {{"AvR", 1}}, 5, 6, 20, {}},
      {"door-open", {{"Tr", 0}, {"Vide", 1}}, {{"ArL", 1}}, 1, 500, 600, {101}},
      {"door-open", {{"Tr", 0}, {"Vide", 1}}, {{"AvL", 1}}, 1, 100, 600, {}},
      {"door-open", {{"Tr", 1}, {"Vide", 1}}, {{"AvL", 1}}, 1, 500, 600, {}},
      {"fill-and-drain", idle, {{"Vi", 1}, {"Vo", 1}}, 7, 8, 20, {7}},
  };
  for (const rule_case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " from " + std::to_string(c.from));
    trace_rules r = machine_rules();
    std::vector<int> in(kInputs.size(), 0), out(kOutputs.size(), 0);
    for (const auto& [n, v] : c.inputs) in[in_index(n)] = v;
    std::vector<trace_finding> found;
    for (long cycle = 1; cycle <= c.cycles; ++cycle) {
      std::fill(out.begin(), out.end(), 0);
      if (cycle >= c.from && cycle <= c.to)
        for (const auto& [n, v] : c.outputs) out[out_index(n)] = v;
      r.cycle(cycle, cycle * 0.005, in, out, &found);
    }
    std::vector<long> got;
    for (const trace_finding& f : found) {
      EXPECT_EQ(f.rule, c.name);
      got.push_back(f.cycle);
    }
    EXPECT_EQ(got, c.expected);
  }
}

TEST(TraceRules, OneFindingPerEpisodeAndGoalOnce) {
  trace_rules r = machine_rules();
  std::vector<int> in(11, 0), out(11, 0);
  in[in_index("Vide")] = 1;
  std::vector<trace_finding> found;
  for (long c = 1; c <= 29; ++c) {
    out[out_index("Vi")] = out[out_index("Vo")] = (c / 10) % 2;  // on during 10-19
    in[in_index("Ess")] = c >= 25;
    r.cycle(c, c, in, out, &found);
  }
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].cycle, 10);
  ASSERT_EQ(r.goals().size(), 1u);
  EXPECT_EQ(r.goals()[0].cycle, 25);
}

// The alarm that ended a run, from its outputs and its last cycle.
TEST(TraceRules, AlarmFromTheOutputsAndTheEnd) {
  struct {
    const char* output;
    long on_cycles;  // the output is 1 from cycle 1 for this many cycles
    long last;       // the last cycle seen
    const char* alarm;
  } cases[] = {
      {"Vi", 672, 672, "overflow"},  // level 336 reached with the 672nd filling cycle
      {"Vi", 672, 674, "overflow"},
      {"Vi", 670, 670, "overflow"},  // the plant may have read two more
      {"Vi", 600, 600, nullptr},
      {"Vi", 700, 900, nullptr},  // passed long before the end: not what ended it
      {"H", 1801, 1801, "boiling"},
      {"H", 1700, 1700, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.output) + " " + std::to_string(c.on_cycles));
    trace_rules r = machine_rules();
    std::vector<int> in(11, 0), out(11, 0);
    std::vector<trace_finding> found;
    for (long cycle = 1; cycle <= c.last; ++cycle) {
      out[out_index(c.output)] = cycle <= c.on_cycles;
      r.cycle(cycle, 0, in, out, &found);
    }
    const trace_alarm* a = r.ending_alarm(c.last, in, out);
    if (c.alarm == nullptr) {
      EXPECT_EQ(a, nullptr);
    } else {
      ASSERT_NE(a, nullptr);
      EXPECT_EQ(a->name, c.alarm);
    }
  }
}

// Looks: fast only from a little before the next cycle is due until it
// comes, slow otherwise, and slow again when it does not come.
// Responses recorded a cycle at a time, with known answers. A trace is a list of stretches
// (value, cycles) of the value PV, which starts with the run; times are wall times of 5 ms a
// cycle, as the plant's own.
TEST(TraceResponse, FiguresOnTracesWithKnownAnswers) {
  using stretches = std::vector<std::pair<int, int>>;
  // Up past the set point 100 by 20, back to 3 above it, then on it: 600 cycles from 0.
  const stretches overshooting = {{0, 100}, {120, 100}, {103, 100}, {100, 300}};
  // Down from 500 to 400, 20 under it, and resting 20 over it to the end.
  const stretches undershooting = {{500, 100}, {380, 100}, {420, 200}};
  const struct {
    const char* rules;
    stretches trace;
    const char* figures;  // the summary's figure and the verdict, one per criterion and step
  } cases[] = {
      // Overshoot in % of the step (0 to 100); none for a value that never passes the set point.
      {"step SP=100@0\novershoot o: PV against SP <= 10%\n", overshooting, "20.000 F"},
      {"step SP=100@0\novershoot o: PV against SP <= 10%\n",
       {{0, 10}, {50, 10}, {100, 10}},
       "0.000 P"},
      {"step SP=400@0\novershoot o: PV against SP <= 25%\n", undershooting, "20.000 P"},
      // Settling: the start of the last stretch within the band, 200 or 300 cycles in; a band in
      // % of the step or in units; never for a value outside its band at the end.
      {"step SP=100@0\nsettling s: PV against SP within 5% <= 1\n", overshooting, "1.000 P"},
      {"step SP=100@0\nsettling s: PV against SP within 2% <= 1\n", overshooting, "1.500 F"},
      {"step SP=100@0\nsettling s: PV against SP within 3 <= 1\n", overshooting, "1.000 P"},
      {"step SP=400@0\nsettling s: PV against SP within 5% <= 60\n", undershooting, "never F"},
      {"step SP=0@0\nsettling s: PV against SP within 5% <= 1\n", {{0, 50}}, "0.000 P"},
      // Steady-state error: the last cycle, or the mean over the last 2 s (100 cycles 3 off in
      // 400); a window shorter than asked is taken whole (100 x 100 + 300 x 20 in 400).
      {"step SP=100@0\nerror e: PV against SP <= 0\n", overshooting, "0.000 P"},
      {"step SP=100@0\nerror e: PV against SP <= 0.5 over 2\n", overshooting, "0.750 F"},
      {"step SP=400@0\nerror e: PV against SP <= 20 over 1000\n", undershooting, "40.000 F"},
      // IAE: (100 x 100 + 100 x 20 + 100 x 3) cycles of 5 ms.
      {"step SP=100@0\niae i: PV against SP <= 61.5\n", overshooting, "61.500 P"},
      {"step SP=100@0\niae i: PV against SP <= 60\n", overshooting, "61.500 F"},
      // A second step ends the first one's window (0 all along) and starts its own, from 120 at
      // cycle 100 down to 110: 10 past it.
      {"step SP=100@0\nstep SP=110@0.5\novershoot o: PV against SP <= 50%\n", overshooting,
       "0.000 100.000 P F"},
      // A step after the end of the run: no response, a failure.
      {"step SP=100@10\niae i: PV against SP <= 1000\n", overshooting, "none F"},
      // A step of another set point leaves this one's criteria alone.
      {"step SP=100@0\nstep S2=5@0\niae i: PV against S2 <= 1000\n", {{5, 10}}, "0.000 P"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rules);
    trace_rules rules;
    std::string error;
    ASSERT_TRUE(rules.parse(c.rules, &error)) << error;
    ASSERT_TRUE(rules.bind({"PV", "SP", "S2"}, {"U"}, &error)) << error;
    std::vector<response_step> steps;
    for (const std::string& arg : rules.steps()) {
      override_spec o;
      ASSERT_TRUE(parse_override("step", arg, &o, &error)) << error;
      steps.push_back({o.name == "SP" ? 1 : 2, o.value, o.start, o.text});
    }
    response_judge judge(rules.responses(), steps);
    long n = 0;
    for (const auto& [value, cycles] : c.trace)
      for (int k = 0; k < cycles; ++k, ++n) judge.cycle(n, n * 0.005, {value, 0, 0, 0});
    trace_record record;
    record.responses = judge.judge();
    testsupport::temp_dir dir;
    ASSERT_TRUE(write_summary(record, dir.file("s")));
    std::string figures;
    for (const std::string& l : testsupport::read_lines(dir.file("s")))
      if (l.compare(0, 9, "response.") == 0)
        figures += (figures.empty() ? "" : " ") + l.substr(l.find('=') + 1);
    std::string verdicts;
    for (const response_figure& f : record.responses) verdicts += f.passed ? " P" : " F";
    EXPECT_EQ(figures + verdicts, c.figures);
  }
}

TEST(PollSchedule, LooksOftenOnlyWhenACycleIsDue) {
  poll_schedule s(0.0009, 0.00015);
  EXPECT_DOUBLE_EQ(s.next(1.0), 1.00015);                       // no pace known yet
  for (int k = 0; k <= 10; ++k) s.cycle_seen(1.0 + 0.005 * k);  // last at 1.050
  EXPECT_NEAR(s.interval(), 0.005, 1e-9);
  const struct {
    double now, next;
  } cases[] = {
      {1.0500, 1.0509},   // just after a cycle: the slow pace
      {1.0536, 1.0545},   // approaching: up to the start of the fast window
      {1.0545, 1.0547},   // the start of the fast window
      {1.0548, 1.05495},  // in it
      {1.0552, 1.05535},  // due and not yet come
      {1.0560, 1.05615},  // still within two slow pauses of it
      {1.0700, 1.0709},   // a pause (a dialog open): slow again
  };
  for (const auto& c : cases) EXPECT_NEAR(s.next(c.now), c.next, 1e-9) << c.now;
  s.cycle_seen(2.0);  // after a long pause: the pace is kept
  EXPECT_NEAR(s.interval(), 0.005, 1e-9);
}

TEST(TraceOverrides, OptionsAcceptedAndRefused) {
  struct {
    const char* keyword;
    const char* arg;
    bool ok;
    double start, duration;
  } cases[] = {
      {"set", "Niv=0@0", true, 0, -1},     {"set", "St=1@2.5+3", true, 2.5, 3},
      {"set", "St=-7@1", true, 1, -1},     {"flip", "Tr@4+0.5", true, 4, 0.5},
      {"freeze", "3+2", true, 3, 2},       {"freeze", "3", true, 3, -1},
      {"fast-timers", "", true, 0, -1},    {"set", "Niv@0", false, 0, 0},
      {"set", "Niv=x@0", false, 0, 0},     {"set", "=1@0", false, 0, 0},
      {"set", "Niv=1@-1", false, 0, 0},    {"set", "Niv=1@1+0", false, 0, 0},
      {"flip", "Tr", false, 0, 0},         {"freeze", "a+1", false, 0, 0},
      {"fast-timers", "now", false, 0, 0}, {"stick", "Niv=1@0", false, 0, 0},
      {"step", "SPl=600@10", true, 10, -1},
      // A press holds its button for a click unless told; a label may hold blanks and "@".
      {"press", "Voiture@2", true, 2, press_hold},
      {"press", "Timer 1 min termine@1+0.5", true, 1, 0.5},
      {"press", "a@b@3", true, 3, press_hold},
      {"press", "@1", false, 0, 0},
      {"press", "Voiture", false, 0, 0},
      {"press", "Voiture@soon", false, 0, 0},
      {"press", "Voiture@1+0", false, 0, 0},
      {"press", "thirty-two characters, one more!@1", false, 0, 0},
  };
  for (const auto& c : cases) {
    override_spec o;
    std::string error;
    EXPECT_EQ(parse_override(c.keyword, c.arg, &o, &error), c.ok) << c.keyword << " " << c.arg;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(o.start, c.start);
      EXPECT_DOUBLE_EQ(o.duration, c.duration);
    }
  }
  std::vector<override_spec> specs;
  std::string error;
  EXPECT_TRUE(
      parse_scenario("# stuck level\nset Niv=0@0\n--flip Tr@1+1\n\nfast-timers\n", &specs, &error));
  EXPECT_EQ(specs.size(), 3u);
  EXPECT_FALSE(parse_scenario("set Niv=0@0\nset Niv=0@0 extra\n", &specs, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  specs.clear();
  ASSERT_TRUE(parse_scenario("--press  Timer 5 min termine@3  # by hand\n", &specs, &error));
  ASSERT_EQ(specs.size(), 1u);
  EXPECT_EQ(specs[0].name, "Timer 5 min termine");
}

// A scenario's presses as a plant takes them through an area held in memory, one look of the
// proxy per cycle; the plant answers in its next cycle, or never (buttons null).
TEST(TraceOverrides, PressesAskedOneAtATime) {
  const struct {
    const char *scenario, *buttons, *taken, *error_part;  // taken: "+" down, "-" up
  } cases[] = {
      {"press Voiture@0.5\n", "|Voiture|", "+Voiture-Voiture", ""},
      // Overlapping presses, each asked once the one before was taken.
      {"press Bouton@1+1\npress Voiture@1\n", "|Voiture|Bouton|",
       "+Bouton+Voiture-Voiture-Bouton", ""},
      // Shorter than a look: still pressed, then released.
      {"press Ouvrir@0.001+0.001\n", "|Ouvrir|", "+Ouvrir-Ouvrir", ""},
      {"press Klaxon@0\n", "|Voiture|", "", "press \"Klaxon\": the plant has no button"},
      {"press Voiture@0\n", nullptr, "", "took no press in 200 cycles"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    std::vector<override_spec> specs;
    std::string error, taken, label;
    ASSERT_TRUE(parse_scenario(c.scenario, &specs, &error)) << error;
    press_queue queue(specs);
    auto area = std::make_unique<ioshare::exchange_area>();
    bool going = true;
    for (long cycle = 1, last = 0; cycle <= 400 && going; ++cycle) {
      going = queue.step(area.get(), cycle * 0.01, cycle, &error);
      const int request = ioshare::press_request(area.get(), &label);
      if (c.buttons == nullptr || request == 0 || request == last) continue;
      last = request;
      const bool known = std::string(c.buttons).find("|" + label + "|") != std::string::npos;
      if (known) taken += (request % 2 ? "+" : "-") + label;
      ioshare::press_reply(area.get(), known ? request / 2 : -request / 2);
    }
    EXPECT_EQ(taken, c.taken);
    EXPECT_EQ(going, *c.error_part == '\0') << error;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
}

TEST(TraceOverrides, WhatTheControllerSees) {
  std::vector<override_spec> specs;
  std::string error;
  // The steps, written out of order, each hold until the next one.
  ASSERT_TRUE(parse_scenario(
      "set Niv=1@1+2\nflip Tr@2\nset Tr=1@5+1\nfreeze 10+1\nfast-timers\nstep T=7@3\nstep T=5@1\n",
      &specs, &error));
  input_view view(specs);
  trace_rules rules = machine_rules();
  ASSERT_TRUE(view.bind(kInputs, rules.timers(), &error)) << error;
  std::vector<int> plant(11, 0);
  plant[in_index("Tr")] = 1;
  plant[in_index("T1mt")] = 1;  // the plant's own timer is hidden by the fast ones
  struct {
    double t;
    int niv, tr, t1mt;
    bool frozen;
    int temperature;
  } cases[] = {
      {0.5, 0, 1, 0, false, 0}, {1.0, 1, 1, 0, false, 5},  {2.5, 1, 0, 0, false, 5},
      {3.0, 0, 0, 0, false, 7}, {5.5, 0, 1, 0, false, 7},  {6.0, 0, 0, 0, false, 7},
      {10.5, 0, 0, 0, true, 7}, {11.0, 0, 0, 0, false, 7},
  };
  for (const auto& c : cases) {
    std::vector<int> seen = view.apply(plant, c.t);
    EXPECT_EQ(seen[in_index("T")], c.temperature) << c.t;
    EXPECT_EQ(seen[in_index("Niv")], c.niv) << c.t;
    EXPECT_EQ(seen[in_index("Tr")], c.tr) << c.t;
    EXPECT_EQ(seen[in_index("T1mt")], c.t1mt) << c.t;
    EXPECT_EQ(view.frozen(c.t), c.frozen) << c.t;
  }
  // A rising edge of "T1m" at 20 s: "T1mt" from 21 s to 25 s.
  std::vector<int> out(11, 0);
  out[out_index("T1m")] = 1;
  view.outputs_forwarded(out, 20.0);
  view.outputs_forwarded(out, 20.5);  // still 1: no new edge
  for (double t : {20.9, 21.0, 24.9, 25.0}) {
    EXPECT_EQ(view.apply(plant, t)[in_index("T1mt")], t >= 21.0 && t < 25.0) << t;
  }
  EXPECT_FALSE(input_view({specs[0]}).bind({"T"}, {}, &error));  // no input "Niv"
}

// A record with a wide value and an override, through the real readers.
TEST(TraceWriters, FilesReadByTheirReaders) {
  testsupport::temp_dir dir;
  trace_record r;
  r.started = "2026-01-01T00:00:00Z";
  r.controller = "./ctrl";
  const int niv = r.add_signal("Niv", signal_kind::input, 0);
  const int vi = r.add_signal("Vi", signal_kind::output, 0);
  const int seen = r.add_signal("Niv", signal_kind::seen, 0, niv);
  const int o = r.add_signal("set Niv=0@0", signal_kind::override_, 0, niv);
  r.override_texts.push_back("set Niv=0@0");
  r.set(o, 1, 0.0, 1);
  r.set(vi, 1, 0.010, 3);
  r.set(niv, 1, 2.8, 560);
  r.set(vi, 7, 3.0, 600);  // an odd value: the wire becomes an integer
  r.set(vi, 7, 3.1, 601);  // unchanged: not recorded
  r.set(seen, 1, 3.2, 610);
  r.duration = 4;
  r.first_cycle = 1;
  r.last_cycle = 800;
  r.findings.push_back({"inlet-at-level", 611, 3.055, "Vi=1 and Niv=1 for more than 50 cycles"});
  EXPECT_EQ(r.changes().size(), 5u);

  const std::string vcd = dir.file("t.vcd"), svg = dir.file("t.svg"), txt = dir.file("t.txt");
  ASSERT_TRUE(write_vcd(r, vcd));
  ASSERT_TRUE(write_svg(r, svg));
  ASSERT_TRUE(write_report(r, txt));
  int status =
      std::system(("vcd2fst '" + vcd + "' '" + dir.file("t.fst") + "' >/dev/null 2>&1").c_str());
  EXPECT_EQ(status, 0);
  status = std::system(
      ("fst2vcd '" + dir.file("t.fst") + "' > '" + dir.file("back.vcd") + "' 2>/dev/null").c_str());
  EXPECT_EQ(status, 0);
  const std::string back = testsupport::read_file(dir.file("back.vcd"));
  EXPECT_NE(back.find("integer 32"), std::string::npos);
  EXPECT_NE(back.find("#2800000"), std::string::npos);
  EXPECT_NE(back.find("b00000000000000000000000000000111 "), std::string::npos);
  status = std::system(
      ("rsvg-convert '" + svg + "' -o '" + dir.file("t.png") + "' 2>/dev/null").c_str());
  EXPECT_EQ(status, 0);
  const std::string svg_text = testsupport::read_file(svg);
  EXPECT_NE(svg_text.find("class=\"override\""), std::string::npos);
  EXPECT_NE(svg_text.find("class=\"finding\""), std::string::npos);

  // The report: column lines end with a blank, fields are "# " separated,
  // and every change and finding is listed.
  const std::vector<std::string> lines = testsupport::read_lines(txt);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(0, 2), "#C");
  for (const std::string& l : lines)
    if (l.compare(0, 2, "#C") == 0) {
      EXPECT_EQ(l.back(), ' ') << l;
    }
  auto has = [&](const std::string& s) {
    for (const std::string& l : lines)
      if (l == s) return true;
    return false;
  };
  EXPECT_TRUE(has("3.055# 611# inlet-at-level# Vi=1 and Niv=1 for more than 50 cycles"));
  EXPECT_TRUE(has("3.000# 600# output# Vi# 7"));
  EXPECT_TRUE(has("3.200# 610# seen# Niv# 1"));

  // The same report as PDF, through the viewer's print filter.
  const std::string pdf = dir.file("t.pdf");
  ASSERT_TRUE(write_report(r, pdf));
  EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' >/dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(std::system(("pdftotext '" + pdf + "' '" + dir.file("t.pdf.txt") + "'").c_str()), 0);
  const std::string text = testsupport::read_file(dir.file("t.pdf.txt"));
  EXPECT_NE(text.find("sudz-trace report"), std::string::npos) << text;
  EXPECT_NE(text.find("inlet-at-level"), std::string::npos) << text;
  EXPECT_FALSE(write_report(r, dir.file("no/such/dir/t.pdf")));
}

// Values (a level rising to 1000 and held, a set point stepped as the controller saw it) beside a
// switch: dumped as integers and drawn as lines scaled to their range, read back by GTKWave's
// converters and rendered by rsvg-convert, whose pixels show the line where the value puts it.
TEST(TraceWriters, ValuesAsLinesReadByTheirReaders) {
  testsupport::temp_dir dir;
  trace_record r;
  const int lt = r.add_signal("Lt", signal_kind::input, 0);
  const int spl = r.add_signal("SPl", signal_kind::input, 500);
  const int agi = r.add_signal("Agi", signal_kind::output, 0);
  const int seen = r.add_signal("SPl", signal_kind::seen, 500, spl);
  const int step = r.add_signal("step SPl=600@1", signal_kind::override_, 0, spl);
  const int aut = r.add_signal("Aut", signal_kind::input, 0);
  r.mark_value(aut);  // a value that only held 0 and 1 is still one
  r.override_texts.push_back("step SPl=600@1");
  for (int k = 1; k <= 200; ++k) r.set(lt, k * 5, k * 0.01, k * 2);
  r.set(agi, 1, 1.0, 200);
  r.set(step, 1, 1.0, 200);
  r.set(seen, 600, 1.0, 200);
  r.duration = 4;
  EXPECT_TRUE(r.is_value(spl));  // through what the controller saw
  EXPECT_FALSE(r.is_value(agi));
  const std::string vcd = dir.file("t.vcd"), svg = dir.file("t.svg"), png = dir.file("t.png");
  ASSERT_TRUE(write_vcd(r, vcd));
  ASSERT_TRUE(write_svg(r, svg));
  ASSERT_EQ(std::system(("vcd2fst '" + vcd + "' '" + dir.file("t.fst") + "' >/dev/null 2>&1 && " +
                         "fst2vcd '" + dir.file("t.fst") + "' > '" + dir.file("back.vcd") +
                         "' 2>/dev/null")
                            .c_str()),
            0);
  // Each variable as read back: "type size name", in the order written.
  std::string vars;
  for (const std::string& l : testsupport::read_lines(dir.file("back.vcd"))) {
    std::istringstream in(l);
    std::string var, type, size, code, name;
    if (in >> var >> type >> size >> code >> name && var == "$var")
      vars += type + " " + size + " " + name + "; ";
  }
  EXPECT_EQ(vars,
            "integer 32 Lt; integer 32 SPl; integer 32 Aut; wire 1 Agi; integer 32 SPl; "
            "wire 1 override1; ");
  EXPECT_NE(testsupport::read_file(dir.file("back.vcd")).find("b00000000000000000000001111101000"),
            std::string::npos);
  const std::string text = testsupport::read_file(svg);
  size_t lines = 0;
  for (size_t p = 0; (p = text.find("<polyline class=", p)) != std::string::npos; ++p) ++lines;
  EXPECT_EQ(lines, 4u);  // Lt, SPl and as seen, Aut; Agi keeps its levels
  EXPECT_NE(text.find("<path class=\"wave\""), std::string::npos);
  ASSERT_EQ(std::system(("rsvg-convert '" + svg + "' -o '" + png + "' 2>/dev/null").c_str()), 0);
  // Lt's row: 72 pixels from y 90, the line from y 157 (0) to 95 (1000); x 120 + 265 per second.
  auto pixel = [&](int px, int py) {
    const std::string out = dir.file("px");
    const std::string cmd = "convert '" + png + "' -format '%[fx:int(255*r)] %[fx:int(255*b)]' " +
                            "-crop 1x1+" + std::to_string(px) + "+" + std::to_string(py) +
                            " info: > '" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::istringstream in(testsupport::read_file(out));
    int red = -1, blue = -1;
    in >> red >> blue;
    return blue - red;  // far above 0 on the blue line, 0 on white
  };
  EXPECT_GT(pixel(915, 95), 60);   // held at 1000 at 3 s
  EXPECT_GT(pixel(385, 126), 60);  // 500 at 1 s
  EXPECT_EQ(pixel(915, 126), 0);   // nothing under the held line
}

}  // namespace
