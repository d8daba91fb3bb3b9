// sudz-trace between the real simulator (under Xvfb) and real controllers:
// a whole programme, a provoked overflow, a finding at its cycle, and every
// way the proxy's run can end. Waits count cycles; limits only stop a
// broken run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <tuple>

#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;
using testsupport::read_file;
using testsupport::read_lines;

namespace {

std::string trace_program() {
  return build_dir() + "/src/sudz-trace/sudz-trace";
}

// The run's files, in a directory of their own.
struct run_files {
  testsupport::temp_dir dir;
  std::string vcd = dir.file("t.vcd"), svg = dir.file("t.svg"), report = dir.file("t.txt"),
              summary = dir.file("t.sum"), log = dir.file("log"), args = dir.file("args"),
              pid = dir.file("pid"), script = dir.file("script");
  std::vector<std::string> options() const {
    return {"--vcd", vcd, "--svg", svg, "--report", report, "--summary", summary};
  }
  // The test controller, logging, with a script.
  std::vector<std::string> test_controller(const std::string& lines) const {
    testsupport::write_file(script, lines);
    return {build_dir() + "/tests/support/test_controller",
            "--log",
            log,
            "--args",
            args,
            "--pid",
            pid,
            "--script",
            script};
  }
  // Written by the proxy once the run is over.
  std::map<std::string, std::string> wait_summary() const {
    std::map<std::string, std::string> kv;
    if (!wait_until([&] { return read_file(summary).find("findings=") != std::string::npos; },
                    30)) {
      return kv;
    }
    for (const std::string& l : read_lines(summary)) {
      const size_t eq = l.find('=');
      if (eq != std::string::npos) kv[l.substr(0, eq)] = l.substr(eq + 1);
    }
    return kv;
  }
  bool report_has(const std::string& line) const {
    const std::vector<std::string> lines = read_lines(report);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // The cycle of the first change of a signal to value in the report, -1 if none.
  long change_cycle(const std::string& kind, const std::string& name, int value) const {
    const std::string tail = "# " + kind + "# " + name + "# " + std::to_string(value);
    for (const std::string& l : read_lines(report)) {
      if (l.size() > tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) {
        return std::atol(l.c_str() + l.find("# ") + 2);
      }
    }
    return -1;
  }
  // The controller's own exchange area, made by the proxy: (ident, proxy pid).
  std::pair<int, pid_t> downstream() const {
    int ident = 0;
    wait_until([&] {
      std::istringstream in(read_file(args));
      std::string a, prev;
      while (std::getline(in, a)) {
        if (prev == "-automemlink") ident = std::atoi(a.c_str());
        prev = a;
      }
      return ident != 0;
    });
    shmid_ds ds;
    if (ident == 0 || shmctl(ident, IPC_STAT, &ds) != 0) return {ident, 0};
    return {ident, ds.shm_cpid};
  }
  bool controller_saw_end() const {
    return wait_until([&] {
      const std::vector<std::string> l = read_lines(log);
      return !l.empty() && l.back() == "end";
    });
  }
};

sim_process start(const run_files& f, const std::vector<std::string>& options,
                  const std::vector<std::string>& controller) {
  std::vector<std::string> args = {trace_program()};
  args.insert(args.end(), options.begin(), options.end());
  for (const std::string& o : f.options()) args.push_back(o);
  args.push_back("--");
  args.insert(args.end(), controller.begin(), controller.end());
  return sim_process::raw(args);
}

// Transitions of a VCD file as (time, scope.name, value), values as numbers.
using transition = std::tuple<long long, std::string, long long>;
std::vector<transition> vcd_transitions(const std::string& path) {
  std::vector<transition> out;
  std::map<std::string, std::string> names;
  std::vector<std::string> scopes;
  std::istringstream in(read_file(path));
  long long time = 0;
  std::string w;
  while (in >> w) {
    if (w == "$scope") {
      std::string kind, name;
      in >> kind >> name;
      scopes.push_back(name);
    } else if (w == "$upscope") {
      if (!scopes.empty()) scopes.pop_back();
    } else if (w == "$var") {
      std::string type, size, code, name;
      in >> type >> size >> code >> name;
      names[code] = (scopes.empty() ? "" : scopes.back()) + "." + name;
    } else if (w[0] == '$') {
      if (w == "$date" || w == "$version" || w == "$comment" || w == "$timescale") {
        while (in >> w && w != "$end") {
        }
      }
    } else if (w[0] == '#') {
      time = std::atoll(w.c_str() + 1);
    } else if (w[0] == 'b') {
      std::string code;
      in >> code;
      out.emplace_back(time, names[code], std::stoll(w.substr(1), nullptr, 2));
    } else if (w[0] == '0' || w[0] == '1') {
      out.emplace_back(time, names[w.substr(1)], w[0] - '0');
    }
  }
  return out;
}

// Nothing the sanitizers found in the proxy (its standard error is the
// simulator's).
void expect_clean(const sim_process& sim) {
  const std::string err = sim.stderr_text();
  EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
  EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
}

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
}

TEST(SudzTrace, BundledProgrammeToSpinWithFastTimers) {
  run_files f;
  sim_process sim =
      start(f, {"--fast-timers", "--set", "St=1@0", "--stop-idle", "2", "--stop-after", "200"},
            {build_dir() + "/examples/washing_programme"});
  // The proxy ends the run by SIGTERM once the programme has finished.
  const int status = sim.wait_exit(300);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  auto kv = f.wait_summary();
  EXPECT_EQ(kv["goal_reached"], "1");
  EXPECT_GT(std::atol(kv["goal_cycle"].c_str()), 1000);
  EXPECT_EQ(kv["findings"], "0");
  EXPECT_EQ(kv["alarm"], "none");
  EXPECT_EQ(kv["end"], "stopped: every output at 0 for 2 s");
  EXPECT_EQ(kv["controller_end"], "exited with status 0 after the end");

  // GTKWave's converter takes the VCD, and its output reads back the same.
  const std::vector<transition> written = vcd_transitions(f.vcd);
  ASSERT_GT(written.size(), 50u);
  const std::string fst = f.dir.file("t.fst"), back = f.dir.file("back.vcd");
  ASSERT_EQ(std::system(("vcd2fst '" + f.vcd + "' '" + fst + "' >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system(("fst2vcd '" + fst + "' >'" + back + "' 2>/dev/null").c_str()), 0);
  // Within one instant the order of the changes carries no meaning.
  std::vector<transition> read_back = vcd_transitions(back), sorted = written;
  std::sort(read_back.begin(), read_back.end());
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(read_back, sorted);
  // Spin came with the step input, programme over with every output at 0.
  EXPECT_NE(std::find_if(written.begin(), written.end(),
                         [](const transition& t) {
                           return std::get<1>(t) == "inputs.Ess" && std::get<2>(t) == 1;
                         }),
            written.end());

  // The diagram renders, one row per signal.
  const std::string svg = read_file(f.svg);
  size_t rows = 0;
  for (size_t p = 0; (p = svg.find("<g class=\"signal\"", p)) != std::string::npos; ++p) ++rows;
  EXPECT_EQ(rows, 22u);
  EXPECT_EQ(svg.find("class=\"finding\""), std::string::npos);
  const std::string png = f.dir.file("t.png");
  EXPECT_EQ(std::system(("rsvg-convert '" + f.svg + "' -o '" + png + "' 2>/dev/null").c_str()), 0);
  EXPECT_GT(read_file(png).size(), 1000u);
  expect_clean(sim);
}

TEST(SudzTrace, MinimalControllerWithLevelStuckOverflows) {
  run_files f;
  sim_process sim = start(f, {"--set", "St=1@0", "--set", "Niv=0@0", "--stop-after", "200"},
                          {build_dir() + "/examples/minimal_controller"});
  ASSERT_FALSE(sim.window().empty());
  std::vector<std::string> boxes;
  ASSERT_TRUE(wait_until(
      [&] {
        boxes = sim.other_windows();
        return !boxes.empty() || !sim.running();
      },
      180));
  ASSERT_FALSE(boxes.empty());
  key(boxes.front(), "Return");  // the overflow alarm, acknowledged
  EXPECT_EQ(exit_code(sim.wait_exit()), 1);
  auto kv = f.wait_summary();
  EXPECT_EQ(kv["alarm"], "overflow");
  const long alarm_cycle = std::atol(kv["alarm_cycle"].c_str());
  // The level passes 336 with the 672nd cycle that reads "Vi" at 1.
  const long filling_from = f.change_cycle("output", "Vi", 1);
  EXPECT_GE(alarm_cycle - filling_from, 671);
  EXPECT_LE(alarm_cycle - filling_from, 672);
  EXPECT_TRUE(
      f.report_has("alarm: the run ended by the overflow alarm, cycle " + kv["alarm_cycle"]));
  EXPECT_EQ(kv["finding.inlet-at-level"], "1");  // the real level was reached
  EXPECT_EQ(kv["end"], "simulator ended");
  expect_clean(sim);
}

TEST(SudzTrace, HeaterWithTheTankEmptyFoundAtItsCycle) {
  run_files f;
  sim_process sim = start(f, {}, f.test_controller("at input clock 100 set output H to 1\n"));
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 150; }));
  kill(sim.pid(), SIGTERM);
  sim.wait_exit();
  auto kv = f.wait_summary();
  EXPECT_EQ(kv["finding.heater-without-water"], "1");
  EXPECT_EQ(kv["findings"], "1");
  // The finding is at the cycle in which the plant read "H" at 1: the first
  // after the one the controller answered (the proxy keeps the numbering).
  long found = -1, heater_on = -1;
  for (const std::string& l : read_lines(f.report)) {
    std::istringstream in(l);
    std::string time, cycle, kind, name;
    if (!std::getline(in, time, '#') || !std::getline(in, cycle, '#') ||
        !std::getline(in, kind, '#') || !std::getline(in, name, '#')) {
      continue;
    }
    if (kind == " heater-without-water") found = std::atol(cycle.c_str());
    if (kind == " output" && name == " H") heater_on = std::atol(cycle.c_str());
  }
  EXPECT_EQ(found, heater_on);
  // The controller answered the first snapshot of cycle 100 or later; the
  // plant read its answer in one of the next cycles (the proxy and the
  // controller share the machine with others).
  long answered = -1;
  for (const std::string& l : read_lines(f.log)) {
    const long clock = std::atol(l.c_str() + 6);
    if (l.rfind("clock=", 0) == 0 && clock >= 100) {
      answered = clock;
      break;
    }
  }
  ASSERT_GE(answered, 100);
  EXPECT_GE(found, answered + 1);
  EXPECT_LE(found, answered + 5);
  expect_clean(sim);
}

// What the controller sees under a flip and a freeze, and the overrides in
// the trace.
TEST(SudzTrace, FlipAndFreezeAsTheControllerSeesThem) {
  run_files f;
  sim_process sim = start(f, {"--flip", "Tr@0", "--freeze", "3+1"}, f.test_controller(""));
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
  // Wait until the controller's clock has moved on after the freeze.
  ASSERT_TRUE(wait_until([&] {
    const std::vector<std::string> l = read_lines(f.log);
    for (size_t k = 1; k < l.size(); ++k) {
      if (std::atol(l[k].c_str() + 6) - std::atol(l[k - 1].c_str() + 6) > 20) return true;
    }
    return false;
  }));
  kill(sim.pid(), SIGTERM);
  sim.wait_exit();
  f.wait_summary();
  EXPECT_EQ(sim.input(3), 1);  // the door is closed...
  for (const std::string& l : read_lines(f.log)) {
    if (l.rfind("clock=", 0) == 0) {
      EXPECT_NE(l.find(" Tr=0 "), std::string::npos) << l;  // ...not for it
    }
  }
  // The freeze: no new inputs for a second, so a jump in the clock it saw.
  const std::vector<std::string> l = read_lines(f.log);
  long longest = 0;
  for (size_t k = 1; k < l.size(); ++k) {
    if (l[k].rfind("clock=", 0) != 0) continue;
    longest = std::max(longest, std::atol(l[k].c_str() + 6) - std::atol(l[k - 1].c_str() + 6));
  }
  EXPECT_GT(longest, 20);
  EXPECT_GT(f.change_cycle("override", "freeze 3+1", 1), 0);
  EXPECT_GT(f.change_cycle("override", "freeze 3+1", 0),
            f.change_cycle("override", "freeze 3+1", 1));
  EXPECT_GT(f.change_cycle("override", "flip Tr@0", 1), 0);
  EXPECT_GT(f.change_cycle("input", "Tr", 1), 0);  // the plant's door closed
  EXPECT_EQ(f.change_cycle("seen", "Tr", 1), -1);  // never so for the controller
  expect_clean(sim);
}

// Rules from a file replace the built-in ones; a rule naming a signal the
// area does not have stops the proxy before it launches anything.
TEST(SudzTrace, RulesFromAFile) {
  run_files f;
  const std::string rules = f.dir.file("rules");
  testsupport::write_file(rules, "# heating at all\nrule heating: H=1 for 10\ngoal heated: H=1\n");
  sim_process sim =
      start(f, {"--rules", rules}, f.test_controller("at input clock 30 set output H to 1\n"));
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 80; }));
  kill(sim.pid(), SIGTERM);
  sim.wait_exit();
  auto kv = f.wait_summary();
  EXPECT_EQ(kv["finding.heating"], "1");
  EXPECT_EQ(kv["findings"], "1");  // no built-in rule ran
  EXPECT_EQ(kv["goal"], "heated");
  EXPECT_EQ(kv["goal_reached"], "1");

  run_files g;
  testsupport::write_file(rules, "rule odd: Nope=1\n");
  sim_process bad = start(g, {"--rules", rules}, g.test_controller(""));
  ASSERT_TRUE(wait_until([&] {
    return bad.stderr_text().find("sudz-trace: rules: rule odd: unknown signal \"Nope\"") !=
           std::string::npos;
  }));
  EXPECT_TRUE(read_file(g.args).empty());  // the controller was never started
}

