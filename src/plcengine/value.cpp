#include "plcengine/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace plc {

namespace {

struct type_info {
  const char* name;
  type t;
  int bits;  // 0: not an integer stored by width
  bool is_signed;
};
const type_info types[] = {
    {"BOOL", type::BOOL, 1, false},    {"SINT", type::SINT, 8, true},
    {"INT", type::INT, 16, true},      {"DINT", type::DINT, 32, true},
    {"LINT", type::LINT, 64, true},    {"USINT", type::USINT, 8, false},
    {"UINT", type::UINT, 16, false},   {"UDINT", type::UDINT, 32, false},
    {"ULINT", type::ULINT, 64, false}, {"BYTE", type::BYTE, 8, false},
    {"WORD", type::WORD, 16, false},   {"DWORD", type::DWORD, 32, false},
    {"LWORD", type::LWORD, 64, false}, {"REAL", type::REAL, 0, true},
    {"LREAL", type::LREAL, 0, true},   {"TIME", type::TIME, 64, true},
};

const type_info* info(type t) {
  for (const type_info& k : types)
    if (k.t == t) return &k;
  return nullptr;
}

std::string upper(const std::string& s) {
  std::string u = s;
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::int64_t wrap(std::int64_t v, int bits, bool is_signed) {
  if (bits >= 64) return v;
  if (bits == 1) return v != 0 ? 1 : 0;
  const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  std::uint64_t u = static_cast<std::uint64_t>(v) & mask;
  if (is_signed && (u >> (bits - 1)) != 0) u |= ~mask;
  return static_cast<std::int64_t>(u);
}

// A duration's text after '#': "1m30s", "1.5s", "250ms", "-2s"; ms rounded.
bool parse_duration(const std::string& s, std::int64_t* ms) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  long double total = 0;
  bool any = false;
  while (i < s.size()) {
    long double number = 0, scale = 1;
    bool fraction = false, digit = false;
    for (; i < s.size(); ++i) {
      const char c = s[i];
      if (c == '_') continue;
      if (c == '.' && !fraction) {
        fraction = true;
        continue;
      }
      if (!std::isdigit(static_cast<unsigned char>(c))) break;
      digit = true;
      if (fraction) {
        scale /= 10;
        number += (c - '0') * scale;
      } else {
        number = number * 10 + (c - '0');
      }
      if (number > 1e16L) return false;
    }
    if (!digit || i >= s.size()) return false;
    long double unit = 0;
    const char u = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    const char next = i + 1 < s.size()
                          ? static_cast<char>(std::tolower(static_cast<unsigned char>(s[i + 1])))
                          : 0;
    if (u == 'm' && next == 's') {
      unit = 1, i += 2;
    } else if (u == 'u' && next == 's') {
      unit = 0.001L, i += 2;
    } else if (u == 'n' && next == 's') {
      unit = 0.000001L, i += 2;
    } else {
      unit = u == 'd'   ? 86400000.0L
             : u == 'h' ? 3600000.0L
             : u == 'm' ? 60000.0L
             : u == 's' ? 1000.0L
                        : 0;
      if (unit == 0) return false;
      ++i;
    }
    if (i < s.size() && s[i] == '_') ++i;
    total += number * unit;
    any = true;
    if (total > 9.0e15L) return false;
  }
  if (!any) return false;
  const std::int64_t v = static_cast<std::int64_t>(total + 0.5L);
  *ms = negative ? -v : v;
  return true;
}

bool parse_integer(const std::string& s, int base, std::int64_t* out) {
  if (s.empty()) return false;
  std::uint64_t v = 0;
  bool digit = false;
  for (char c : s) {
    if (c == '_') continue;
    int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : std::isxdigit(static_cast<unsigned char>(c))
                ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                : 99;
    if (d >= base) return false;
    if (v > (std::numeric_limits<std::uint64_t>::max() - d) / base) return false;
    v = v * base + d;
    digit = true;
  }
  if (!digit) return false;
  *out = static_cast<std::int64_t>(v);
  return true;
}

}  // namespace

bool type_of_name(const std::string& name, type* out) {
  const std::string u = upper(name);
  for (const type_info& k : types) {
    if (u == k.name) {
      *out = k.t;
      return true;
    }
  }
  return false;
}

