// `sudz sudz-modbus` under the test's own Xvfb: the real washing machine
// driven over Modbus TCP by mbpoll and a pymodbus programme, and either side
// killed under the other.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>

#include "e2e/e2e_support.h"
#include "sudz-modbus/bridge_support.h"

namespace {

using clock_type = std::chrono::steady_clock;

constexpr int kNiv = 1, kVide = 2, kVo = 2, kVi = 5;

struct machine {
  machine() : sim(e2e::sim_process::raw({bridge::bridge_path(), "--port", "0"})) {
    port = bridge::listening_port(sim.dir() + "/stdout");
    if (port != 0) sim.segment_of_simulator();
  }
  e2e::sim_process sim;
  int port = 0;
};

TEST(SudzModbusE2E, MbpollReadsTheInputsAndFillsTheTankInItsCycles) {
  machine m;
  ASSERT_NE(m.port, 0) << m.sim.stderr_text();
  ASSERT_TRUE(e2e::wait_until([&] { return m.sim.inputs_clock() > 0; }));
  std::vector<int> area(11);
  for (int i = 0; i < 11; ++i) area[i] = m.sim.input(i);
  EXPECT_EQ(area, (std::vector<int>{0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0})) << "the machine at rest";
  EXPECT_EQ(bridge::mbpoll_read(m.port, 1, 0, 11), area);

  // Coil 5 is "Vi": the tank fills, and "Niv" comes 560 filling cycles
  // later, counted by the input clock. The write reaches the area at some
  // cycle between the clock read before mbpoll starts and the one read after
  // it returns (a loaded machine may hold mbpoll up for many cycles): the
  // count from the first is at least the 560 (559: a cycle's inputs are seen
  // just before its clock rises), the count from the second at most 560 plus
  // the slack of the poll below (the tank overflows only after 672).
  const int before = m.sim.inputs_clock();
  ASSERT_TRUE(bridge::mbpoll_write(m.port, 0, kVi, {1}));
  const int opened = m.sim.inputs_clock();
  EXPECT_EQ(m.sim.output(kVi), 1);
  int full = 0;
  const auto limit = clock_type::now() + std::chrono::seconds(60);
  while (m.sim.input(kNiv) != 1 && clock_type::now() < limit) usleep(500);
  full = m.sim.inputs_clock();
  ASSERT_TRUE(bridge::mbpoll_write(m.port, 0, kVi, {0}));
  EXPECT_EQ(bridge::mbpoll_read(m.port, 1, kNiv, 1), std::vector<int>{1});
  EXPECT_GE(full - before, 559);
  EXPECT_LE(full - opened, 600);
  std::printf("Niv after %d cycles of the input clock\n", full - opened);
  EXPECT_TRUE(m.sim.running()) << "no overflow";
}

TEST(SudzModbusE2E, PymodbusProgrammeFillsAndDrainsToTheEnd) {
  machine m;
  ASSERT_NE(m.port, 0) << m.sim.stderr_text();
  int status = 0;
  const std::string out = bridge::run(
      "/usr/bin/python3 " + bridge::peer_path() + " programme " + std::to_string(m.port), &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("done"), std::string::npos) << out;
  // Each step's clocks, read over Modbus from input registers 20 and 21.
  const std::regex step("step ([01]) started at clock ([0-9]+)\nstep \\1 ended at clock ([0-9]+)");
  int steps = 0;
  for (std::sregex_iterator it(out.begin(), out.end(), step), end; it != end; ++it, ++steps) {
    const int cycles = std::stoi((*it)[3]) - std::stoi((*it)[2]);
    // The clocks are read by the programme over Modbus after each write and
    // each sensor change: slack for its delays on a loaded machine.
    if ((*it)[1] == "0") {
      EXPECT_GE(cycles, 555) << "filled in 560 cycles";
      EXPECT_LE(cycles, 620) << "filled in 560 cycles";
    } else {
      EXPECT_GE(cycles, 920) << "drained from level 280 at 0.3 a cycle";
      EXPECT_LE(cycles, 1000) << "drained from level 280 at 0.3 a cycle";
    }
  }
  EXPECT_EQ(steps, 2) << out;
  EXPECT_EQ(m.sim.input(kVide), 1);
  EXPECT_EQ(m.sim.output(kVi), 0);
  EXPECT_EQ(m.sim.output(kVo), 0);
  EXPECT_TRUE(m.sim.running());
}

TEST(SudzModbusE2E, EitherSideKilledLeavesTheOtherSound) {
  {
    machine m;
    ASSERT_NE(m.port, 0);
    const pid_t b = bridge::bridge_of_simulator(m.sim.pid());
    ASSERT_GT(b, 0);
    kill(b, SIGKILL);
    ASSERT_TRUE(e2e::wait_until([&] { return bridge::process_gone(b); }, 30));
    const int now = m.sim.inputs_clock();
    EXPECT_TRUE(e2e::wait_until([&] { return m.sim.inputs_clock() > now + 100; }))
        << "the simulator runs on";
    EXPECT_TRUE(m.sim.running());
  }
  machine m;
  ASSERT_NE(m.port, 0);
  const pid_t b = bridge::bridge_of_simulator(m.sim.pid());
  ASSERT_GT(b, 0);
  const auto killed = clock_type::now();
  kill(m.sim.pid(), SIGKILL);
  ASSERT_TRUE(e2e::wait_until([&] { return bridge::process_gone(b); }, 30));
  const double took = std::chrono::duration<double>(clock_type::now() - killed).count();
  EXPECT_LT(took, 2.0) << "within a second, with room for a loaded machine";
  std::printf("bridge ended %.0f ms after the simulator was killed\n", took * 1000);
}

}  // namespace
