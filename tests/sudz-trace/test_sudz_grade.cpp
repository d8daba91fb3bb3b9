// sudz-grade over real controllers: the table it prints, in bounded time,
// and nothing left behind. It starts its own Xvfb.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

std::string grade() {
  return build_dir() + "/src/sudz-grade/sudz-grade";
}

// Processes whose command line mentions text.
std::set<pid_t> processes_mentioning(const std::string& text) {
  std::set<pid_t> out;
  DIR* d = opendir("/proc");
  if (d == nullptr) return out;
  while (dirent* e = readdir(d)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0 || pid == getpid()) continue;
    std::string cmd = testsupport::read_file(std::string("/proc/") + e->d_name + "/cmdline");
    for (char& c : cmd)
      if (c == '\0') c = ' ';
    if (cmd.find(text) != std::string::npos) out.insert(pid);
  }
  closedir(d);
  return out;
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

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

TEST(SudzGrade, RefusesBadCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--minutes", "soon", "ctrl"},
      {"--plant", "toaster", "ctrl"},
      {"--bogus", "ctrl"},
      {"--scenario", "/nonexistent/scenario", "ctrl"},
      {"--minutes"},
  };
  for (const auto& args : cases) {
    std::vector<std::string> argv = {grade()};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::child_result r = testsupport::run_program(argv, 20000);
    EXPECT_TRUE(r.exited_with(1)) << argv.size() << " " << r.err;
    EXPECT_NE(r.err.find("sudz-grade: "), std::string::npos) << r.err;
  }
  EXPECT_TRUE(testsupport::run_program({grade(), "--help"}, 20000).exited_with(0));
}

// A scenario or rules file that sudz-trace would refuse is refused once, before any run: the
// file and its line named, status 1, and nothing started (not even the output folder).
TEST(SudzGrade, RefusesBadScenarioAndRulesFilesBeforeAnyRun) {
  const struct {
    const char* scenario;  // "" for none
    const char* rules;     // "" for none
    const char* named;     // the file the message names
    const char* message;
  } cases[] = {
      {"press Bouton\n", "", "scenario", ": line 1: bad override \"press Bouton\""},
      {"# a comment\n\nbogus line\n", "", "scenario", ": line 3: unknown override \"bogus\""},
      {"set St=1@0 extra\n", "", "scenario", ": line 1: too many words"},
      {"press thirty-two characters, one more!@1\n", "", "scenario", ": line 1: bad override"},
      {"", "rule x Y=1\n", "rules", ": line 1: expected: rule NAME: CONDITION"},
      {"", "goal g: X=1\ntimer O\n", "rules", ": line 2: "},
      {"fast-timers\n", "goal g: X=1\n", "", "fast-timers: the rules name no timer"},
      // Set-point steps and the criteria on the responses.
      {"step SPl=high@1\n", "", "scenario",
       ": line 1: bad override \"step SPl=high@1\" (expected step NAME=V@T)"},
      {"", "overshoot o: Lt against SPl <= 10\n", "rules",
       ": line 1: expected: overshoot NAME: PV against SP <= P%"},
      {"", "step SPl=600@10\nsettling s: Lt against SPl <= 30\n", "rules",
       ": line 2: expected: settling NAME: PV against SP within B[%] <= S"},
      {"", "step SPl=600@10+20\n", "rules", ": line 1: bad override"},
      // A criterion without a step of its set point would judge nothing and pass.
      {"step SPt=400@0\n", "iae i: Lt against SPl <= 100\n", "rules",
       ": i: no step of \"SPl\" (step SPl=V@T)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.scenario) + c.rules);
    testsupport::temp_dir dir;
    std::vector<std::string> argv = {grade(), "--out", dir.file("out")};
    for (const auto& [option, text] :
         {std::pair<std::string, std::string>{"scenario", c.scenario}, {"rules", c.rules}}) {
      if (text.empty()) continue;
      testsupport::write_file(dir.file(option), text);
      argv.insert(argv.end(), {"--" + option, dir.file(option)});
    }
    argv.push_back(build_dir() + "/examples/washing_programme");
    testsupport::child_result r = testsupport::run_program(argv, 20000);
    EXPECT_TRUE(r.exited_with(1)) << r.err;
    const std::string named = *c.named ? dir.file(c.named) : "";
    EXPECT_EQ(r.err.rfind("sudz-grade: " + named + c.message, 0), 0u) << r.err;
    EXPECT_FALSE(exists(dir.file("out"))) << "a run was started";
  }
}

// A proxy that dies (killed by its controller here) leaves the plant waiting for a controller:
// the run is ended at once, not at its time limit (150 s), its row says so, the batch fails.
TEST(SudzGrade, ARunWhoseProxyDiesIsEndedAtOnce) {
  testsupport::temp_dir dir;
  testsupport::write_file(
      dir.file("killer"),
      "#!/bin/sh\nsleep 3\nfor i in $(seq 300); do\n  p=$(($(ps -o ppid= -p $$)))\n"
      "  [ $(cat /proc/$p/comm) = sudz-trace ] && exec kill -KILL $p\n"
      "  sleep 0.1\ndone\n");
  chmod(dir.file("killer").c_str(), 0755);
  int status = -1;
  const auto start = std::chrono::steady_clock::now();
  const std::string table = shell(grade() + " --minutes 2 --idle 300 --out " + dir.file("out") +
                                      " " + dir.file("killer") + " 2>/dev/null",
                                  &status);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(100));
  EXPECT_EQ(WEXITSTATUS(status), 1) << table;
  EXPECT_NE(table.find("| killer | ? | ? | ? | sudz-trace ended before the simulator"),
            std::string::npos)
      << table;
}

