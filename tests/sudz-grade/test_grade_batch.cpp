// sudz-grade over a batch of six controllers that between them do everything a cohort does
// (reach spin, never spin, hang, crash, raise an alarm, leave a child behind): the same rows
// whatever the number of runs at once, in the order given, readable as CSV and JSON, joined
// back from shares graded by GNU parallel, and nothing of any run left behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
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

// Processes whose environment holds text (every process of a grading inherits its TMPDIR).
std::set<pid_t> processes_with_env(const std::string& text) {
  std::set<pid_t> out;
  DIR* d = opendir("/proc");
  while (dirent* e = d != nullptr ? readdir(d) : nullptr) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0 || pid == getpid()) continue;
    if (testsupport::read_file(std::string("/proc/") + e->d_name + "/environ").find(text) !=
        std::string::npos)
      out.insert(pid);
  }
  if (d != nullptr) closedir(d);
  return out;
}

// Cells of a Markdown row, or of a tab-separated line.
std::vector<std::string> cells(const std::string& row, char sep = '|') {
  std::vector<std::string> out;
  std::istringstream in(row);
  std::string cell;
  if (sep == '|') std::getline(in, cell, '|');
  while (std::getline(in, cell, sep)) {
    const size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
    out.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
  }
  return out;
}

using table = std::vector<std::vector<std::string>>;

// What must not change from one grading of the batch to the next: name, goal reached or not,
// alarm, end, without the times and cycles, which vary. Findings are left out: on a loaded
// machine a controller may react late, which its rules rightly report.
table stable(const table& rows) {
  static const std::regex when(" at [0-9.]+ s, cycle [0-9]+");
  table out;
  for (const auto& r : rows) {
    if (r.size() < 5) return {{"short row"}};
    out.push_back({r[0], r[1].substr(0, r[1].find(',')), r[3], std::regex_replace(r[4], when, "")});
  }
  return out;
}

// The six controllers and a place for everything, made once.
struct batch {
  testsupport::temp_dir dir;
  std::vector<std::string> controllers;
  batch() {
    const std::string b = build_dir(), d = dir.path();
    testsupport::write_file(d + "/hang", "at input clock 5 hang\n");
    testsupport::write_file(d + "/alarm", "at input clock 1 set output Vi to 1\n");
    testsupport::write_file(d + "/crash", "#!/bin/sh\nkill -SEGV $$\n");
    testsupport::write_file(d + "/forker", "#!/bin/sh\nsleep 300 &\nexec sleep 301\n");
    chmod((d + "/crash").c_str(), 0755);
    chmod((d + "/forker").c_str(), 0755);
    mkdir((d + "/tmp").c_str(), 0755);
    controllers = {b + "/examples/washing_programme",
                   b + "/examples/minimal_controller",
                   b + "/tests/support/test_controller --script " + d + "/hang",
                   d + "/crash",
                   b + "/tests/support/test_controller --script " + d + "/alarm",
                   d + "/forker"};
  }
  std::string quoted() const {
    std::string s;
    for (const std::string& c : controllers) s += " '" + c + "'";
    return s;
  }
};

struct graded {
  int status = -1;
  double seconds = 0;
  std::string out;
  table rows;
};

// Runs command with TMPDIR in the batch's folder, then checks that none of its processes,
// exchange areas or temporary folders are left.
graded run_checked(const batch& b, const std::string& command) {
  const std::string marker = "TMPDIR=" + b.dir.file("tmp");
  std::atomic<bool> done{false};
  std::set<pid_t> seen;
  std::thread watch([&] {
    while (!done) {
      for (pid_t p : processes_with_env(marker)) seen.insert(p);
      usleep(100000);
    }
  });
  // Segments already there are not this run's, whatever pid made them (pids are reused).
  std::set<int> before;
  {
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line);
    for (int key, id; in >> key >> id && std::getline(in, line);) before.insert(id);
  }
  graded g;
  const auto start = std::chrono::steady_clock::now();
  g.out = shell(marker + " timeout -s KILL 800 " + command + " 2>/dev/null", &g.status);
  g.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  done = true;
  watch.join();
  std::istringstream in(g.out);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("| ", 0) == 0 && line.find("| controller |") != 0) g.rows.push_back(cells(line));
  EXPECT_FALSE(seen.empty());
  EXPECT_TRUE(processes_with_env(marker).empty()) << command;
  std::vector<int> left;
  for (int id : testsupport::segments_created_by(seen))
    if (!before.count(id)) left.push_back(id);
  EXPECT_TRUE(left.empty()) << command;
  EXPECT_EQ(shell("ls -A " + b.dir.file("tmp")), "") << command;
  return g;
}

