// Helpers for tests that run real processes: run a function or a program in
// a child with its standard error captured, wait with a bound, run a shell
// command for its output or into a log, and list the shared-memory segments
// that given processes created.
#ifndef TESTS_SUPPORT_CHILD_PROCESS_H
#define TESTS_SUPPORT_CHILD_PROCESS_H

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The value of an environment variable, or "" when it is not set.
inline std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// A fresh directory under TMPDIR (or /tmp), removed with its files at the end.
class temp_dir {
 public:
  temp_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base != nullptr ? base : "/tmp") + "/sudz-test-XXXXXX";
    path_ = mkdtemp(&tmpl[0]) != nullptr ? tmpl : "";
  }
  ~temp_dir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Waits for pid for at most timeout_ms; true and *status set when it ended.
inline bool wait_for(pid_t pid, int timeout_ms, int* status) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid) return true;
    if (r < 0) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Kills pid with SIGKILL and reaps it.
inline void kill_and_reap(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

struct child_result {
  bool finished = false;  // ended within the bound (else it was killed)
  int status = 0;         // raw wait status
  std::string err;        // its standard error
  bool exited_with(int code) const {
    return finished && WIFEXITED(status) && WEXITSTATUS(status) == code;
  }
};

// Forks; the child sends its standard error to err_path (when given) and runs
// body, then _exit(0) unless body ended the process itself.
inline pid_t spawn_function(const std::function<void()>& body, const std::string& err_path = "") {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!err_path.empty()) {
      const int fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) dup2(fd, 2);
    }
    body();
    std::fflush(nullptr);
    _exit(0);
  }
  return pid;
}

// Starts a program (argv[0] is its path) with its standard error to err_path.
inline pid_t spawn_program(const std::vector<std::string>& argv, const std::string& err_path = "") {
  return spawn_function(
      [&] {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
      },
      err_path);
}

inline child_result finish(pid_t pid, const std::string& err_path, int timeout_ms) {
  child_result r;
  r.finished = wait_for(pid, timeout_ms, &r.status);
  if (!r.finished) kill_and_reap(pid);
  r.err = read_file(err_path);
  unlink(err_path.c_str());
  return r;
}

inline std::string err_file_name() {
  static int n = 0;
  return "/tmp/sudz-test-err-" + std::to_string(getpid()) + "-" + std::to_string(++n);
}

// Runs body in a child process and waits for it (killed after timeout_ms).
inline child_result run_function(const std::function<void()>& body, int timeout_ms = 30000) {
  const std::string err = err_file_name();
  return finish(spawn_function(body, err), err, timeout_ms);
}

// Runs a program and waits for it (killed after timeout_ms).
inline child_result run_program(const std::vector<std::string>& argv, int timeout_ms = 30000) {
  const std::string err = err_file_name();
  return finish(spawn_program(argv, err), err, timeout_ms);
}

// The standard output of a shell command; *status, when given, gets its
// wait status.
inline std::string output_of(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int st = pclose(p);
  if (status != nullptr) *status = st;
  return out;
}

// Runs a shell command with its output appended to log; true when it succeeded.
inline bool shell(const std::string& command, const std::string& log) {
  return std::system((command + " >>'" + log + "' 2>&1").c_str()) == 0;
}

// Identifiers of the System V segments that still exist and were created by
// one of the given processes (read from /proc/sysvipc/shm).
inline std::vector<int> segments_created_by(const std::set<pid_t>& creators) {
  std::vector<int> ids;
  std::ifstream in("/proc/sysvipc/shm");
  std::string header;
  std::getline(in, header);
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    long key, shmid, perms, size, cpid;
    if (f >> key >> shmid >> perms >> size >> cpid && creators.count(static_cast<pid_t>(cpid))) {
      ids.push_back(static_cast<int>(shmid));
    }
  }
  return ids;
}

}  // namespace testsupport

#endif
