#include "Stringpp/Stringpp.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

// Readers use the signed 8-bit code of a character.
inline int signed_code(char c) {
  return static_cast<signed char>(c);
}
// Character tests use the unsigned code.
inline int unsigned_code(char c) {
  return static_cast<unsigned char>(c);
}

inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
inline bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Writes the decimal digits of v backwards, ending just before `end`; returns the first digit.
inline char* write_digits_backwards(char* end, uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

// Exact fixed-point text of a non-negative finite magnitude, for magnitudes or decimal counts
// beyond 32-bit arithmetic. The C library prints a double's exact binary value when given enough
// digits (a double has at most 1074 fractional decimal digits), so the rounding below works on
// the true value: above one half rounds up, exactly one half is dropped.
std::string dtoS_exact(double magnitude, int decimals) {
  const int kExactDigits = 1074;
  int n = decimals > 0 ? decimals : 0;
  std::vector<char> buf(320 + kExactDigits + 8);
  int len = std::snprintf(buf.data(), buf.size(), "%.*f", kExactDigits, magnitude);
  std::string digits(buf.data(), static_cast<size_t>(len));
  // The radix character depends on the locale: only the digits around it are used.
  const size_t point = digits.find_first_not_of("0123456789");
  const std::string int_part = digits.substr(0, point);
  const std::string frac = digits.substr(digits.size() - kExactDigits);
  if (n >= static_cast<int>(frac.size()))
    return int_part + "." + frac + std::string(n - frac.size(), '0');

  bool up = false;
  if (frac[n] > '5') {
    up = true;
  } else if (frac[n] == '5') {
    up = frac.find_first_not_of('0', n + 1) != std::string::npos;
  }
  std::string kept = int_part + frac.substr(0, n);
  if (up) {
    size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0)
      kept.insert(kept.begin(), '1');
    else
      ++kept[i - 1];
  }
  size_t int_len = kept.size() - n;
  return kept.substr(0, int_len) + "." + kept.substr(int_len);
}

// Decimal reading shared by Stoi, Stol and Stoll; U is the unsigned type of the arithmetic width,
// so overflow wraps without undefined behaviour.
template <typename U>
U read_decimal(const std::string& text) {
  if (text.empty()) return 0;
  U sign = 1;
  U value;
  if (text[0] == '-') {
    sign = static_cast<U>(-1);
    value = 0;
  } else {
    value = static_cast<U>(signed_code(text[0]) - '0');
  }
  for (size_t i = 1; i < text.size(); ++i)
    value = value * 10 + static_cast<U>(signed_code(text[i]) - '0');
  return value * sign;
}

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool is_varname(const std::string& text, bool leading_underscore) {
  if (text.empty()) return false;
  char first = text[0];
  if (!is_ascii_letter(first) && !(leading_underscore && first == '_')) return false;
  size_t last = text.size() - 1;
  for (size_t i = 1; i < last; ++i) {
    char c = text[i];
    if (!is_ascii_letter(c) && !is_digit(c) && c != '_') return false;
  }
  return is_ascii_letter(text[last]) || is_digit(text[last]);
}

}  // namespace

// ---- Number to text ----

std::string dtoS(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  if (std::isinf(magnitude)) return negative ? "-inf" : "inf";
  if (magnitude >= 2147483648.0 || decimals > 9) {
    std::string text = dtoS_exact(magnitude, decimals);
    return negative ? "-" + text : text;
  }

  // Fixed-point arithmetic: a leading 1 is put in front of the decimals so that their leading
  // zeros survive, and the product is taken in extended precision.
  int64_t integer = static_cast<int64_t>(magnitude);
  int64_t p = 1;
  for (int k = 0; k < decimals; ++k) p *= 10;
  const long double f = (static_cast<long double>(magnitude) - integer + 1.0L) * p;
  int64_t r = static_cast<int64_t>(f);
  if (f - r > 0.5L) ++r;
  if (r >= 2 * p) {
    ++integer;
    r = p;
  }

  char buf[48];
  char* end = buf + sizeof buf;
  char* first = write_digits_backwards(end, static_cast<uint64_t>(r));
  // The leading 1 of r is replaced by the point.
  *first = '.';
  first = write_digits_backwards(first, static_cast<uint64_t>(integer));
  if (negative) *--first = '-';
  return std::string(first, end);
}