// A step from the rules reaches the controller and the criteria judge the answer: an output
// as the value, 0 until the controller sets it at its clock 30, against the input it sees
// stepped to 1 from the start. Its IAE counts the cycles before it, 200 to a second.
TEST(SudzTrace, StepFromTheRulesAndItsResponseJudged) {
  run_files f;
  const std::string rules = f.dir.file("rules");
  testsupport::write_file(
      rules, "step T=1@0\niae slow: H against T <= 0.05\nerror held: H against T <= 0\n");
  sim_process sim =
      start(f, {"--rules", rules}, f.test_controller("at input clock 30 set output H to 1\n"));
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
  ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 100; }));
  kill(sim.pid(), SIGTERM);
  sim.wait_exit();
  auto kv = f.wait_summary();
  const long first = std::atol(kv["first_cycle"].c_str()),
             heated = f.change_cycle("output", "H", 1);
  ASSERT_GT(heated, first);
  char iae[32];
  std::snprintf(iae, sizeof iae, "%.3f", (heated - first) / 200.0);
  EXPECT_EQ(kv["response.slow.1"], iae);
  EXPECT_EQ(kv["response.held.1"], "0.000");
  EXPECT_EQ(kv["finding.slow"], "1");
  EXPECT_EQ(kv["findings"], "1");
  EXPECT_EQ(f.change_cycle("seen", "T", 1), first);  // the controller saw the step at once
  // The judged signals are values: integers in the VCD, lines in the diagram.
  const std::string vcd = read_file(f.vcd), svg = read_file(f.svg);
  EXPECT_NE(vcd.find(" T $end"), std::string::npos);
  EXPECT_NE(vcd.find("$var integer 32 ! T $end"), std::string::npos) << vcd.substr(0, 800);
  EXPECT_NE(svg.find("<polyline class=\"value\""), std::string::npos);
  expect_clean(sim);

  // Outputs at rest do not end a run before its last step.
  run_files g;
  testsupport::write_file(rules, "step T=1@1.5\nerror e: H against T <= 5\n");
  sim_process idle = start(g, {"--rules", rules, "--stop-idle", "0.5"}, g.test_controller(""));
  idle.wait_exit();
  kv = g.wait_summary();
  EXPECT_EQ(kv["end"], "stopped: every output at 0 for 0.500 s");
  EXPECT_GE(std::atof(kv["duration"].c_str()), 2.0);
  EXPECT_EQ(kv["response.e.1"], "1.000");
}

