// sudz-plc driving a real plant: the gate's and the sorting line's programs
// graded by sudz-grade, which runs each through sudz-trace under its own
// Xvfb; the washing programme in ladder through sudz-trace to its spin step;
// its command line; a program whose scan cannot end.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "plcengine/project.h"
#include "plcengine/runtime.h"
#include "plcview/body_window.h"
#include "plcview/drawn_programs.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

// Both gate programs, Structured Text and function blocks, graded in one
// batch: each opens the gate without a finding; the first writes its VCD.
TEST(PlcRun, TheGateProgramsReachTheirGoalCleanly) {
  testsupport::temp_dir dir;
  // The operator presses the button one second in.
  testsupport::write_file(dir.file("scenario"), "set Bp=1@1+0.5\n");
  const std::string plc = build_dir() + "/src/sudz-plc/sudz-plc " + source_dir() + "/examples/plc/";
  int status = -1;
  const std::string table =
      shell("timeout -s KILL 300 " + build_dir() + "/src/sudz-grade/sudz-grade --plant sudz-gate " +
                "--scenario " + dir.file("scenario") + " --minutes 0.3 --idle 2 --out " +
                dir.file("out") + " '" + plc + "portail.st --vcd " + dir.file("st.vcd") + "' '" +
                plc + "portail.xml' 2>&1",
            &status);
  EXPECT_EQ(status, 0) << table;
  int rows = 0;
  for (size_t row = table.find("| sudz-plc | "); row != std::string::npos;
       row = table.find("| sudz-plc | ", row + 1)) {
    ++rows;
    const std::string line = table.substr(row, table.find('\n', row) - row);
    EXPECT_NE(line.find("| sudz-plc | yes, "), std::string::npos) << line;
    EXPECT_NE(line.find(" | none | none | "), std::string::npos) << line;
    EXPECT_NE(line.find("controller exited with status 0"), std::string::npos) << line;
  }
  EXPECT_EQ(rows, 2) << table;
  // GTKWave's converter reads the VCD and gives back the opening motor
  // started once and stopped at the end switch.
  const std::string fst = dir.file("st.fst");
  ASSERT_EQ(
      std::system(("vcd2fst '" + dir.file("st.vcd") + "' '" + fst + "' >/dev/null 2>&1").c_str()),
      0);
  const std::string back = shell("fst2vcd '" + fst + "' 2>/dev/null");
  std::string code, mo;
  std::istringstream in(back);
  for (std::string w; in >> w;) {
    if (w == "$var") {
      std::string type, size, c, n;
      in >> type >> size >> c >> n;
      if (n == "Mo") code = c;
    } else if (!code.empty() && (w[0] == '0' || w[0] == '1') && w.substr(1) == code) {
      mo += w[0];
    }
  }
  EXPECT_EQ(mo, "010") << back;
}

// The sorting line as a chart with ladder and ST actions, given to
// sudz-grade as a file alone, as a chart is: boxes reach the wagon without
// a finding.
TEST(PlcRun, TheSortingChartReachesItsGoalCleanly) {
  testsupport::temp_dir dir;
  int status = -1;
  const std::string table =
      shell("timeout -s KILL 300 " + build_dir() +
                "/src/sudz-grade/sudz-grade --plant sudz-sorter --minutes 0.5 --out " +
                dir.file("out") + " " + source_dir() + "/examples/plc/tri.xml 2>&1",
            &status);
  EXPECT_EQ(status, 0) << table;
  const size_t row = table.find("| tri.xml | ");
  ASSERT_NE(row, std::string::npos) << table;
  const std::string line = table.substr(row, table.find('\n', row) - row);
  EXPECT_NE(line.find("| tri.xml | yes, "), std::string::npos) << line;
  EXPECT_NE(line.find(" | none | none | "), std::string::npos) << line;
  EXPECT_NE(line.find("controller exited with status 0"), std::string::npos) << line;
}