// A response judged in a batch: the scenario steps the input the controller sees, the rules judge
// an output against it; the figures reach the CSV and the JSON, a broken limit the findings.
TEST(SudzGrade, ResponsesToAStepInTheMarkSheet) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file("scenario"), "step T=1@0\n");
  // Whenever the proxy's first cycle comes, the output is still 0 in it: "late" fails.
  testsupport::write_file(
      dir.file("rules"),
      "settling late: H against T within 0 <= 0\nerror held: H against T <= 0\n");
  testsupport::write_file(dir.file("script"), "at input clock 30 set output H to 1\n");
  int status = -1;
  const std::string table = shell(
      "timeout -s KILL 200 " + grade() + " --minutes 0.05 --out " + dir.file("out") +
          " --scenario " + dir.file("scenario") + " --rules " + dir.file("rules") + " --csv " +
          dir.file("m.csv") + " --json " + dir.file("m.json") + " '" + build_dir() +
          "/tests/support/test_controller --script " + dir.file("script") + "' 2>/dev/null",
      &status);
  EXPECT_EQ(status, 0) << table;
  EXPECT_NE(table.find("| test_controller | no | late 1 | none |"), std::string::npos) << table;
  const std::string read =
      shell("/usr/bin/python3 -c \"import csv, json; r = json.load(open('" + dir.file("m.json") +
                "'))[0]['responses']; print(r['held.1'], r['late.1'] > 0, "
                "next(csv.DictReader(open('" +
                dir.file("m.csv") + "')))['responses'].split('; ')[1])\"",
            &status);
  EXPECT_EQ(read, "0.0 True held.1=0.000\n");
}

// The sorting line, with its own rules and goal. The run ends by itself: once its one box is
// sorted, the programme leaves every output at 0. The time limit only stops a run that hangs.
TEST(SudzGrade, SortingLine) {
  testsupport::temp_dir dir;
  int status = -1;
  const std::string table =
      shell("timeout -s KILL 200 " + grade() + " --plant sudz-sorter --minutes 2 --out " +
                dir.file("out") + " '" + build_dir() + "/examples/sorting_programme --boxes 1' " +
                "2>/dev/null",
            &status);
  EXPECT_EQ(status, 0) << table;
  EXPECT_NE(table.find("| controller | goal |"), std::string::npos) << table;
  const size_t row = table.find("| sorting_programme | yes, ");
  ASSERT_NE(row, std::string::npos) << table;
  const std::vector<std::string> r = cells(table.substr(row, table.find('\n', row) - row));
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[2], "none");
  EXPECT_EQ(r[3], "none");
  EXPECT_EQ(r[4].rfind("stopped: every output at 0 for 5 s; ", 0), 0u) << r[4];
  EXPECT_NE(r[4].find("controller exited with status 0"), std::string::npos) << r[4];
  for (int k = 5; k < 8; ++k) EXPECT_TRUE(exists(r[k])) << r[k];
}

TEST(SudzGrade, ThreeControllersGradedLeavingNothing) {
  testsupport::temp_dir dir;
  const std::string hang = dir.file("hang");
  testsupport::write_file(hang, "at input clock 5 hang\n");
  const std::string out = dir.file("out");

  // Every process of the runs names the directory somewhere in its command
  // line (the files, the script): collect them while it runs.
  std::atomic<bool> done{false};
  std::set<pid_t> seen;
  std::thread watch([&] {
    while (!done) {
      for (pid_t p : processes_mentioning(dir.path())) seen.insert(p);
      usleep(100000);
    }
  });
  // Each run ends once every output has rested for 2 s, the bundled programme's after about
  // 6700 cycles (35 s); the limit of 3 minutes only stops one that hangs, even on a busy machine.
  int status = -1;
  const std::string table = shell(
      "timeout -s KILL 400 " + grade() + " --minutes 3 --idle 2 --out " + out + " " + build_dir() +
          "/examples/washing_programme " + build_dir() + "/examples/minimal_controller '" +
          build_dir() + "/tests/support/test_controller --script " + hang + "' 2>/dev/null",
      &status);
  done = true;
  watch.join();
  EXPECT_EQ(status, 0) << table;

  std::vector<std::vector<std::string>> rows;
  std::istringstream in(table);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| ", 0) == 0 && line.find("| controller |") != 0) rows.push_back(cells(line));
  }
  ASSERT_EQ(rows.size(), 3u) << table;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 8u) << table;
    for (int k = 5; k < 8; ++k) EXPECT_TRUE(exists(r[k])) << r[k];
  }
  // The bundled programme: spin, no finding, ended at rest.
  EXPECT_EQ(rows[0][0], "washing_programme");
  EXPECT_EQ(rows[0][1].rfind("yes, ", 0), 0u) << rows[0][1];
  EXPECT_EQ(rows[0][2], "none");
  EXPECT_EQ(rows[0][3], "none");
  EXPECT_EQ(rows[0][4],
            "stopped: every output at 0 for 2 s; controller exited with status 0 after the end");
  // The minimal controller fills and drains but never spins.
  EXPECT_EQ(rows[1][0], "minimal_controller");
  EXPECT_EQ(rows[1][1], "no");
  EXPECT_EQ(rows[1][2], "none");
  EXPECT_EQ(rows[1][3], "none");
  // The hung one never ends by itself: it is killed.
  EXPECT_EQ(rows[2][0], "test_controller");
  EXPECT_EQ(rows[2][1], "no");
  EXPECT_NE(
      rows[2][4].find("controller still running 1 s after the end; 1 process(es) left, killed"),
      std::string::npos)
      << rows[2][4];

  EXPECT_FALSE(seen.empty());
  EXPECT_TRUE(processes_mentioning(dir.path()).empty());
  EXPECT_TRUE(testsupport::segments_created_by(seen).empty());
}

}  // namespace
