// A textual chart run by sudz-plc as sudz-sfc runs it: the same chart
// driven scan by scan through an exchange area of the test's own gives the
// same outputs through both programs; sudz-plc checks a chart file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "IOshare/IOsharemem_server.h"
#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

struct step_row {
  const char* inputs;   // a b c as "010"
  const char* outputs;  // x y z after that scan
};

// Runs command against a plant of inputs a, b, c and outputs x, y, z, one
// scan per row: the inputs published, then a wait for the outputs to be
// announced. The outputs after each scan, "xyz".
std::vector<std::string> scripted_run(std::vector<std::string> command,
                                      const std::vector<step_row>& rows, std::string* errors) {
  IOsharemem_server area(std::list<std::string>{"a", "b", "c"},
                         std::list<std::string>{"x", "y", "z"});
  testsupport::temp_dir dir;
  command.push_back("-automemlink");
  command.push_back(std::to_string(area.memory_ident()));
  const pid_t pid = testsupport::spawn_program(command, dir.file("err"));
  std::vector<std::string> seen;
  for (const step_row& r : rows) {
    for (int i = 0; i < 3; ++i) area.setreset_input(i, r.inputs[i] - '0');
    const int before = area.get_outputs_clock();
    area.inputs_go();
    const bool scanned = wait_until([&] { return area.get_outputs_clock() != before; }, 60.0);
    if (!scanned) break;
    std::string out;
    for (int o = 0; o < 3; ++o) out += static_cast<char>('0' + area.output_value(o));
    seen.push_back(out);
  }
  area.sharing_terminate();
  const testsupport::child_result end = testsupport::finish(pid, dir.file("err"), 60000);
  *errors = end.err;
  EXPECT_TRUE(end.exited_with(0)) << end.err;
  return seen;
}

// One chart with the textual rule's corners: a divergence and its
// convergence, an edge, S and R across steps, a P action, an action block
// counting in a variable and overriding an association, and an output read
// in a condition as the previous scan left it.
const char chart_text[] =
    "PROGRAM same\n"
    "VAR n : INT := 0; END_VAR\n"
    "ACTION count: n := n + 1; z := n >= 2; END_ACTION\n"
    "INITIAL_STEP Idle: END_STEP\n"
    "STEP Left: x(S); count(N); END_STEP\n"
    "STEP Right: y(P); END_STEP\n"
    "STEP Join: x(R); z(N); END_STEP\n"
    "STEP Back: y(N); END_STEP\n"
    "TRANSITION FROM Idle TO (Left, Right) := RE(a); END_TRANSITION\n"
    "TRANSITION FROM (Left, Right) TO Join := b AND n = 2; END_TRANSITION\n"
    "TRANSITION FROM Join TO Back := z; END_TRANSITION\n"
    "TRANSITION FROM Back TO Idle := FE(c); END_TRANSITION\n"
    "END_PROGRAM\n";

TEST(PlcCharts, TheSameChartRunsIdenticallyThroughSudzSfcAndSudzPlc) {
  const std::vector<step_row> rows = {
      {"000", "000"},  // Idle
      {"100", "110"},  // a rises: Left and Right; x stored, y once; n = 1
      {"110", "101"},  // n = 1 when the convergence is tried; then n = 2 drives z
      {"110", "001"},  // the convergence clears: Join resets x, drives z
      {"000", "010"},  // z as the previous scan left it: Back
      {"001", "010"},  // c high: no falling edge yet
      {"000", "000"},  // c falls: Idle again
      {"100", "111"},  // a new rising edge: n = 3 drives z at once
  };
  testsupport::temp_dir dir;
  // A name that is not .sfc: sudz-plc knows a chart by its content too.
  const std::string sfc = dir.file("same.sfc"), txt = dir.file("same.txt");
  testsupport::write_file(sfc, chart_text);
  testsupport::write_file(txt, chart_text);
  const std::vector<std::vector<std::string>> commands = {
      {build_dir() + "/src/sudz-sfc/sudz-sfc", sfc},
      {build_dir() + "/src/sudz-plc/sudz-plc", sfc},
      {build_dir() + "/src/sudz-plc/sudz-plc", txt, "--vcd", dir.file("same.vcd")},
  };
  std::vector<std::string> expected;
  for (const step_row& r : rows) expected.push_back(r.outputs);
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    std::string errors;
    EXPECT_EQ(scripted_run(command, rows, &errors), expected) << errors;
  }
  // The run's VCD holds the chart's steps and its variables.
  const std::string vcd = testsupport::read_file(dir.file("same.vcd"));
  for (const char* part : {"$scope module steps $end", " Join $end", "$var integer 64 ", " n $end"})
    EXPECT_NE(vcd.find(part), std::string::npos) << part << "\n" << vcd;
}

TEST(PlcCharts, CheckOfAChartFile) {
  const std::string plc = build_dir() + "/src/sudz-plc/sudz-plc ";
  const std::string examples = source_dir() + "/examples/sfc/";
  struct row {
    std::string args;
    int status;
    std::string says;
  };
  const std::vector<row> rows = {
      {"--check " + examples + "lavage.sfc", 0,
       "lavage.sfc: no error (program lavage; signals of sudz)"},
      {"--check " + examples + "tri.sfc", 0, "  output  0  Dem"},
      {"--check --plant sudz " + examples + "tri.sfc", 1,
       "tri.sfc:26:12: unknown name \"Gd\": not a signal of sudz nor a variable\n"
       "  grand := Gd;\n"
       "           ^\n"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    int status = -1;
    const std::string out = shell(plc + r.args + " 2>&1", &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == r.status) << out;
    EXPECT_NE(out.find(r.says), std::string::npos) << out;
  }
}

}  // namespace