// A CSV or JSON file read back by Python, one tab-separated line per row in the table's columns.
table read_back(const std::string& path, const std::string& goal_column) {
  const std::string script =
      "import csv, json, sys\n"
      "p = sys.argv[1]\n"
      "rows = json.load(open(p)) if p.endswith('.json') else list(csv.DictReader(open(p, "
      "newline='')))\n"
      "for r in rows:\n"
      "    print('\\t'.join(r[k] for k in ('controller', '" +
      goal_column + "', 'findings', 'alarm', 'end', 'vcd', 'svg', 'report')))\n";
  testsupport::write_file(path + ".py", script);
  table out;
  std::istringstream in(shell("/usr/bin/python3 " + path + ".py " + path));
  for (std::string line; std::getline(in, line);) out.push_back(cells(line, '\t'));
  return out;
}

class GradeBatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    b_ = new batch;
    one_ = new graded(run_checked(
        *b_, grade() + " --jobs 1 --minutes 3 --idle 2 --out " + b_->dir.file("one") + " --csv " +
                 b_->dir.file("one.csv") + " --json " + b_->dir.file("one.json") + b_->quoted()));
  }
  static void TearDownTestSuite() {
    delete one_;
    delete b_;
  }
  static batch* b_;
  static graded* one_;
};
batch* GradeBatch::b_ = nullptr;
graded* GradeBatch::one_ = nullptr;

TEST_F(GradeBatch, OneRunAtATimeGradesEachAsItBehaved) {
  ASSERT_EQ(one_->status, 0) << one_->out;
  const table& r = one_->rows;
  ASSERT_EQ(r.size(), 6u) << one_->out;
  EXPECT_EQ(r[0][1].rfind("yes, ", 0), 0u) << r[0][1];
  EXPECT_EQ(r[1][1], "no");
  EXPECT_NE(r[2][4].find("1 process(es) left, killed"), std::string::npos) << r[2][4];
  EXPECT_EQ(r[3][0], "crash");
  EXPECT_EQ(r[4][3], "overflow");
  EXPECT_EQ(r[4][4].rfind("alarm box acknowledged; simulator status 1", 0), 0u) << r[4][4];
  EXPECT_NE(r[5][4].find("2 process(es) left, killed"), std::string::npos) << r[5][4];
}

TEST_F(GradeBatch, TwoRunsAtOnceGiveTheSameRowsInTheSameOrderSooner) {
  const graded two = run_checked(
      *b_, grade() + " --jobs 2 --minutes 3 --idle 2 --out " + b_->dir.file("two") + b_->quoted());
  EXPECT_EQ(two.status, 0) << two.out;
  EXPECT_EQ(stable(two.rows), stable(one_->rows)) << two.out;
  EXPECT_LT(two.seconds, one_->seconds) << "--jobs 2 took as long as --jobs 1";
}

TEST_F(GradeBatch, CsvAndJsonReadBackAsTheTable) {
  for (const char* file : {"one.csv", "one.json"}) {
    EXPECT_EQ(read_back(b_->dir.file(file), "spin"), one_->rows) << file;
  }
}

TEST_F(GradeBatch, ClusterScriptJoinsTheSharesOfParallel) {
  const graded joined =
      run_checked(*b_, source_dir() + "/examples/grade-cluster.sh -S : -n 4 -o " +
                           b_->dir.file("all.csv") + " -d " + b_->dir.file("cluster") + " -g " +
                           grade() + " -- --minutes 3 --idle 2" + b_->quoted());
  EXPECT_EQ(joined.status, 0) << joined.out;
  table rows = read_back(b_->dir.file("all.csv"), "spin");
  EXPECT_EQ(stable(rows), stable(one_->rows));
}

TEST_F(GradeBatch, SigtermEndsEveryRunLeavingNothing) {
  const graded stopped =
      run_checked(*b_, "timeout --preserve-status -s TERM 15 " + grade() +
                           " --jobs 2 --minutes 3 --out " + b_->dir.file("stopped") + b_->quoted());
  EXPECT_EQ(WEXITSTATUS(stopped.status), 130);
  EXPECT_TRUE(stopped.rows.empty()) << stopped.out;
}

