// Helpers for the bridge's tests: the bridge as a process, a stand-in
// simulator over a real exchange area, and the outside Modbus peers (mbpoll,
// and pymodbus through modbus_peer.py), each run with a bound.
#ifndef TESTS_SUDZ_MODBUS_BRIDGE_SUPPORT_H
#define TESTS_SUDZ_MODBUS_BRIDGE_SUPPORT_H

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class IOsharemem_server;

namespace bridge {

extern const std::vector<std::string> kInputs, kOutputs;

// Runs a shell command, killed after 60 s; its standard output.
std::string run(const std::string& command, int* status = nullptr);

// The port printed on the "listening on ADDR:PORT" line of a file, waiting
// for it (0 if it never comes).
int listening_port(const std::string& stdout_file, double seconds = 30.0);

// mbpoll, once, 0-based addresses, unit 1. type: 0 coils, 1 discrete
// inputs, 3 input registers, 4 holding registers. The values read; empty
// when mbpoll failed.
std::vector<int> mbpoll_read(int port, int type, int address, int count);
bool mbpoll_write(int port, int type, int address, const std::vector<int>& values);

// modbus_peer.py requests: one line per request (see the script).
std::vector<std::string> peer_requests(int port, const std::vector<std::string>& requests);

// A TCP connection to 127.0.0.1:port (-1 on failure), and whether its peer
// closes it (end of stream or reset) within the bound.
int raw_connect(int port);
bool closed_by_peer(int fd, double seconds);

// The bridge started directly on an area, its output in files.
class bridge_process {
 public:
  bridge_process(int ident, const std::vector<std::string>& options);
  ~bridge_process();
  pid_t pid() const { return pid_; }
  std::string out() const;
  std::string err() const;
  int port(double seconds = 30.0) const { return listening_port(dir_ + "/stdout", seconds); }
  // Waits up to seconds; true and *status (wait status) once it has ended.
  bool wait_exit(double seconds, int* status);

 private:
  pid_t pid_ = -1;
  std::string dir_;
};

// A stand-in simulator: the washing machine's 11 inputs and 11 outputs (or
// the given names) in a real exchange area, with cycles run on demand or by
// a thread (5 ms pause).
class fake_simulator {
 public:
  fake_simulator(const std::vector<std::string>& inputs = kInputs,
                 const std::vector<std::string>& outputs = kOutputs);
  ~fake_simulator();
  int ident() const;
  void set_input(int i, int value) { inputs_[i] = value; }
  // One cycle: every input written, the input clock raised.
  void cycle();
  void start_cycling();
  int output(int i);
  void terminate();

 private:
  std::unique_ptr<IOsharemem_server> server_;
  int count_;
  std::atomic<int> inputs_[41];
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The bridge started by the simulator: its pid, found among the processes
// of the simulator's process group (0 if none within the bound).
pid_t bridge_of_simulator(pid_t simulator, double seconds = 30.0);
// True when pid no longer runs (gone or a zombie).
bool process_gone(pid_t pid);

std::string bridge_path();
std::string peer_path();

}  // namespace bridge

#endif
