#include "sudz-modbus/bridge_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "IOshare/IOsharemem_server.h"
#include "e2e/e2e_support.h"
#include "support/child_process.h"

namespace bridge {

const std::vector<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                          "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::vector<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                           "AvL", "ArL", "AvR", "T1m", "T5m"};

std::string bridge_path() {
  return SUDZ_MODBUS;
}
std::string peer_path() {
  return MODBUS_PEER;
}

std::string run(const std::string& command, int* status) {
  return e2e::shell("timeout 60 " + command, status);
}

int listening_port(const std::string& stdout_file, double seconds) {
  int port = 0;
  const std::regex line("listening on .*:([0-9]+),");
  e2e::wait_until(
      [&] {
        std::smatch m;
        const std::string text = testsupport::read_file(stdout_file);
        if (std::regex_search(text, m, line)) port = std::stoi(m[1]);
        return port != 0;
      },
      seconds);
  return port;
}

// count 0: a write, whose count is that of its values.
static std::string mbpoll(int port, int type, int address, int count) {
  return "mbpoll -m tcp -a 1 -0 -1 -o 3 -p " + std::to_string(port) + " -t " +
         std::to_string(type) + " -r " + std::to_string(address) +
         (count > 0 ? " -c " + std::to_string(count) : "") + " 127.0.0.1";
}

std::vector<int> mbpoll_read(int port, int type, int address, int count) {
  int status = 0;
  const std::string out = run(mbpoll(port, type, address, count) + " 2>&1", &status);
  std::vector<int> values;
  if (status != 0) return values;
  const std::regex value("\\[([0-9]+)\\]:\\s+(-?[0-9]+)");
  for (std::sregex_iterator it(out.begin(), out.end(), value), end; it != end; ++it) {
    values.push_back(std::stoi((*it)[2]));
  }
  return values;
}

bool mbpoll_write(int port, int type, int address, const std::vector<int>& values) {
  std::string command = mbpoll(port, type, address, 0);
  for (int v : values) command += " " + std::to_string(v);
  int status = 0;
  run(command + " >/dev/null 2>&1", &status);
  return status == 0;
}

std::vector<std::string> peer_requests(int port, const std::vector<std::string>& requests) {
  std::string command = "/usr/bin/python3 " + peer_path() + " requests " + std::to_string(port);
  for (const std::string& r : requests) command += " " + r;
  std::istringstream out(run(command));
  std::vector<std::string> lines;
  for (std::string l; std::getline(out, l);) lines.push_back(l);
  return lines;
}

int raw_connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool closed_by_peer(int fd, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      char buf[512];
      const ssize_t got = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
      if (got == 0 || (got < 0 && errno != EAGAIN)) return true;
    }
  }
  return false;
}

bridge_process::bridge_process(int ident, const std::vector<std::string>& options) {
  char tmpl[] = "/tmp/sudz-modbus-test-XXXXXX";
  dir_ = mkdtemp(tmpl);
  std::vector<std::string> argv = {bridge_path()};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("-automemlink");
  argv.push_back(std::to_string(ident));
  const std::string dir = dir_;
  pid_ = testsupport::spawn_function(
      [&] {
        const int out = open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
      },
      dir_ + "/stderr");
}

bridge_process::~bridge_process() {
  if (pid_ > 0) testsupport::kill_and_reap(pid_);
  e2e::shell("rm -rf '" + dir_ + "'");
}

std::string bridge_process::out() const {
  return testsupport::read_file(dir_ + "/stdout");
}
std::string bridge_process::err() const {
  return testsupport::read_file(dir_ + "/stderr");
}

bool bridge_process::wait_exit(double seconds, int* status) {
  if (pid_ <= 0) return false;
  if (!testsupport::wait_for(pid_, static_cast<int>(seconds * 1000), status)) return false;
  pid_ = -1;
  return true;
}

fake_simulator::fake_simulator(const std::vector<std::string>& inputs,
                               const std::vector<std::string>& outputs)
    : count_(static_cast<int>(inputs.size())) {
  server_ =
      std::make_unique<IOsharemem_server>(std::list<std::string>(inputs.begin(), inputs.end()),
                                          std::list<std::string>(outputs.begin(), outputs.end()));
  for (auto& v : inputs_) v = 0;
}

fake_simulator::~fake_simulator() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

int fake_simulator::ident() const {
  return server_->memory_ident();
}

void fake_simulator::cycle() {
  for (int i = 0; i < count_; ++i) server_->setreset_input(i, inputs_[i]);
  server_->inputs_go();
}

void fake_simulator::start_cycling() {
  thread_ = std::thread([this] {
    while (!stop_) {
      cycle();
      usleep(5000);
    }
  });
}

int fake_simulator::output(int i) {
  return server_->output_value(i);
}

void fake_simulator::terminate() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  server_->sharing_terminate();
}

pid_t bridge_of_simulator(pid_t simulator, double seconds) {
  pid_t found = 0;
  e2e::wait_until(
      [&] {
        std::istringstream in(e2e::shell("ps -e -o pid=,pgid=,comm= 2>/dev/null"));
        long pid, group;
        std::string comm;
        while (in >> pid >> group >> comm)
          if (group == simulator && comm == "sudz-modbus") found = static_cast<pid_t>(pid);
        return found != 0;
      },
      seconds);
  return found;
}

bool process_gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t close = text.rfind(')');
  return close == std::string::npos || text.size() < close + 3 || text[close + 2] == 'Z';
}

}  // namespace bridge
