// sudz-grade: grades controllers through sudz-trace, several runs at once,
// and prints one table row per controller in the order they were given.
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "sudz-grade/grade_options.h"
#include "sudz-grade/grade_result.h"
#include "sudz-grade/grade_run.h"

namespace {

[[noreturn]] void die(const std::string& why, bool usage = false) {
  if (usage) std::fputs(grade_usage, stderr);
  std::fprintf(stderr, "sudz-grade: %s\n", why.c_str());
  std::exit(1);
}

int cores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

bool make_folders(const std::string& path) {
  for (size_t k = 1; k <= path.size(); ++k) {
    if (k < path.size() && path[k] != '/') continue;
    if (mkdir(path.substr(0, k).c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What the progress line says of a finished run.
std::string outcome(const grade_row& r, const std::string& goal_column) {
  std::string text = goal_column + (r.goal_reached == 1   ? " reached"
                                    : r.goal_reached == 0 ? " not reached"
                                                          : " unknown");
  if (r.alarm_cell != "none" && r.alarm_cell != "?") text += ", alarm " + r.alarm_cell;
  if (r.run_end.rfind("killed", 0) == 0 || r.run_end.rfind("not run", 0) == 0) {
    text += ", " + r.run_end;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  grade_options o;
  std::string error;
  if (!parse_grade_options(argc, argv, &o, &error)) die(error, true);
  if (o.help) {
    std::fputs(grade_usage, stdout);
    return 0;
  }
  if (!prepare(&o, &error)) die(error);
  if (!make_folders(o.out)) die("cannot make " + o.out);
  char real[PATH_MAX];
  if (realpath(o.out.c_str(), real) == nullptr) die("cannot make " + o.out);
  o.out = real;
  const int jobs = std::min<int>(o.jobs > 0 ? o.jobs : cores(), o.submissions.size());

  // Signals go to one waiting thread; the runs see stop and end themselves.
  block_end_signals();
  std::atomic<bool> stop{false}, finished{false};
  std::atomic<int> signal_seen{0};
  std::thread waiter([&] {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
    const timespec tick{0, 200 * 1000 * 1000};
    while (!finished) {
      const int s = sigtimedwait(&set, nullptr, &tick);
      if (s > 0) {
        signal_seen = s;
        stop = true;
      }
    }
  });

  const int total = static_cast<int>(o.submissions.size());
  std::vector<grade_row> rows(total);
  std::atomic<int> next{0};
  int done = 0;
  std::mutex progress;
  const bool terminal = isatty(2);
  std::vector<std::thread> workers;
  for (int w = 0; w < jobs; ++w) {
    workers.emplace_back([&] {
      for (int k; !stop && (k = next++) < total;) {
        const submission& s = o.submissions[k];
        if (!terminal) {
          std::lock_guard<std::mutex> hold(progress);
          std::fprintf(stderr, "sudz-grade: %d/%d %s\n", k + 1, total, s.text.c_str());
        }
        rows[k] = grade_one(o, s, k + 1, stop);
        std::lock_guard<std::mutex> hold(progress);
        ++done;
        if (terminal && !stop) {
          std::fprintf(stderr, "\r\033[K[%d/%d] %s: %s", done, total, s.name.c_str(),
                       outcome(rows[k], o.goal_column).c_str());
          std::fflush(stderr);
        }
      }
    });
  }
  for (std::thread& t : workers) t.join();
  finished = true;
  waiter.join();
  if (terminal) std::fputs("\n", stderr);
  if (stop) {
    std::fprintf(stderr, "sudz-grade: stopped by signal %d; every run ended\n", signal_seen.load());
    return 130;
  }

  std::fputs(markdown_table(rows, o.goal_column).c_str(), stdout);
  std::fflush(stdout);
  int status = 0;
  int ungraded = 0;
  for (const grade_row& r : rows) ungraded += r.goal_reached < 0 ? 1 : 0;
  if (ungraded > 0) {
    // Their rows say why; the batch did not grade everything it was given.
    std::fprintf(stderr, "sudz-grade: %d run(s) could not be graded\n", ungraded);
    status = 1;
  }
  if (!o.csv.empty() && !write_whole_file(o.csv, csv_table(rows, o.goal_column))) {
    std::fprintf(stderr, "sudz-grade: cannot write %s\n", o.csv.c_str());
    status = 1;
  }
  if (!o.json.empty() && !write_whole_file(o.json, json_table(rows, o.goal_column))) {
    std::fprintf(stderr, "sudz-grade: cannot write %s\n", o.json.c_str());
    status = 1;
  }
  return status;
}
