#include "sudz-modbus/register_map.h"

#include <algorithm>
#include <cstdio>

#include "sudz-modbus/area_values.h"

namespace {

// Modbus limits on the quantity of one request.
constexpr int kMaxReadBits = 2000;
constexpr int kMaxReadWords = 125;
constexpr int kMaxWriteBits = 1968;
constexpr int kMaxWriteWords = 123;
// Where the input clock lives when the inputs leave room for it.
constexpr int kClockAddress = 20;

constexpr int kIllegalFunction = 1;
constexpr int kIllegalAddress = 2;
constexpr int kIllegalValue = 3;

int word(const uint8_t* p) {
  return (p[0] << 8) | p[1];
}

// True when [address, address + count) lies within [0, size).
bool inside(int address, int count, int size) {
  return address + count <= size;
}

}  // namespace

register_map::register_map(int inputs, int outputs)
    : n_(inputs), m_(outputs), clock_(std::max(kClockAddress, inputs)) {}

int register_map::check(const uint8_t* pdu, int length) const {
  if (length < 1) return kIllegalValue;
  const int function = pdu[0];
  switch (function) {
    case 0x01:    // read coils
    case 0x02:    // read discrete inputs
    case 0x03:    // read holding registers
    case 0x04: {  // read input registers
      if (length != 5) return kIllegalValue;
      const int address = word(pdu + 1), count = word(pdu + 3);
      const bool bits = function <= 0x02;
      if (count < 1 || count > (bits ? kMaxReadBits : kMaxReadWords)) return kIllegalValue;
      if (function == 0x01 || function == 0x03)
        return inside(address, count, m_) ? 0 : kIllegalAddress;
      if (function == 0x02) return inside(address, count, n_) ? 0 : kIllegalAddress;
      const bool in_values = inside(address, count, n_);
      const bool in_clock = address >= clock_ && inside(address, count, clock_ + 2);
      const bool across = clock_ == n_ && inside(address, count, n_ + 2);
      return in_values || in_clock || across ? 0 : kIllegalAddress;
    }
    case 0x05:    // write single coil
    case 0x06: {  // write single register
      if (length != 5) return kIllegalValue;
      const int value = word(pdu + 3);
      if (function == 0x05 && value != 0xFF00 && value != 0x0000) return kIllegalValue;
      return word(pdu + 1) < m_ ? 0 : kIllegalAddress;
    }
    case 0x0F:    // write multiple coils
    case 0x10: {  // write multiple registers
      if (length < 6) return kIllegalValue;
      const int address = word(pdu + 1), count = word(pdu + 3), bytes = pdu[5];
      const bool bits = function == 0x0F;
      if (count < 1 || count > (bits ? kMaxWriteBits : kMaxWriteWords)) return kIllegalValue;
      if (bytes != (bits ? (count + 7) / 8 : 2 * count) || length != 6 + bytes)
        return kIllegalValue;
      return inside(address, count, m_) ? 0 : kIllegalAddress;
    }
    default:
      return kIllegalFunction;
  }
}

void register_map::apply_writes(const uint8_t* pdu, area_values& area) const {
  const int address = word(pdu + 1);
  switch (pdu[0]) {
    case 0x05:
      area.set_output(address, word(pdu + 3) == 0xFF00 ? 1 : 0);
      break;
    case 0x06:
      area.set_output(address, word(pdu + 3));
      break;
    case 0x0F:
      for (int k = 0; k < word(pdu + 3); ++k) {
        area.set_output(address + k, (pdu[6 + k / 8] >> (k % 8)) & 1);
      }
      break;
    case 0x10:
      for (int k = 0; k < word(pdu + 3); ++k) area.set_output(address + k, word(pdu + 6 + 2 * k));
      break;
    default:
      break;
  }
}

modbus_mapping_t* register_map::new_mapping() const {
  return modbus_mapping_new(m_, n_, m_, clock_ + 2);
}

void register_map::fill(modbus_mapping_t* mapping, const area_values& area) const {
  int32_t clock = 0;
  const std::vector<int> in = area.inputs(&clock);
  for (int i = 0; i < n_; ++i) {
    mapping->tab_input_bits[i] = in[i] != 0;
    mapping->tab_input_registers[i] = static_cast<uint16_t>(in[i]);
  }
  const uint32_t c = static_cast<uint32_t>(clock);
  mapping->tab_input_registers[clock_] = static_cast<uint16_t>(c >> 16);
  mapping->tab_input_registers[clock_ + 1] = static_cast<uint16_t>(c);
  for (int i = 0; i < m_; ++i) {
    const int value = area.output(i);
    mapping->tab_bits[i] = value == 1;
    mapping->tab_registers[i] = static_cast<uint16_t>(value);
  }
}

std::string register_map::describe(const area_values& area) const {
  std::string text = "Modbus map: " + std::to_string(n_) + " inputs, " + std::to_string(m_) +
                     " outputs\n  address  discrete input/input register  coil/holding register\n";
  char line[160];
  for (int a = 0; a < std::max(n_, m_); ++a) {
    std::snprintf(line, sizeof line, "  %7d  %-30s  %s\n", a, area.input_name(a).c_str(),
                  area.output_name(a).c_str());
    text += line;
  }
  std::snprintf(line, sizeof line, "  input registers %d and %d: input clock, high word first\n",
                clock_, clock_ + 1);
  return text + line;
}
