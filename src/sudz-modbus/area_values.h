// What a Modbus request reads and writes of an exchange area: the bridge's link to a real area,
// or values held in memory, so that request handling is exercised without a simulator.
// Numbers follow the simulator's order; a number outside the counts reads "" or 0 and writes
// nothing.
#ifndef SUDZ_MODBUS_AREA_VALUES_H
#define SUDZ_MODBUS_AREA_VALUES_H

#include <cstdint>
#include <string>
#include <vector>

class area_values {
 public:
  virtual ~area_values() = default;
  virtual int input_count() const = 0;
  virtual int output_count() const = 0;
  virtual std::string input_name(int i) const = 0;
  virtual std::string output_name(int i) const = 0;
  // Every input of the latest snapshot, and its input clock.
  virtual std::vector<int> inputs(int32_t* clock) const = 0;
  virtual int output(int i) const = 0;
  virtual void set_output(int i, int value) = 0;
};

#endif