// Each end of the proxy's run: the controller learns it, the files are
// written, and no exchange area is left.
TEST(SudzTrace, EveryEndEndsTheControllerAndLeavesNoArea) {
  enum class what { simulator_killed, controller_killed, proxy_terminated };
  const struct {
    what end;
    const char* summary_end;
  } cases[] = {
      {what::simulator_killed, "simulator vanished"},
      {what::controller_killed, "simulator ended"},
      {what::proxy_terminated, "proxy stopped by Terminated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.summary_end);
    run_files f;
    sim_process sim = start(f, {}, f.test_controller(""));
    ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() > 0; }));
    ASSERT_TRUE(wait_until([&] { return sim.inputs_clock() > 20; }));
    const auto [down_ident, proxy] = f.downstream();
    ASSERT_GT(proxy, 0);
    pid_t controller = 0;
    wait_until([&] { return (controller = std::atoi(read_file(f.pid).c_str())) > 0; });
    ASSERT_GT(controller, 0);
    ASSERT_TRUE(wait_until([&] { return !read_lines(f.log).empty(); }));
    switch (c.end) {
      case what::simulator_killed:
        kill(sim.pid(), SIGKILL);
        EXPECT_TRUE(f.controller_saw_end());
        break;
      case what::controller_killed: {
        kill(controller, SIGKILL);
        // The simulator and the proxy go on: the clock the proxy forwards rises.
        const int at = sim.inputs_clock();
        EXPECT_TRUE(wait_until([&] { return sim.inputs_clock() > at + 50; }));
        EXPECT_EQ(kill(proxy, 0), 0);
        kill(sim.pid(), SIGTERM);
        break;
      }
      case what::proxy_terminated:
        kill(proxy, SIGTERM);
        EXPECT_TRUE(f.controller_saw_end());
        EXPECT_TRUE(sim.running());  // the simulator runs on without it
        break;
    }
    auto kv = f.wait_summary();
    EXPECT_EQ(kv["end"], c.summary_end);
    if (c.end == what::controller_killed) {
      EXPECT_EQ(kv["controller_end"].find("killed by signal 9"), 0u) << kv["controller_end"];
    } else {
      EXPECT_EQ(kv["controller_end"], "exited with status 0 after the end");
    }
    EXPECT_TRUE(wait_until([&] { return kill(proxy, 0) != 0; }));
    kill(sim.pid(), SIGKILL);
    sim.wait_exit();
    EXPECT_TRUE(wait_until([&] {
      return testsupport::segments_created_by({sim.pid(), proxy}).size() <= 1;
    }));
    // The test itself still holds the simulator's area; the proxy's is gone.
    shmid_ds ds;
    EXPECT_NE(shmctl(down_ident, IPC_STAT, &ds), 0);
    expect_clean(sim);
  }
}

}  // namespace