// The washing programme in ladder drives the machine through sudz-trace:
// the spin step within a bounded number of cycles, the drum spinning fast,
// the trace's goal reached without a finding. Its window, scrolled to the
// last rungs once the drum spins fast, shows that rung's contact and coil
// filled in green.
TEST(PlcRun, TheLadderWashingProgrammeReachesTheSpinStep) {
  testsupport::temp_dir dir;
  const std::string summary = dir.file("t.sum");
  sim_process sim =
      sim_process::raw({build_dir() + "/src/sudz-trace/sudz-trace", "--fast-timers", "--set",
                        "St=1@0", "--stop-idle", "2", "--stop-after", "400", "--summary", summary,
                        "--", build_dir() + "/src/sudz-plc/sudz-plc",
                        source_dir() + "/examples/plc/lavage.xml", "--view"});
  ASSERT_TRUE(wait_until([&] { return sim.segment_of_simulator() != 0; }, 30));
  // Inputs 8 and output 8: the indicator "Ess" and the fast drum AvR. With
  // timers answering after a second, the whole programme takes some 6000
  // cycles: far fewer than 20000 however loaded the machine.
  ASSERT_TRUE(wait_until([&] { return sim.input(8) == 1 || !sim.running(); }, 300));
  EXPECT_EQ(sim.input(8), 1);
  EXPECT_LT(sim.inputs_clock(), 20000);
  ASSERT_TRUE(wait_until([&] { return sim.output(8) == 1 || !sim.running(); }, 60));
  EXPECT_EQ(sim.output(8), 1);
  const std::string view = window_named("sudz-plc: lavage");
  ASSERT_NE(view, "");
  // The wheel scrolls the drawing down to its end, where AvR's rung stands.
  shell("xdotool mousemove --sync --window " + view + " 300 300 click --repeat 150 --delay 5 5");
  // A green square the size of a contact's inside: lines alone are thinner.
  auto filled_green = [](const image& shown) {
    for (int y = 0; y + 10 < shown.height; y += 4)
      for (int x = 0; x + 10 < shown.width; x += 4)
        if (shown.count(x, y, 10, 10, rgb{0, 255, 0}) == 100) return true;
    return false;
  };
  EXPECT_TRUE(wait_until([&] { return filled_green(screenshot(view)) || sim.output(8) == 0; }, 60))
      << "no element shown conducting";
  EXPECT_EQ(sim.output(8), 1) << "the spin step ended before the window was seen";

  const int status = sim.wait_exit(300);
  EXPECT_TRUE(WIFSIGNALED(status)) << status;  // the proxy ends the run by SIGTERM
  ASSERT_TRUE(wait_until(
      [&] { return testsupport::read_file(summary).find("findings=") != std::string::npos; }, 30));
  const std::string sum = testsupport::read_file(summary);
  EXPECT_NE(sum.find("goal_reached=1"), std::string::npos) << sum;
  EXPECT_NE(sum.find("findings=0"), std::string::npos) << sum;
  EXPECT_NE(sum.find("alarm=none"), std::string::npos) << sum;
}

}  // namespace

namespace {

std::string plc_program() {
  return build_dir() + "/src/sudz-plc/sudz-plc";
}

// The command line without a simulator: what is printed and the status.
TEST(PlcRun, CommandLineTable) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file("two.st"), "PROGRAM a\nEND_PROGRAM\nPROGRAM b\nEND_PROGRAM\n");
  testsupport::write_file(
      dir.file("soft.st"),
      "PROGRAM soft\nVAR\n  open AT %QX100.0 : BOOL;\n  Bp AT %IX100.1 : BOOL;\n"
      "END_VAR\nopen := Bp;\nEND_PROGRAM\n");
  const std::string gate = source_dir() + "/examples/plc/portail.st";
  struct row {
    std::string args;
    int status;
    std::string says;
  };
  const std::vector<row> rows = {
      {"--check " + gate, 0, "no error (program portail; signals of sudz-gate)"},
      {"--check --plant sudz-gate --map openplc " + dir.file("soft.st"), 0,
       "  output  0  Mo       %QX100.0  %QW100  open\n"},
      {"--check --plant sudz-gate --map openplc " + dir.file("soft.st"), 0,
       "warning: variable Bp is the plant's input Bp by its name, but its address %IX100.1 is "
       "%IX100.0 or %IW100 under this map"},
      {"--check --plant sudz-gate " + dir.file("soft.st"), 1,
       "variable open: address %QX100.0 is outside the plant (3 outputs)"},
      {"--check --pou b " + dir.file("two.st"), 0, "no error (program b;"},
      {"--check " + dir.file("two.st"), 1, "several programs: a, b; choose one with --pou NAME"},
      {"--check --map sideways " + gate, 1, "unknown map \"sideways\" (flat or openplc)"},
      {"--check --plant toaster " + gate, 1, "unknown plant \"toaster\""},
      {"--check " + dir.file("none.st"), 1, "cannot read"},
      {gate, 1, "no exchange area"},
      {"", 1, "no file given"},
      {"--zoom " + gate, 1, "unknown option --zoom"},
      {"--check --svg " + dir.file("gate.svg") + " " + source_dir() + "/examples/plc/portail.xml",
       0, "no error"},
      {"--check --svg " + dir.file("none/gate.svg") + " " + gate, 1,
       "sudz-plc: cannot write " + dir.file("none/gate.svg")},
      {"--help", 0, "usage: sudz sudz-plc"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    int status = -1;
    const std::string out = shell(plc_program() + " " + r.args + " 2>&1", &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == r.status) << out;
    EXPECT_NE(out.find(r.says), std::string::npos) << out;
  }
  EXPECT_EQ(
      std::system(("rsvg-convert -o '" + dir.file("gate.png") + "' '" + dir.file("gate.svg") + "'")
                      .c_str()),
      0);
}