// Submissions one level down, named by their folder; a chart goes to sudz-sfc (a stand-in here).
TEST(GradeFolders, ExecutablesAndChartsNamedByFolder) {
  testsupport::temp_dir dir;
  const std::string subs = dir.file("subs");
  for (const char* d : {"subs", "subs/bob", "subs/alice", "subs/carol", "subs/.hidden"})
    mkdir(dir.file(d).c_str(), 0755);
  symlink((build_dir() + "/examples/minimal_controller").c_str(), (subs + "/bob/ctrl").c_str());
  testsupport::write_file(subs + "/bob/notes.txt", "not a controller\n");
  // Charts run by sudz-sfc: a good one ends with the run, a broken one at once with status 1.
  testsupport::write_file(subs + "/alice/main.sfc",
                          "PROGRAM p\nINITIAL_STEP S: END_STEP\nEND_PROGRAM\n");
  testsupport::write_file(subs + "/carol/main.sfc", "a chart\n");
  int status = -1;
  const std::string out =
      shell("timeout -s KILL 300 " + grade() + " --minutes 0.25 --idle 1 --out " +
                dir.file("out") + " --dir " + subs + " 2>&1",
            &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> names;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("| ", 0) == 0 && line.find("| controller |") != 0) {
      const std::vector<std::string> r = cells(line);
      names.push_back(r[0]);
      const char* end = r[0] == "carol" ? "controller exited with status 1"
                                        : "controller exited with status 0";
      EXPECT_NE(r[4].find(end), std::string::npos) << line;
    }
  EXPECT_EQ(names, (std::vector<std::string>{"alice", "bob", "carol"})) << out;
}

// Folder names as a course platform exports them reach their controller as they are, and the
// shell runs nothing of them; so do the output folder and the scenario's path (which presses a
// button of the machine). Each controller writes the arguments it got beside itself.
TEST(GradeFolders, NamesReachTheControllerIntactAndRunNothing) {
  const std::vector<std::string> names = {
      "o'brien", "a;touch PWNED;b", "$(touch X)", "`touch Y`", "two  words", "-rf", "*", "\"q\"\\",
  };
  testsupport::temp_dir dir;
  for (const std::string& n : names) {
    mkdir(dir.file("subs").c_str(), 0755);
    mkdir(dir.file("subs/" + n).c_str(), 0755);
    testsupport::write_file(dir.file("subs/" + n + "/c"),
                            "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"${0%/*}/got\"\n");
    chmod(dir.file("subs/" + n + "/c").c_str(), 0755);
  }
  const std::string out = "out 'o';$(touch Z)", scenario = "scenario `touch W`";
  testsupport::write_file(dir.file(scenario), "press Demarrer@0\n");
  auto quoted = [](const std::string& w) {
    return "'" + std::regex_replace(w, std::regex("'"), "'\\''") + "'";
  };
  int status = -1;
  const std::string table = shell("cd " + dir.path() + " && timeout -s KILL 300 " + grade() +
                                      " --jobs 2 --minutes 0.25 --idle 1 --out " + quoted(out) +
                                      " --scenario " + quoted(scenario) + " --dir subs 2>/dev/null",
                                  &status);
  EXPECT_EQ(status, 0) << table;
  for (const std::string& n : names) {
    EXPECT_NE(table.find("| " + n + " | no | none | none | stopped"), std::string::npos) << n;
    const std::vector<std::string> got = testsupport::read_lines(dir.file("subs/" + n + "/got"));
    EXPECT_EQ(got.size() == 3 ? got[0] + " " + got[1] : "",
              dir.file("subs/" + n + "/c -automemlink"));
  }
  // Nothing but what the test made and the output folder.
  EXPECT_EQ(shell("cd " + dir.path() + " && ls -A | sort"), out + "\n" + scenario + "\nsubs\n");
}

TEST(GradeFolders, RefusesWhatCannotBeGraded) {
  testsupport::temp_dir dir;
  symlink((build_dir() + "/src/sudz/sudz").c_str(), dir.file("myplant").c_str());
  mkdir(dir.file("empty").c_str(), 0755);
  const std::vector<std::string> cases = {
      "--jobs 0 ctrl",
      "--jobs two ctrl",
      "--dir " + dir.file("none"),
      "--dir " + dir.file("empty"),
      "--plant myplant ctrl",  // a plant without its rules
  };
  for (const std::string& args : cases) {
    int status = -1;
    const std::string err = shell(
        "PATH=" + dir.path() + ":$PATH " + grade() + " " + args + " 2>&1 >/dev/null", &status);
    EXPECT_EQ(WEXITSTATUS(status), 1) << args;
    EXPECT_NE(err.find("sudz-grade: "), std::string::npos) << args << ": " << err;
  }
}

}  // namespace