std::string unslong2S(unsigned long value) {
  char buf[32];
  char* end = buf + sizeof buf;
  return std::string(write_digits_backwards(end, value), end);
}

std::string long2S(long value) {
  if (value < 0) return "-" + unslong2S(0UL - static_cast<unsigned long>(value));
  return unslong2S(static_cast<unsigned long>(value));
}

std::string unslongbyS(unsigned long value) {
  char buf[32];
  char* end = buf + sizeof buf;
  char* p = end;
  do {
    *--p = static_cast<char>('A' + value % 8);
    value /= 8;
  } while (value != 0);
  return std::string(p, end);
}

std::string hex1toS(int value) {
  return std::string(1, "0123456789abcdef"[value & 15]);
}

std::string hex2toS(int value) {
  return hex1toS(value >> 4) + hex1toS(value);
}

std::string hex4toS(int value) {
  return hex2toS(value >> 8) + hex2toS(value);
}

std::string hex8toS(long value) {
  return hex4toS(static_cast<int>(value >> 16)) + hex4toS(static_cast<int>(value & 0xffff));
}

std::string bin8toS(int value) {
  std::string text(8, '0');
  for (int bit = 0; bit < 8; ++bit)
    if (value & (1 << bit)) text[7 - bit] = '1';
  return text;
}

std::string ctoS(char c) {
  return std::string(1, c);
}

char* Stoa(const std::string& text) {
  char* array = new char[text.size() + 1];
  std::memcpy(array, text.data(), text.size());
  array[text.size()] = '\0';
  return array;
}

// ---- Text to number ----

int Stoi(std::string text) {
  return static_cast<int32_t>(read_decimal<uint32_t>(text));
}

long Stol(std::string text) {
  return static_cast<int32_t>(read_decimal<uint32_t>(text));
}

long long Stoll(std::string text) {
  return static_cast<int64_t>(read_decimal<uint64_t>(text));
}