const char* type_name(type t) {
  if (t == type::any_int) return "INT";
  if (t == type::any_real) return "REAL";
  const type_info* k = info(t);
  return k ? k->name : "?";
}

bool is_real(type t) {
  return t == type::REAL || t == type::LREAL || t == type::any_real;
}
bool is_bit_string(type t) {
  return t == type::BOOL || t == type::BYTE || t == type::WORD || t == type::DWORD ||
         t == type::LWORD;
}
bool is_integer(type t) {
  return !is_real(t);
}

value value::of_int(type t, std::int64_t v) {
  value x;
  x.t = t;
  if (is_real(t)) {
    x.r = static_cast<double>(v);
    if (t == type::REAL) x.r = static_cast<float>(x.r);
    return x;
  }
  const type_info* k = info(t);
  x.i = k ? wrap(v, k->bits, k->is_signed) : v;
  return x;
}

value value::of_real(type t, double v) {
  value x;
  x.t = t;
  x.r = t == type::REAL ? static_cast<double>(static_cast<float>(v)) : v;
  return x;
}

std::int64_t value::as_int() const {
  if (!is_real(t)) return i;
  if (!std::isfinite(r)) return 0;
  const double n = std::nearbyint(r);
  if (n >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
  if (n <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(n);
}

value convert(const value& v, type t) {
  if (t == type::BOOL) return value::of_bool(v.truth());
  if (is_real(t)) return value::of_real(t, v.as_real());
  return value::of_int(t, v.as_int());
}

bool parse_literal(const std::string& text, value* out) {
  std::string s = text;
  if (s.empty()) return false;
  const std::string u = upper(s);
  if (u == "TRUE") return *out = value::of_bool(true), true;
  if (u == "FALSE") return *out = value::of_bool(false), true;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    s = s.substr(1);
  }
  const size_t hash = s.find('#');
  type t = type::any_int;
  if (hash != std::string::npos) {
    const std::string prefix = upper(s.substr(0, hash));
    const std::string rest = s.substr(hash + 1);
    if (prefix == "T" || prefix == "TIME" || prefix == "LTIME" || prefix == "LT") {
      std::int64_t ms = 0;
      if (!parse_duration(rest, &ms)) return false;
      *out = value::of_int(type::TIME, negative ? -ms : ms);
      return true;
    }
    std::int64_t v = 0;
    if (prefix == "16" || prefix == "8" || prefix == "2") {
      if (!parse_integer(rest, std::stoi(prefix), &v)) return false;
      *out = value::of_int(type::any_int, negative ? -v : v);
      return true;
    }
    // A typed literal: INT#5, BOOL#1, WORD#16#FF, REAL#1.5.
    if (!type_of_name(prefix, &t) || t == type::TIME) return false;
    value inner;
    if (!parse_literal(rest, &inner)) return false;
    if (t == type::BOOL && !inner.truth() && inner.i != 0) return false;
    if (negative)
      inner = inner.t == type::any_real ? value::of_real(type::any_real, -inner.r)
                                        : value::of_int(inner.t, -inner.i);
    *out = convert(inner, t);
    return true;
  }
  const bool real = s.find_first_of(".eE") != std::string::npos;
  if (real) {
    std::string digits;
    for (char c : s)
      if (c != '_') digits += c;
    if (!std::isdigit(static_cast<unsigned char>(digits[0]))) return false;
    char* end = nullptr;
    const double d = std::strtod(digits.c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(d)) return false;
    *out = value::of_real(type::any_real, negative ? -d : d);
    return true;
  }
  std::int64_t v = 0;
  if (!parse_integer(s, 10, &v)) return false;
  *out = value::of_int(type::any_int, negative ? -v : v);
  return true;
}

std::string to_text(const value& v) {
  char buf[64];
  if (v.t == type::BOOL) return v.i ? "TRUE" : "FALSE";
  if (v.t == type::TIME) return "T#" + std::to_string(v.i) + "ms";
  if (is_real(v.t)) {
    std::snprintf(buf, sizeof buf, "%g", v.r);
    return buf;
  }
  return std::to_string(v.i);
}

}  // namespace plc
