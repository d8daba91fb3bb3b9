// The bridge over a stand-in simulator (a real exchange area, no display),
// driven only by outside peers: mbpoll, pymodbus and bare sockets for the
// faults.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "e2e/e2e_support.h"
#include "sudz-modbus/bridge_support.h"
#include "support/child_process.h"

namespace {

using bridge::bridge_process;
using bridge::fake_simulator;
using clock_type = std::chrono::steady_clock;

const std::vector<int> kIdle = {0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0};  // the machine at rest

double seconds_since(clock_type::time_point t) {
  return std::chrono::duration<double>(clock_type::now() - t).count();
}

TEST(SudzModbus, MapServesTheAreaAndAnswersEverythingElseWithAnException) {
  fake_simulator sim;
  const int inputs[11] = {1, 0, 1, 1, 7, -2, 0, 0, 0, 1, 0};
  for (int i = 0; i < 11; ++i) sim.set_input(i, inputs[i]);
  for (int k = 0; k < 0x12345; ++k) sim.cycle();  // input clock 74565: two words
  bridge_process b(sim.ident(), {"--port", "0"});
  const int port = b.port();
  ASSERT_NE(port, 0) << b.err();
  EXPECT_NE(b.out().find("        5  Prel                            Vi\n"), std::string::npos)
      << b.out();
  EXPECT_NE(b.out().find("input registers 20 and 21: input clock"), std::string::npos);

  const struct {
    const char* request;
    const char* answer;
  } table[] = {
      // The map: inputs as bits (not 0 is 1) and as words, the clock high word first.
      {"di:0:11", "ok 1 0 1 1 1 1 0 0 0 1 0"},
      {"ir:0:11", "ok 1 0 1 1 7 65534 0 0 0 1 0"},
      {"ir:20:2", "ok 1 9029"},
      {"ir:21:1", "ok 9029"},
      {"rc:0:11", "ok 0 0 0 0 0 0 0 0 0 0 0"},
      // Registers are written as they are; a coil reads 1 only for exactly 1.
      {"wrs:0:1,2,0,65535", "ok"},
      {"hr:0:4", "ok 1 2 0 65535"},
      {"rc:0:4", "ok 1 0 0 0"},
      {"wcs:5:1,0,1", "ok"},
      {"wc:10:1", "ok"},
      {"rc:5:6", "ok 1 0 1 0 0 1"},
      {"wr:10:0", "ok"},
      {"rc:0:1@9", "ok 1"},  // any unit by default
      // Outside the map, by one address or more: exception 02.
      {"rc:0:12", "exc 2"},
      {"rc:11:1", "exc 2"},
      {"rc:65535:1", "exc 2"},
      {"di:0:12", "exc 2"},
      {"di:11:1", "exc 2"},
      {"hr:11:1", "exc 2"},
      {"hr:5:7", "exc 2"},
      {"ir:11:1", "exc 2"},
      {"ir:10:2", "exc 2"},
      {"ir:19:1", "exc 2"},
      {"ir:19:2", "exc 2"},
      {"ir:21:2", "exc 2"},
      {"ir:22:1", "exc 2"},
      {"wc:11:1", "exc 2"},
      {"wr:11:1", "exc 2"},
      {"wcs:10:1,1", "exc 2"},
      {"wrs:9:1,2,3", "exc 2"},
      // Quantities beyond what one request may carry: exception 03.
      {"di:0:2001", "exc 3"},
      {"hr:0:126", "exc 3"},
      // Functions the bridge does not serve: exception 01.
      {"fc:17", "exc 1"},
      {"fc:22", "exc 1"},
      {"fc:23", "exc 1"},
      {"fc:43", "exc 1"},
  };
  std::vector<std::string> requests;
  for (const auto& row : table) requests.push_back(row.request);
  const std::vector<std::string> answers = bridge::peer_requests(port, requests);
  ASSERT_EQ(answers.size(), requests.size());
  for (size_t k = 0; k < requests.size(); ++k) {
    EXPECT_EQ(answers[k], table[k].answer) << table[k].request;
  }
  // The writes reached the area, the refused ones nothing.
  const int outputs[11] = {1, 2, 0, 65535, 0, 1, 0, 1, 0, 0, 0};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(sim.output(i), outputs[i]) << "output " << i;
}

// Other simulators have other counts: the map follows the area, and the
// clock moves behind the inputs when they reach address 20.
TEST(SudzModbus, MapFollowsTheCountsOfAnySimulator) {
  const auto names = [](const char* stem, int count) {
    std::vector<std::string> v;
    for (int i = 0; i < count; ++i) v.push_back(stem + std::to_string(i));
    return v;
  };
  const struct {
    int inputs, outputs;
    std::vector<std::string> requests, answers;
  } areas[] = {
      {3,
       2,
       {"di:0:3", "di:0:4", "rc:0:2", "rc:2:1", "wc:1:1", "hr:1:1", "ir:3:1", "ir:20:2"},
       {"ok 1 1 1", "exc 2", "ok 0 0", "exc 2", "ok", "ok 1", "exc 2", "ok 0 1"}},
      {25,
       0,
       {"ir:0:27", "ir:27:1", "di:24:1", "di:25:1", "rc:0:1", "wc:0:1", "hr:0:1"},
       {"ok 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 0 1", "exc 2", "ok 1", "exc 2",
        "exc 2", "exc 2", "exc 2"}},
  };
  for (const auto& a : areas) {
    SCOPED_TRACE(std::to_string(a.inputs) + " inputs, " + std::to_string(a.outputs) + " outputs");
    fake_simulator sim(names("in", a.inputs), names("out", a.outputs));
    for (int i = 0; i < a.inputs; ++i) sim.set_input(i, 1);
    sim.cycle();
    bridge_process b(sim.ident(), {"--port", "0"});
    const int port = b.port();
    ASSERT_NE(port, 0) << b.err();
    EXPECT_EQ(bridge::peer_requests(port, a.requests), a.answers);
  }
}

TEST(SudzModbus, UnitOptionAnswersOnlyThatUnit) {
  fake_simulator sim;
  bridge_process b(sim.ident(), {"--port", "0", "--unit", "3"});
  const int port = b.port();
  ASSERT_NE(port, 0) << b.err();
  EXPECT_EQ(bridge::peer_requests(port, {"di:0:1@3", "di:0:1@1", "wc:5:1@1"}),
            (std::vector<std::string>{"ok 0", "exc 11", "exc 11"}));
  EXPECT_EQ(sim.output(5), 0);
}

// A fault done on a connection of its own, which stays open while mbpoll
// is served; closed_by_bridge: whether the bridge must drop it.
struct fault {
  const char* name;
  std::vector<unsigned char> bytes;
  bool leave;  // the faulty client goes away at once
  bool closed_by_bridge;
};

TEST(SudzModbus, FaultyClientsNeverHoldUpTheOthers) {
  fake_simulator sim;
  for (int i = 0; i < 11; ++i) sim.set_input(i, kIdle[i]);
  sim.start_cycling();
  bridge_process b(sim.ident(), {"--port", "0"});
  const int port = b.port();
  ASSERT_NE(port, 0) << b.err();

  std::mt19937 random(20261208);
  std::vector<unsigned char> noise(300);
  for (auto& c : noise) c = static_cast<unsigned char>(random());
  noise[2] = 0x5A;  // never a valid protocol id, whatever the seed gives
  const fault faults[] = {
      {"random bytes", noise, false, true},
      {"a header announcing a long frame, then silence",
       {0, 1, 0, 0, 0, 254, 1, 3, 0},
       false,
       true},
      {"connects and never sends", {}, false, false},
      {"gone in the middle of a request", {0, 1, 0, 0, 0, 6, 1, 1, 0}, true, false},
      {"gone before reading its reply", {0, 1, 0, 0, 0, 6, 1, 2, 0, 0, 0, 11}, true, false},
  };
  for (const fault& f : faults) {
    SCOPED_TRACE(f.name);
    const int fd = bridge::raw_connect(port);
    ASSERT_GE(fd, 0);
    if (!f.bytes.empty()) {
      ASSERT_EQ(send(fd, f.bytes.data(), f.bytes.size(), 0), ssize_t(f.bytes.size()));
    }
    if (f.leave) {
      linger abort{1, 0};  // a reset, as a crashed client leaves
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
      close(fd);
    }
    EXPECT_EQ(bridge::mbpoll_read(port, 1, 0, 11), kIdle) << b.err();
    if (!f.leave) {
      if (f.closed_by_bridge) {
        EXPECT_TRUE(bridge::closed_by_peer(fd, 20.0)) << b.err();
      }
      close(fd);
    }
  }
  EXPECT_EQ(bridge::mbpoll_read(port, 1, 0, 11), kIdle);
  int status = 0;
  EXPECT_FALSE(b.wait_exit(0, &status)) << "the bridge still runs";
}

TEST(SudzModbus, ClientBeyondTheLimitIsRefusedAndTheOthersAreServed) {
  fake_simulator sim;
  for (int i = 0; i < 11; ++i) sim.set_input(i, kIdle[i]);
  sim.start_cycling();
  bridge_process b(sim.ident(), {"--port", "0", "--max-clients", "2"});
  const int port = b.port();
  ASSERT_NE(port, 0) << b.err();
  const int first = bridge::raw_connect(port), second = bridge::raw_connect(port);
  ASSERT_TRUE(e2e::wait_until([&] { return b.err().find("connected") != std::string::npos; }, 20));
  const int extra = bridge::raw_connect(port);
  EXPECT_TRUE(bridge::closed_by_peer(extra, 20.0)) << b.err();
  EXPECT_NE(b.err().find("refused: already 2 clients"), std::string::npos) << b.err();
  EXPECT_FALSE(bridge::closed_by_peer(first, 0.2)) << "the others stay";
  close(second);
  EXPECT_EQ(bridge::mbpoll_read(port, 1, 0, 11), kIdle) << "a freed place is taken again";
  close(first);
  close(extra);
}

TEST(SudzModbus, WatchdogZeroesTheOutputsWhenWritesStop) {
  fake_simulator sim;
  sim.start_cycling();
  bridge_process b(sim.ident(), {"--port", "0", "--watchdog", "300"});
  const int port = b.port();
  ASSERT_NE(port, 0) << b.err();
  // The write comes after `asked`, so the watchdog fires 300 ms after it
  // at the earliest.
  const auto asked = clock_type::now();
  ASSERT_TRUE(bridge::mbpoll_write(port, 0, 0, std::vector<int>(11, 1)));
  // The write reached the area before its reply: no wait here.
  int on = 0;
  for (int i = 0; i < 11; ++i) on += sim.output(i);
  if (seconds_since(asked) < 0.25) {
    EXPECT_EQ(on, 11);
  }
  EXPECT_TRUE(e2e::wait_until(
      [&] {
        for (int i = 0; i < 11; ++i)
          if (sim.output(i) != 0) return false;
        return true;
      },
      20))
      << b.err();
  EXPECT_GE(seconds_since(asked), 0.3) << "not before the watchdog's time";
  EXPECT_NE(b.err().find("watchdog: no write request for 300 ms, every output set to 0"),
            std::string::npos)
      << b.err();
}

TEST(SudzModbus, EndsAndStartFailures) {
  fake_simulator sim;
  sim.start_cycling();
  bridge_process served(sim.ident(), {"--port", "0"});
  const int port = served.port();
  ASSERT_NE(port, 0) << served.err();

  const struct {
    std::vector<std::string> options;
    const char* message;
  } failures[] = {
      {{"--port", std::to_string(port)}, "cannot listen on 127.0.0.1 port"},
      {{"--listen", "999.1.2.3", "--port", "0"}, "bad listen address 999.1.2.3"},
      {{"--client", "127.0.0.1:1"}, "cannot reach the Modbus server 127.0.0.1:1"},
      {{"--port", "70000"}, "--port needs a whole number from 0 to 65535"},
      {{"--poll", "5"}, "need --client"},
      {{"--client", "127.0.0.1", "--watchdog", "5"}, "for server mode"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.message);
    bridge_process b(sim.ident(), f.options);
    int status = 0;
    ASSERT_TRUE(b.wait_exit(30, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(b.err().find(f.message), std::string::npos) << b.err();
  }

  const int client = bridge::raw_connect(port);
  EXPECT_EQ(bridge::mbpoll_read(port, 1, 2, 1), std::vector<int>{0});
  const auto end = clock_type::now();
  sim.terminate();
  int status = 0;
  ASSERT_TRUE(served.wait_exit(30, &status));
  const double took = seconds_since(end);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_LT(took, 2.0) << "within a second, with room for a loaded machine";
  EXPECT_TRUE(bridge::closed_by_peer(client, 1.0)) << "every connection closed";
  close(client);
  std::printf("bridge ended %.0f ms after the simulation\n", took * 1000);
}

// A pymodbus server standing in for a PLC, started through the shell.
struct plc_process {
  plc_process(int port, int set_index, const std::string& values, bool registers = false)
      : out(file()) {
    const std::string command = "exec /usr/bin/python3 -u " + bridge::peer_path() + " plc " +
                                std::to_string(port) + " 0 100 " + values + " " +
                                std::to_string(set_index) + (registers ? " registers" : "") +
                                " > " + out + " 2>&1";
    pid = testsupport::spawn_program({"/bin/sh", "-c", command});
  }
  ~plc_process() {
    testsupport::kill_and_reap(pid);
    unlink(out.c_str());
  }
  static std::string file() {
    static int n = 0;
    return "/tmp/sudz-modbus-plc-" + std::to_string(getpid()) + "-" + std::to_string(++n);
  }
  bool says(const std::string& text, double seconds = 30) {
    return e2e::wait_until(
        [&] { return testsupport::read_file(out).find(text) != std::string::npos; }, seconds);
  }
  int port() {
    says("port ");
    const std::string text = testsupport::read_file(out);
    const size_t at = text.find("port ");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + 5);
  }
  std::string out;
  pid_t pid;
};

// The inputs given to the stand-in simulator, as the PLC should see them.
const std::vector<int> kPattern = {0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 7};
const char kPatternText[] = "0,1,1,0,0,1,0,0,0,0,7";

std::unique_ptr<fake_simulator> patterned_simulator() {
  auto sim = std::make_unique<fake_simulator>();
  for (int i = 0; i < 11; ++i) sim->set_input(i, kPattern[i]);
  sim->start_cycling();
  return sim;
}

TEST(SudzModbus, ClientModeFollowsAPlcAndWaitsForItWhenItIsLost) {
  auto sim = patterned_simulator();
  auto plc = std::make_unique<plc_process>(0, 5, kPatternText);
  const int port = plc->port();
  ASSERT_NE(port, 0) << testsupport::read_file(plc->out);
  bridge_process b(sim->ident(), {"--client", "127.0.0.1:" + std::to_string(port), "--poll", "20"});
  EXPECT_TRUE(plc->says("inputs seen")) << "its coils follow the inputs\n" << b.err();
  EXPECT_TRUE(e2e::wait_until([&] { return sim->output(5) == 1; }, 20)) << "its coil drives Vi";

  plc.reset();  // the PLC is gone: outputs to 0 at once, retried every second
  EXPECT_TRUE(e2e::wait_until([&] { return sim->output(5) == 0; }, 20)) << b.err();
  EXPECT_NE(b.err().find("lost the Modbus server 127.0.0.1:" + std::to_string(port)),
            std::string::npos)
      << b.err();

  plc = std::make_unique<plc_process>(port, 7, kPatternText);  // back, on the same port
  EXPECT_TRUE(plc->says("inputs seen")) << testsupport::read_file(plc->out) << b.err();
  EXPECT_TRUE(e2e::wait_until([&] { return sim->output(7) == 1; }, 20));
  EXPECT_NE(b.err().find("connected again"), std::string::npos);

  sim->terminate();
  int status = 0;
  ASSERT_TRUE(b.wait_exit(30, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SudzModbus, ClientModeWithRegistersPassesWords) {
  auto sim = patterned_simulator();
  plc_process plc(0, 3, kPatternText, true);
  const int port = plc.port();
  ASSERT_NE(port, 0) << testsupport::read_file(plc.out);
  bridge_process b(sim->ident(), {"--client", "127.0.0.1:" + std::to_string(port), "--registers",
                                  "--in-offset", "0", "--out-offset", "100"});
  EXPECT_TRUE(plc.says("inputs seen")) << "input 10 arrives as the word 7\n" << b.err();
  EXPECT_TRUE(e2e::wait_until([&] { return sim->output(3) == 1; }, 20));
}

}  // namespace
