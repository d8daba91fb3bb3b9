// The heated tank served over Modbus TCP by sudz-modbus, unchanged, to mbpoll: the values in
// input registers, the inlet valve written as a holding register, and the level rising.
#include <gtest/gtest.h>

#include <vector>

#include "e2e/e2e_support.h"
#include "sudz-modbus/bridge_support.h"

namespace {

constexpr int input_registers = 3, holding_registers = 4;  // mbpoll's table types
constexpr int lt = 0, ll = 4, spl = 5, spt = 6, aut = 7;   // input registers
constexpr int vin = 0;                                     // holding register

TEST(TankModbus, MbpollOpensTheInletValveAndSeesTheLevelRise) {
  e2e::sim_process sim = e2e::sim_process::raw({bridge::bridge_path(), "--port", "0"}, SUDZ_TANK);
  const int port = bridge::listening_port(sim.dir() + "/stdout");
  ASSERT_NE(port, 0) << sim.stderr_text();
  sim.segment_of_simulator();
  ASSERT_TRUE(e2e::wait_until([&] { return sim.inputs_clock() > 0; }));

  const std::vector<int> at_rest = bridge::mbpoll_read(port, input_registers, 0, 8);
  ASSERT_EQ(at_rest.size(), 8u) << "eight inputs as words";
  EXPECT_LE(at_rest[lt], 6) << "empty, within the level's noise";
  EXPECT_EQ(at_rest[ll], 1);
  EXPECT_EQ(at_rest[spl], 500);
  EXPECT_EQ(at_rest[spt], 400);
  EXPECT_EQ(at_rest[aut], 1);

  ASSERT_TRUE(bridge::mbpoll_write(port, holding_registers, vin, {100}));
  EXPECT_EQ(sim.output(vin), 100) << "in the area before the reply";
  // The valve opens in 800 cycles, then the level rises by 0.1 mm a cycle, less what the
  // draw-off takes: well over 50 mm after 1,400 cycles.
  const int opened = sim.inputs_clock();
  ASSERT_TRUE(e2e::wait_until([&] { return sim.inputs_clock() > opened + 1400; }, 300));
  const std::vector<int> filling = bridge::mbpoll_read(port, input_registers, lt, 1);
  ASSERT_EQ(filling.size(), 1u);
  EXPECT_GT(filling[0], 50);
  EXPECT_LT(filling[0], 200);
  ASSERT_TRUE(bridge::mbpoll_write(port, holding_registers, vin, {0}));
  EXPECT_EQ(bridge::mbpoll_read(port, holding_registers, vin, 1), std::vector<int>{0});
  EXPECT_TRUE(sim.running());
}

}  // namespace
