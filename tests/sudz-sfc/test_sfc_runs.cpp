// sudz-sfc with the real simulators: the washing chart to its spin step
// through sudz-trace, its window and its VCD; both bundled charts graded by
// sudz-grade. Waits follow the plant; limits only stop a broken run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <sstream>
#include <thread>

#include "e2e/e2e_support.h"
#include "plcview/chart_layout.h"
#include "plcengine/sfc_reader.h"
#include "plcview/chart_window.h"
#include "support/child_process.h"

using namespace e2e;
using testsupport::read_file;

namespace {

std::string sfc_program() { return build_dir() + "/src/sudz-sfc/sudz-sfc"; }
std::string example(const std::string& name) { return source_dir() + "/examples/sfc/" + name; }

// The pixel a little inside the top left corner of a step's box, as the
// window draws it with these steps active.
std::pair<int, int> step_corner(const sfc::chart_layout& l, int step,
                                const std::vector<bool>& active) {
  const sfc::view_geometry g = sfc::geometry_for(l, active);
  return {static_cast<int>(g.x0 + l.steps[step].x * g.scale) + 5,
          static_cast<int>(g.y0 + l.steps[step].y * g.scale) + 5};
}

// The values a VCD gives a signal named name, in order.
std::vector<int> vcd_values(const std::string& text, const std::string& name) {
  std::istringstream in(text);
  std::string w, code;
  std::vector<int> out;
  while (in >> w) {
    if (w == "$var") {
      std::string type, size, c, n;
      in >> type >> size >> c >> n;
      if (n == name) code = c;
    } else if (!code.empty() && (w[0] == '0' || w[0] == '1') && w.substr(1) == code) {
      out.push_back(w[0] - '0');
    }
  }
  return out;
}

TEST(SfcRun, WashingChartToSpinWithItsWindowAndVcd) {
  testsupport::temp_dir dir;
  const std::string vcd = dir.file("chart.vcd"), summary = dir.file("t.sum");
  sim_process sim = sim_process::raw(
      {build_dir() + "/src/sudz-trace/sudz-trace", "--fast-timers", "--set", "St=1@0",
       "--stop-idle", "2", "--stop-after", "400", "--summary", summary, "--", sfc_program(),
       example("lavage.sfc"), "--view", "--vcd", vcd});
  const std::string window = window_named("sudz-sfc: lavage");
  ASSERT_NE(window, "");

  // The same layout as the program's, to know where each step is drawn.
  sfc::chart c;
  sfc::chart_error e;
  ASSERT_TRUE(sfc::read_chart(read_file(example("lavage.sfc")), &c, &e));
  const sfc::chart_layout l = sfc::layout_chart(c);
  const int spin = c.step_index("S_Tourner"), armer = c.step_index("S_Armer"),
            fin = c.step_index("Fin");
  std::vector<bool> spinning(c.steps.size(), false);
  spinning[spin] = true;
  const auto at_spin = step_corner(l, spin, spinning), at_armer = step_corner(l, armer, spinning),
             at_fin = step_corner(l, fin, spinning);

  // Wait for the programme step "spin" on the plant, then for the window.
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() != 0; }, 30));
  ASSERT_TRUE(wait_until([&] { return sim.input(8) == 1 || !sim.running(); }, 300));
  image shown;
  const bool seen = wait_until(
      [&] {
        shown = screenshot(window);
        return shown.width > 0 && shown.at(at_spin.first, at_spin.second) == rgb{0, 255, 0};
      },
      60);
  EXPECT_TRUE(seen) << "spin step never shown active";
  if (seen) {
    EXPECT_EQ(shown.at(at_armer.first, at_armer.second), white);
    EXPECT_EQ(shown.at(at_fin.first, at_fin.second), white);
  }

  const int status = sim.wait_exit(300);
  EXPECT_TRUE(WIFSIGNALED(status)) << status;  // the proxy ends the run by SIGTERM
  ASSERT_TRUE(wait_until([&] { return read_file(summary).find("findings=") != std::string::npos; },
                         30));
  const std::string sum = read_file(summary);
  EXPECT_NE(sum.find("goal_reached=1"), std::string::npos) << sum;
  EXPECT_NE(sum.find("findings=0"), std::string::npos) << sum;

  // GTKWave's converter reads the chart's VCD and gives back the same
  // evolution of the spin step: entered once, left once.
  const std::string fst = dir.file("chart.fst");
  ASSERT_EQ(std::system(("vcd2fst '" + vcd + "' '" + fst + "' >/dev/null 2>&1").c_str()), 0);
  const std::string back = shell("fst2vcd '" + fst + "' 2>/dev/null");
  EXPECT_EQ(vcd_values(read_file(vcd), "S_Tourner"), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(vcd_values(back, "S_Tourner"), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(vcd_values(back, "Fin"), (std::vector<int>{0, 1}));
}

// The command line without a simulator: what is printed and the status.
TEST(SfcRun, CommandLineTable) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file("bad.sfc"), "PROGRAM p\nINITIAL_STEP A: Vii(N); END_STEP\nEND_PROGRAM\n");
  struct row {
    std::string args;
    int status;
    std::string says;
  };
  const std::vector<row> rows = {
      {"--check " + example("lavage.sfc"), 0, "no error (23 steps, 28 transitions; signals of sudz)"},
      {"--check " + example("tri.sfc"), 0, "signals of sudz-sorter"},
      {"--check --plant sudz " + example("tri.sfc"), 1, "tri.sfc:26:12: unknown name \"Gd\""},
      {"--check --plant T,Niv/Vi " + dir.file("bad.sfc"), 1,
       "bad.sfc:2:17: unknown action \"Vii\": not an output of the plant"},
      {"--check --plant toaster " + example("tri.sfc"), 1, "unknown plant \"toaster\""},
      {"--check " + dir.file("none.sfc"), 1, "cannot read"},
      {example("lavage.sfc"), 1, "no exchange area"},
      {"--svg " + dir.file("c.svg") + " " + example("tri.sfc"), 0, ""},
      {"", 1, "no chart given"},
      {"--help", 0, "usage: sudz sudz-sfc"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    int status = -1;
    const std::string out = shell(sfc_program() + " " + r.args + " 2>&1", &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == r.status) << out;
    EXPECT_NE(out.find(r.says), std::string::npos) << out;
  }
  // The chart file Graphviz wrote is read by an SVG renderer.
  EXPECT_EQ(std::system(("rsvg-convert '" + dir.file("c.svg") + "' -o '" + dir.file("c.png") +
                         "' 2>/dev/null")
                            .c_str()),
            0);
}

