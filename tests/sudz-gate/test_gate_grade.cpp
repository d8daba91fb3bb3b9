// sudz-grade over the gate: found by its name beside the other plants, graded with its own
// rules file; the bundled controller is clean, a controller that drives both motors is not.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

// The cells of each table row but the header: "| a | b |" gives a, b.
std::vector<std::vector<std::string>> rows_of(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| ", 0) != 0 || line.rfind("| controller |", 0) == 0) continue;
    std::vector<std::string> cells;
    std::istringstream row(line);
    std::string cell;
    std::getline(row, cell, '|');
    while (std::getline(row, cell, '|')) {
      const size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
      cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    }
    rows.push_back(cells);
  }
  return rows;
}

TEST(GateGrade, TheGateIsGradedWithItsOwnRules) {
  testsupport::temp_dir dir;
  // The operator presses the button one second in.
  testsupport::write_file(dir.file("scenario"), "set Bp=1@1+0.5\n");
  testsupport::write_file(dir.file("both"), "at input clock 1 set output Mo to 1\n"
                                            "at input clock 1 set output Mf to 1\n");
  int status = -1;
  const std::string table = shell(
      "timeout -s KILL 300 " + build_dir() + "/src/sudz-grade/sudz-grade --plant sudz-gate " +
          "--scenario " + dir.file("scenario") + " --minutes 0.2 --idle 2 --out " +
          dir.file("out") + " '" + build_dir() + "/src/sudz-gate/gate_programme --attente 1' '" +
          build_dir() + "/tests/support/test_controller --script " + dir.file("both") +
          "' 2>&1",
      &status);
  EXPECT_EQ(status, 0) << table;
  const auto rows = rows_of(table);
  ASSERT_EQ(rows.size(), 2u) << table;
  ASSERT_GE(rows[0].size(), 5u) << table;
  EXPECT_EQ(rows[0][0], "gate_programme");
  EXPECT_EQ(rows[0][1].rfind("yes, ", 0), 0u) << "the gate opened: " << rows[0][1];
  EXPECT_EQ(rows[0][2], "none");
  EXPECT_EQ(rows[0][3], "none");
  ASSERT_GE(rows[1].size(), 5u) << table;
  EXPECT_EQ(rows[1][1], "no");
  EXPECT_NE(rows[1][2].find("motors-both-ways"), std::string::npos) << rows[1][2];
}

// The operator's buttons pressed by a scenario, by their labels: "Voiture" sends a car up the
// road, which only then cuts the beam; "Bouton" opens the gate, which then stays open, so the
// car never meets a closing leaf however slow the machine. A label the gate does not have ends
// the run at once, and the batch says that it could not grade it.
TEST(GateGrade, AScenarioPressesTheOperatorsButtons) {
  testsupport::temp_dir dir;
  auto grade_with = [&](const std::string& name, const std::string& scenario, int* status) {
    testsupport::write_file(dir.file(name), scenario);
    return rows_of(shell("timeout -s KILL 300 " + build_dir() + "/src/sudz-grade/sudz-grade " +
                             "--plant sudz-gate --minutes 0.2 --idle 60 --scenario " +
                             dir.file(name) + " --out " + dir.file(name + "-out") + " '" +
                             build_dir() + "/src/sudz-gate/gate_programme --attente 600'",
                         status));
  };
  int status = -1;
  auto rows = grade_with("presses", "press Voiture@0.5\npress Bouton@1\n", &status);
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(rows.size() == 1 && rows[0].size() == 8u);
  EXPECT_EQ(rows[0][1].rfind("yes, ", 0), 0u) << "the gate opened: " << rows[0][1];
  EXPECT_EQ(rows[0][3], "none");
  const std::string report = testsupport::read_file(rows[0][7]);
  EXPECT_NE(report.find("# input# Cel# 1"), std::string::npos) << "no car reached the beam";

  rows = grade_with("klaxon", "press Klaxon@0.5\n", &status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  ASSERT_TRUE(rows.size() == 1 && rows[0].size() == 8u);
  EXPECT_EQ(rows[0][1], "?");
  EXPECT_EQ(rows[0][4].rfind("sudz-trace: press \"Klaxon\": the plant has no button", 0), 0u)
      << rows[0][4];
}

}  // namespace