double Stod(std::string text, char separator) {
  const size_t size = text.size();
  size_t i = 0;
  while (i < size && text[i] == ' ') ++i;
  double sign = 1.0;
  if (i < size && text[i] == '-') {
    sign = -1.0;
    ++i;
  }
  const size_t start = i;
  double sum = 0.0;
  int decimals = -1;  // digits after the last separator; -1 before any separator
  for (; i < size; ++i) {
    const char c = text[i];
    if (c == separator) {
      decimals = 0;
    } else if (is_digit(c)) {
      sum = sum * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else {
      break;
    }
  }
  if (decimals <= 0) return sign * sum;
  // Up to 9 decimals, the sum divided by the power of ten. Beyond (more than a 32-bit divisor
  // holds) the correctly rounded value: while the digits sum exactly, that same single division
  // by an exact power of ten rounds once; otherwise the C library reads the digits as mantissa
  // and exponent (no radix character, so no locale dependence).
  if (decimals <= 9 || (sum <= 9007199254740992.0 && decimals <= 22))
    return sign * (sum / kPowersOfTen[decimals]);
  std::string number;
  for (size_t k = start; k < i; ++k)
    if (is_digit(text[k]) && text[k] != separator) number += text[k];
  number += "e-" + std::to_string(decimals);
  return sign * std::strtod(number.c_str(), nullptr);
}

unsigned long Stouhex(const std::string& text) {
  uint32_t value = 0;
  for (char c : text) {
    value <<= 4;
    int digit = hex_digit_value(c);
    if (digit >= 0) value += static_cast<uint32_t>(digit);
  }
  return value;
}

long Stoshex(const std::string& text) {
  const uint32_t value = static_cast<uint32_t>(Stouhex(text));
  if (!text.empty() && signed_code(text[0]) >= '8') {
    if (text.size() < 8) return static_cast<long>(value) - (1L << (4 * text.size()));
    return static_cast<int32_t>(value);
  }
  return static_cast<long>(value);
}

unsigned long Stoubin(const std::string& text) {
  uint32_t value = 0;
  for (char c : text) value = value * 2 + static_cast<uint32_t>(signed_code(c) - '0');
  return value;
}

int Stosbin(const std::string& text) {
  if (text.empty()) return 0;
  if (text[0] == '0') return static_cast<int32_t>(Stoubin(text.substr(1)));
  uint32_t inverted = 0;
  for (size_t i = 1; i < text.size(); ++i)
    inverted = inverted * 2 + static_cast<uint32_t>('1' - signed_code(text[i]));
  return static_cast<int32_t>(static_cast<uint32_t>(-1) - inverted);
}

long Stohex(const std::string& text, const std::string& suffix) {
  const size_t p = text.find(suffix);
  if (p != std::string::npos) return static_cast<long>(Stouhex(text.substr(0, p)));
  const long value = Stol(text);
  std::cerr << "Decimal Conversion " << value << std::endl;
  return value;
}

long Stoloruhex(const std::string& prefix, const std::string& text) {
  const size_t p = text.find(prefix);
  if (p != std::string::npos) return static_cast<long>(Stouhex(text.substr(p)));
  return Stol(text);
}

// ---- Checks ----

int checkuint(const std::string& text) {
  if (text.empty()) return 0;
  for (char c : text)
    if (!is_digit(c)) return 0;
  return 1;
}

int checkint(const std::string& text) {
  if (text.empty()) return 0;
  if (checkuint(text)) return 1;
  return text[0] == '-' && checkuint(text.substr(1)) ? 1 : 0;
}

int checkdouble(const std::string&) {
  std::cerr << "checkdouble() a ecrire" << std::endl;
  return 1;
}

int checkhex(const std::string& text) {
  for (char c : text)
    if (hex_digit_value(c) < 0) return 0;
  return 1;
}

int checkhexintel(const std::string& text) {
  if (text.empty() || text.back() != 'h') return 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (hex_digit_value(text[i]) < 0) return 0;
  return 1;
}

int checkbin(const std::string& text) {
  for (char c : text)
    if (c != '0' && c != '1') return 0;
  return 1;
}

int beginbynumber(const std::string& text) {
  return !text.empty() && is_digit(text[0]) ? 1 : 0;
}

int checkvarname(const std::string& text) {
  return is_varname(text, false) ? 1 : 0;
}

int checkvarname_with_pre_underscore(const std::string& text) {
  return is_varname(text, true) ? 1 : 0;
}

int check_ISO_8859_1_alphabetical_letter(char c) {
  const int code = unsigned_code(c);
  return (code >= 65 && code <= 90) || (code >= 97 && code <= 122) || code == 181 ||
                 (code >= 192 && code <= 214) || (code >= 217 && code <= 246) ||
                 (code >= 249 && code <= 253) || code == 255
             ? 1
             : 0;
}

int est_lc(char c) {
  return is_ascii_letter(c) || is_digit(c) || c == '_' || c == '@' ? 1 : 0;
}

// ---- Cutting by position ----

std::string my_after(const std::string& text, int pos) {
  if (pos < 0) pos = 0;
  if (static_cast<size_t>(pos) >= text.size()) return std::string();
  return text.substr(static_cast<size_t>(pos));
}

std::string my_before(std::string text, int n) {
  if (n <= 0) return std::string();
  if (static_cast<size_t>(n) < text.size()) text.resize(static_cast<size_t>(n));
  return text;
}

std::string my_at(const std::string& text, int from, int to) {
  if (from < 0) from = 0;
  if (to < 0) to = 0;
  if (static_cast<size_t>(from) >= text.size() || to <= from) return std::string();
  size_t end = static_cast<size_t>(to) < text.size() ? static_cast<size_t>(to) : text.size();
  return text.substr(static_cast<size_t>(from), end - static_cast<size_t>(from));
}
