// The elementary types of a controller program and their values.
//
// A value is held as a 64-bit integer or a double, with its type: integers
// wrap to their type's width when stored (an INT holds -32768..32767, a
// BYTE 0..255), BOOL is 0 or 1, TIME counts milliseconds.
#ifndef PLCENGINE_VALUE_H
#define PLCENGINE_VALUE_H

#include <cstdint>
#include <string>

namespace plc {

enum class type : std::uint8_t {
  BOOL,
  SINT,
  INT,
  DINT,
  LINT,
  USINT,
  UINT,
  UDINT,
  ULINT,
  BYTE,
  WORD,
  DWORD,
  LWORD,
  REAL,
  LREAL,
  TIME,
  any_int,   // an integer literal without a type prefix: takes its partner's type
  any_real,  // likewise for a real literal
};

// The type of that IEC name (any case: "int", "Bool"); false if none.
bool type_of_name(const std::string& name, type* out);
const char* type_name(type t);
bool is_real(type t);
bool is_bit_string(type t);  // BOOL, BYTE, WORD, DWORD, LWORD
bool is_integer(type t);     // every integer type, bit strings and TIME included

struct value {
  type t = type::BOOL;
  std::int64_t i = 0;  // integers, BOOL, TIME
  double r = 0;        // REAL, LREAL

  static value of_bool(bool b) { return {type::BOOL, b ? 1 : 0, 0}; }
  static value of_int(type t, std::int64_t v);
  static value of_real(type t, double v);
  bool truth() const { return is_real(t) ? r != 0 : i != 0; }
  std::int64_t as_int() const;
  double as_real() const { return is_real(t) ? r : static_cast<double>(i); }
};

// v converted to t as an assignment or an X_TO_Y function converts: reals
// round to the nearest integer, integers wrap to t's width, anything not 0
// becomes TRUE.
value convert(const value& v, type t);

// A literal's text: TRUE, 16#FF, 2#1010, 8#17, 1_000, -5, 1.5, 1.0E3,
// INT#5, T#1m30s, TIME#250ms. False if it is none or does not fit.
bool parse_literal(const std::string& text, value* out);

// Text of the value as a program would write it ("TRUE", "42", "T#1500ms").
std::string to_text(const value& v);

}  // namespace plc

#endif