// A chart with an error, started by the simulator: the message on standard
// error, exit status 1, and the plant left as it is, every output at 0.
TEST(SfcRun, ChartWithAnErrorDoesNotRun) {
  testsupport::temp_dir dir;
  const std::string bad = dir.file("bad.sfc"), summary = dir.file("t.sum");
  testsupport::write_file(bad, "PROGRAM p\nINITIAL_STEP A: Vi(N); END_STEP\nSTEP B: END_STEP\nEND_PROGRAM\n");
  sim_process sim = sim_process::raw({build_dir() + "/src/sudz-trace/sudz-trace", "--stop-after",
                                      "4", "--summary", summary, "--report", dir.file("r.txt"),
                                      "--", sfc_program(), bad});
  sim.wait_exit(120);
  ASSERT_TRUE(wait_until([&] { return read_file(summary).find("findings=") != std::string::npos; },
                         30));
  const std::string sum = read_file(summary);
  EXPECT_NE(sum.find("controller_end=exited with status 1"), std::string::npos) << sum;
  EXPECT_NE(sim.stderr_text().find("bad.sfc:3:6: step \"B\" can never be reached\n"
                                   "STEP B: END_STEP\n     ^\n"),
            std::string::npos)
      << sim.stderr_text();
  const std::string report = read_file(dir.file("r.txt"));
  EXPECT_NE(report.find("Changes"), std::string::npos);
  EXPECT_EQ(report.find("# output# "), std::string::npos) << report;
}

// The cells of a table row: "| a | b |" gives a, b.
std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::istringstream in(row);
  std::string cell;
  std::getline(in, cell, '|');
  while (std::getline(in, cell, '|')) {
    const size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
    out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  return out;
}

TEST(SfcRun, BundledChartsReachTheirGoalUnderSudzGrade) {
  struct graded {
    const char* chart;
    const char* options;
  };
  const std::vector<graded> cases = {
      {"lavage.sfc", "--minutes 5 --idle 2"},
      {"tri.sfc", "--plant sudz-sorter --minutes 1"},
  };
  for (const graded& k : cases) {
    SCOPED_TRACE(k.chart);
    testsupport::temp_dir dir;
    int status = -1;
    const std::string table =
        shell("timeout -s KILL 500 " + build_dir() + "/src/sudz-grade/sudz-grade " + k.options +
                  " --out " + dir.file("out") + " '" + sfc_program() + " " + example(k.chart) +
                  "' 2>/dev/null",
              &status);
    EXPECT_EQ(status, 0) << table;
    const size_t row = table.find("| sudz-sfc | ");
    ASSERT_NE(row, std::string::npos) << table;
    const std::vector<std::string> r = cells(table.substr(row, table.find('\n', row) - row));
    ASSERT_GE(r.size(), 5u) << table;
    EXPECT_EQ(r[1].rfind("yes, ", 0), 0u) << table;
    EXPECT_EQ(r[2], "none") << table;
    EXPECT_EQ(r[3], "none") << table;
    EXPECT_NE(r[4].find("controller exited with status 0"), std::string::npos) << table;
  }
}

}  // namespace