// A ladder drawn in an editor, run on the gate at rest (closed: Ff 1, Fo
// 0) with its window: the contact of Ff is filled in green, that of Fo not.
TEST(PlcRun, TheViewShowsTheContactsThatConductInGreen) {
  testsupport::temp_dir dir;
  const std::string rungs = dir.file("rungs.xml");
  const std::string text = plcviewtest::ladder(plcviewtest::drawing{}, "Ff", "Fo", "Cl", "Mf");
  testsupport::write_file(rungs, text);
  // Where the window draws contacts 2 (Ff) and 6 (Fo): the same model.
  plc::project proj;
  plc::error err;
  const plc::program* prog = nullptr;
  plc::runtime rt;
  plcview::body_model m;
  std::string message;
  ASSERT_TRUE(plc::read_project(text, rungs, &proj, &err) &&
              plc::choose_program(proj, "", &prog, &err) && rt.load(*prog, &err))
      << err.text();
  ASSERT_TRUE(plcview::read_body_model(text, rt.prog(), &m, &message)) << message;
  const double zoom = plcview::first_zoom(m);
  auto centre = [&](long id) {
    for (const plcview::element& e : m.elements) {
      if (e.id == id)
        return std::make_pair(static_cast<int>((e.x + e.w / 2) * zoom),
                              static_cast<int>((e.y + e.h / 2) * zoom));
    }
    return std::make_pair(-1, -1);
  };
  const auto ff = centre(2), fo = centre(6);

  sim_process sim = sim_process::raw({build_dir() + "/src/sudz-trace/sudz-trace", "--rules",
                                      build_dir() + "/src/sudz-gate/sudz-gate.rules",
                                      "--stop-after", "20", "--", plc_program(), rungs, "--view"},
                                     build_dir() + "/src/sudz-gate/sudz-gate");
  const std::string window = window_named("sudz-plc: drawn");
  ASSERT_NE(window, "");
  image shown;
  const bool seen = wait_until(
      [&] {
        shown = screenshot(window);
        return shown.width > 0 && shown.at(ff.first, ff.second) == rgb{0, 255, 0};
      },
      60);
  EXPECT_TRUE(seen) << "the contact of Ff never shown conducting";
  if (seen) {
    EXPECT_EQ(shown.at(fo.first, fo.second), white);
  }
  sim.wait_exit(120);
}

// A scan that cannot end, started by the simulator: the message on standard
// error and exit status 1.
TEST(PlcRun, AScanThatCannotEndStopsTheProgramSafely) {
  testsupport::temp_dir dir;
  const std::string bad = dir.file("spin.st"), summary = dir.file("t.sum");
  testsupport::write_file(bad,
                          "PROGRAM spin\nVAR Mo, Bp : BOOL; n : DINT; END_VAR\nMo := TRUE;\n"
                          "WHILE Bp DO\n  n := n + 1;\nEND_WHILE;\nEND_PROGRAM\n");
  sim_process sim =
      sim_process::raw({build_dir() + "/src/sudz-trace/sudz-trace", "--rules",
                        build_dir() + "/src/sudz-gate/sudz-gate.rules", "--set", "Bp=1@1",
                        "--stop-after", "6", "--summary", summary, "--", plc_program(), bad},
                       build_dir() + "/src/sudz-gate/sudz-gate");
  sim.wait_exit(120);
  ASSERT_TRUE(wait_until(
      [&] { return testsupport::read_file(summary).find("findings=") != std::string::npos; }, 30));
  const std::string sum = testsupport::read_file(summary);
  EXPECT_NE(sum.find("controller_end=exited with status 1"), std::string::npos) << sum;
  EXPECT_NE(sim.stderr_text().find("spin.st:4: POU spin: loops ran more than 1000000 rounds in one "
                                   "scan: the scan stops"),
            std::string::npos)
      << sim.stderr_text();
}

}  // namespace
