// The Modbus map of an exchange area, derived from its counts alone.
//
// With n inputs and m outputs, in the simulator's order:
//   discrete inputs 0..n-1    inputs, 1 when not 0
//   coils 0..m-1              outputs, 1 when exactly 1 (as the simulator reads them)
//   input registers 0..n-1    inputs as 16-bit words
//   holding registers 0..m-1  outputs as 16-bit words, written as they are
//   input registers C, C+1    the input clock, high word first; C is 20, or n
//                             when there are more than 20 inputs
// Functions 1 to 6, 15 and 16 are served. check() decides, before anything
// is touched, whether a request is served or which exception answers it, so
// that no request ever reaches outside the area.
#ifndef SUDZ_MODBUS_REGISTER_MAP_H
#define SUDZ_MODBUS_REGISTER_MAP_H

#include <cstdint>
#include <string>
#include <vector>

#include <modbus.h>

class area_values;

class register_map {
 public:
  register_map(int inputs, int outputs);

  int inputs() const { return n_; }
  int outputs() const { return m_; }
  // First input register of the clock.
  int clock_address() const { return clock_; }

  // The exception code answering the request PDU (function code first,
  // length bytes), or 0 when it is served: 1 unknown function, 2 address
  // outside the map, 3 bad quantity, value or length.
  int check(const uint8_t* pdu, int length) const;

  // Applies a checked write request to the area's outputs; reads do nothing.
  void apply_writes(const uint8_t* pdu, area_values& area) const;

  // A libmodbus mapping large enough for the map; fill() copies the area
  // into it so that modbus_reply answers reads with what the area holds.
  modbus_mapping_t* new_mapping() const;
  void fill(modbus_mapping_t* mapping, const area_values& area) const;

  // The map as printed at start, with the signals' names.
  std::string describe(const area_values& area) const;

 private:
  int n_, m_, clock_;
};

#endif
