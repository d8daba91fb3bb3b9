#include "Stringpp/Stringpp.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

std::string code_text(int code) {
  return std::string(1, static_cast<char>(code));
}

// ---------------------------------------------------------------------------------------------
// Fixed-point writing

TEST(DtoS, Table) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {3.14159, 2, "3.14"},
      {-2.5, 1, "-2.5"},
      {20, 1, "20.0"},
      {10, 1, "10.0"},
      {0.004, 2, "0.00"},
      {0.007, 2, "0.01"},
      {2.999, 2, "3.00"},
      {9.96, 1, "10.0"},
      {7.25, 0, "7."},
      {7.5, 0, "7."},  // exactly one half is dropped
      {7.51, 0, "8."},
      {7.6, -3, "8."},  // negative decimal counts behave like 0
      {-0.001, 2, "-0.00"},
      {-0.0, 2, "0.00"},
      {0.0, 0, "0."},
      {0.125, 2, "0.12"},
      {0.375, 2, "0.37"},
      {0.25, 1, "0.2"},
      {1.05, 3, "1.050"},
      {0.0001, 4, "0.0001"},
      {0.5, 9, "0.500000000"},
      {123456789.123456789, 9, "123456789.123456791"},
      {2147483647.0, 1, "2147483647.0"},
      // The integer part grows past 32 bits when the decimals round up.
      {2147483647.96, 1, "2147483648.0"},
      // Magnitudes beyond 32 bits and decimal counts beyond 9 give the exact fixed-point text.
      {2147483648.0, 2, "2147483648.00"},
      {-4294967296.25, 1, "-4294967296.2"},
      {1e20, 2, "100000000000000000000.00"},
      {9999999999.96, 1, "10000000000.0"},
      {99.999999999996, 10, "100.0000000000"},
      {1e15 + 0.75, 1, "1000000000000000.7"},
      {9007199254740993.0, 0, "9007199254740992."},
      {0.1, 20, "0.10000000000000000555"},
      {0.1, 10, "0.1000000000"},
      {1.0 / 3, 12, "0.333333333333"},
      {2.0 / 3, 12, "0.666666666667"},
      {0.5e-10 + 0.5e-10, 10, "0.0000000001"},
      {std::ldexp(1.0, -11), 10, "0.0004882812"},  // 0.00048828125: one half dropped
      {-9.99999999999, 10, "-10.0000000000"},      // the double lies just above
  };
  for (const Case& c : cases)
    EXPECT_EQ(dtoS(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
}

TEST(DtoS, NotFiniteAndExtremes) {
  EXPECT_EQ(dtoS(std::nan(""), 2), "nan");
  EXPECT_EQ(dtoS(INFINITY, 1), "inf");
  EXPECT_EQ(dtoS(-INFINITY, 1), "-inf");
  const std::string max = dtoS(1.7976931348623157e308, 2);
  EXPECT_EQ(max.size(), 309u + 3u);
  EXPECT_EQ(max.substr(0, 17), "17976931348623157");
  EXPECT_EQ(max.substr(max.size() - 3), ".00");
  // More decimals than a double can carry: exact digits, then zeros.
  const std::string tiny = dtoS(std::ldexp(1.0, -1074), 1100);
  EXPECT_EQ(tiny.size(), 2u + 1100u);
  EXPECT_EQ(tiny.substr(0, 2 + 323), "0." + std::string(323, '0'));
  EXPECT_EQ(tiny.substr(2 + 323, 5), "49406");
  EXPECT_EQ(tiny.find_last_not_of('0'), 2u + 1073u);
}

// Independent reference of the rounding rule: the C library's correctly rounded digits, except
// at an exact tie, where the remainder of one half is dropped.

// True when 2 * 10^n * x is an odd integer, i.e. x lies exactly halfway between two n-decimal
// numbers. With x = m * 2^e, that product is m * 5^n * 2^(e + 1 + n).
bool is_exact_tie(double x, int n) {
  if (x == 0) return false;
  int e;
  const double m = std::frexp(x, &e);
  const uint64_t mi = static_cast<uint64_t>(std::ldexp(m, 53));
  const int shift = -(e - 53 + 1 + n);
  return shift >= 0 && __builtin_ctzll(mi) == shift;
}

std::string reference_dtoS(double x, int n) {
  const bool negative = x < 0;
  const double mag = std::fabs(x);
  if (n < 0) n = 0;
  std::vector<char> buf(2000);
  std::string body;
  if (is_exact_tie(mag, n)) {
    std::snprintf(buf.data(), buf.size(), "%.*f", n + 1, mag);
    body = buf.data();
    body.pop_back();  // the digit 5 that is dropped
  } else {
    std::snprintf(buf.data(), buf.size(), "%.*f", n, mag);
    body = buf.data();
    if (n == 0) body += ".";
  }
  return negative ? "-" + body : body;
}

// Distance of the remainder (in units of the last decimal) from one half.
double distance_from_half(double mag, int n) {
  char buf[800];
  std::snprintf(buf, sizeof buf, "%.*f", n + 30, mag);
  const std::string s(buf);
  const std::string rest = "0." + s.substr(s.find('.') + 1 + n);
  return std::fabs(static_cast<double>(std::strtold(rest.c_str(), nullptr) - 0.5L));
}

TEST(DtoS, MatchesReferenceOnRandomValues) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int checked = 0;
  int near_ties = 0;
  for (int i = 0; i < 40000; ++i) {
    double x;
    switch (i % 4) {
      case 0:  // uniform over a random decade below 10^9
        x = unit(rng) * std::pow(10.0, static_cast<int>(rng() % 10));
        break;
      case 1:  // few decimals written in decimal, many of them near a tie
        x = static_cast<double>(rng() % 100000000) / std::pow(10.0, static_cast<int>(rng() % 12));
        break;
      case 2: {  // any bit pattern below 2^31
        const uint64_t bits = rng() & 0x7fffffffffffffffULL;
        double y;
        std::memcpy(&y, &bits, sizeof y);
        x = std::isfinite(y) && y < 2147483648.0 ? y : unit(rng);
        break;
      }
      default:  // near whole units, where the decimals carry into the integer part
        x = static_cast<double>(rng() % 1000000) + 1.0 -
            std::pow(10.0, -static_cast<int>(rng() % 12));
        break;
    }
    if (rng() & 1) x = -x;
    for (int n = 0; n <= 9; ++n) {
      const double mag = std::fabs(x);
      // Extended precision (64-bit mantissa) cannot separate a remainder this close to one
      // half: the product carries an error of about 2.2e-19 * 10^n units of the last decimal.
      if (!is_exact_tie(mag, n) && distance_from_half(mag, n) < 1e-18 * std::pow(10.0, n)) {
        ++near_ties;
        continue;
      }
      ASSERT_EQ(dtoS(x, n), reference_dtoS(x, n)) << std::hexfloat << x << " n=" << n;
      ++checked;
    }
  }
  EXPECT_LT(near_ties, checked / 1000);
}

TEST(DtoS, ExactHalvesAreDropped) {
  // x = I + (2j + 1) / 2^(n + 1) lies exactly halfway at n decimals.
  std::mt19937_64 rng(7);
  for (int n = 0; n <= 9; ++n) {
    for (int i = 0; i < 500; ++i) {
      const double integer = static_cast<double>(rng() % 2000000000);
      const double odd = static_cast<double>(2 * (rng() % (1ULL << n)) + 1);
      const double x = integer + std::ldexp(odd, -(n + 1));
      ASSERT_TRUE(is_exact_tie(x, n));
      ASSERT_EQ(dtoS(x, n), reference_dtoS(x, n)) << std::hexfloat << x << " n=" << n;
      ASSERT_EQ(dtoS(-x, n), reference_dtoS(-x, n)) << std::hexfloat << -x << " n=" << n;
    }
  }
}

TEST(DtoS, WideRangeMatchesReference) {
  std::mt19937_64 rng(99);
  for (int i = 0; i < 3000; ++i) {
    const uint64_t bits = rng();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (!std::isfinite(x)) continue;
    const int n = static_cast<int>(rng() % 25);
    if (std::fabs(x) < 2147483648.0 && n <= 9) continue;
    ASSERT_EQ(dtoS(x, n), reference_dtoS(x, n)) << std::hexfloat << x << " n=" << n;
  }
  for (int n = 10; n <= 20; ++n) {
    for (double x : {0.005, 2.675, 1.0 / 3, 1e-12, 123.456, 2147483647.5}) {
      EXPECT_EQ(dtoS(x, n), reference_dtoS(x, n)) << x << " n=" << n;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Integer and character writers

TEST(IntegerWriters, Table) {
  EXPECT_EQ(unslong2S(0), "0");
  EXPECT_EQ(unslong2S(4294967295UL), "4294967295");
  EXPECT_EQ(unslong2S(ULONG_MAX), std::to_string(ULONG_MAX));
  EXPECT_EQ(long2S(-45), "-45");
  EXPECT_EQ(long2S(0), "0");
  EXPECT_EQ(long2S(INT32_MIN), "-2147483648");
  EXPECT_EQ(long2S(LONG_MIN), std::to_string(LONG_MIN));
  EXPECT_EQ(unslongbyS(0), "A");
  EXPECT_EQ(unslongbyS(7), "H");
  EXPECT_EQ(unslongbyS(8), "BA");
  EXPECT_EQ(unslongbyS(511), "HHH");
  EXPECT_EQ(unslongbyS(512), "BAAA");
  EXPECT_EQ(ctoS('x'), "x");
  EXPECT_EQ(ctoS('\0'), std::string(1, '\0'));
}

TEST(IntegerWriters, DecimalRoundTrips) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 20000; ++i) {
    const uint64_t bits = rng();
    const int32_t v = static_cast<int32_t>(bits);
    const long long w = static_cast<long long>(bits);
    ASSERT_EQ(long2S(v), std::to_string(v));
    ASSERT_EQ(Stoi(long2S(v)), v);
    ASSERT_EQ(Stol(long2S(v)), v);
    ASSERT_EQ(Stoll(long2S(w)), w);
    ASSERT_EQ(unslong2S(bits), std::to_string(static_cast<unsigned long>(bits)));
    // Letters in base 8, decoded back.
    unsigned long decoded = 0;
    for (char c : unslongbyS(bits)) {
      ASSERT_TRUE(c >= 'A' && c <= 'H');
      decoded = decoded * 8 + static_cast<unsigned long>(c - 'A');
    }
    ASSERT_EQ(decoded, bits);
  }
}

TEST(HexBinWriters, Table) {
  EXPECT_EQ(hex1toS(10), "a");
  EXPECT_EQ(hex1toS(0x1f), "f");
  EXPECT_EQ(hex2toS(200), "c8");
  EXPECT_EQ(hex2toS(0x1234), "34");
  EXPECT_EQ(hex2toS(-1), "ff");
  EXPECT_EQ(hex4toS(-1), "ffff");
  EXPECT_EQ(hex4toS(0xabcde), "bcde");
  EXPECT_EQ(hex8toS(-1), "ffffffff");
  EXPECT_EQ(hex8toS(0x12345678), "12345678");
  EXPECT_EQ(hex8toS(0x7f00000001L), "00000001");
  EXPECT_EQ(bin8toS(5), "00000101");
  EXPECT_EQ(bin8toS(256), "00000000");
  EXPECT_EQ(bin8toS(-1), "11111111");
}

TEST(HexBinWriters, RoundTripsThroughReaders) {
  for (int v = -70000; v <= 70000; ++v) {
    const std::string h1 = hex1toS(v), h2 = hex2toS(v), h4 = hex4toS(v), b8 = bin8toS(v);
    ASSERT_EQ(h1.size(), 1u);
    ASSERT_EQ(h2, hex1toS(v >> 4) + hex1toS(v));
    ASSERT_EQ(h4, hex2toS(v >> 8) + hex2toS(v));
    ASSERT_EQ(Stouhex(h1), static_cast<unsigned long>(v & 0xf));
    ASSERT_EQ(Stouhex(h2), static_cast<unsigned long>(v & 0xff));
    ASSERT_EQ(Stouhex(h4), static_cast<unsigned long>(v & 0xffff));
    ASSERT_EQ(Stoshex(h2), static_cast<int8_t>(v)) << h2;
    ASSERT_EQ(Stoshex(h4), static_cast<int16_t>(v)) << h4;
    ASSERT_EQ(Stoubin(b8), static_cast<unsigned long>(v & 0xff)) << b8;
    ASSERT_EQ(Stosbin(b8), static_cast<int8_t>(v)) << b8;
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 100000; ++i) {
    const uint32_t u = rng();
    const long v = static_cast<int32_t>(u);
    const std::string h8 = hex8toS(v);
    ASSERT_EQ(h8, hex4toS(static_cast<int>(v >> 16)) + hex4toS(static_cast<int>(v)));
    ASSERT_EQ(Stouhex(h8), u);
    ASSERT_EQ(Stoshex(h8), v);
    std::string upper = h8;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(Stouhex(upper), u);
    // 32 binary digits read back both ways.
    const std::string b32 = bin8toS(static_cast<int>(u >> 24)) +
                            bin8toS(static_cast<int>(u >> 16)) + bin8toS(static_cast<int>(u >> 8)) +
                            bin8toS(static_cast<int>(u));
    ASSERT_EQ(Stoubin(b32), u);
    ASSERT_EQ(Stosbin(b32), static_cast<int32_t>(u));
  }
}

TEST(Stoa, CopiesEveryCharacterAndEndsWithNul) {
  const std::string texts[] = {"", "abc", std::string("a\0b", 3), std::string(1000, 'x') + "\xe9"};
  for (const std::string& text : texts) {
    char* array = Stoa(text);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(std::string(array, text.size()), text);
    EXPECT_EQ(array[text.size()], '\0');
    delete[] array;
  }
}

// ---------------------------------------------------------------------------------------------
// Readers

TEST(DecimalReaders, Table) {
  struct Case {
    std::string text;
    int value;
  };
  const Case cases[] = {
      {"", 0},
      {"0", 0},
      {"42", 42},
      {"-12", -12},
      {"-", 0},
      {"+5", -45},
      {"12a", 169},
      {"007", 7},
      {"-0", 0},
      {" 1", -159},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MIN},
      {"4294967296", 0},
      {"-2147483648", INT32_MIN},
      {"\xe9", -71},
      {"1\xe9", -61},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Stoi(c.text), c.value) << c.text;
    EXPECT_EQ(Stol(c.text), c.value) << c.text;
  }
  EXPECT_EQ(Stoll("4294967296"), 4294967296LL);
  EXPECT_EQ(Stoll("-9223372036854775808"), LLONG_MIN);
  EXPECT_EQ(Stoll("9223372036854775808"), LLONG_MIN);
  EXPECT_EQ(Stoll("+5"), -45);
  EXPECT_EQ(Stoll(""), 0);
}

TEST(Stod, Table) {
  struct Case {
    std::string text;
    char separator;
    double value;
  };
  const Case cases[] = {
      {"3,75", ',', 3.75},
      {"3.75", ',', 3},
      {"  -0.5x", '.', -0.5},
      {"1.2.3", '.', 12.3},
      {"12", '.', 12},
      {"12.", '.', 12},
      {".5", '.', 0.5},
      {"+1", '.', 0},
      {"", '.', 0},
      {"   ", '.', 0},
      {"1e5", '.', 1},
      {"1 000", '.', 1},
      {"0.1", '.', 0.1},
      {"-273.15", '.', -273.15},
      {"12345.6789", '.', 12345.6789},
      {"0.000000001", '.', 1e-9},
      // More decimals than a 32-bit divisor holds: still the correctly rounded value.
      {"0.0000000001", '.', 1e-10},
      {"3.14159265358979323846", '.', 3.14159265358979323846},
      {"0.12345678901234567890123", '.', 0.12345678901234567890123},
      {"1.2.34567890123", '.', 12.34567890123},
      {"2.2250738585072014e-308", '.', 2.2250738585072014},
      {"0." + std::string(30, '0') + "1", '.', 1e-31},
  };
  for (const Case& c : cases) EXPECT_EQ(Stod(c.text, c.separator), c.value) << c.text;
  EXPECT_TRUE(std::signbit(Stod("-", '.')));
  EXPECT_TRUE(std::signbit(Stod("  -0,0", ',')));
  EXPECT_FALSE(std::signbit(Stod("0", '.')));
}

TEST(Stod, AgreesWithStrtodOnDecimalTexts) {
  // Up to 15 significant digits every reading is correctly rounded, so it equals strtod.
  std::mt19937_64 rng(5);
  for (int i = 0; i < 100000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 15);
    std::string number;
    for (int d = 0; d < digits; ++d) number += static_cast<char>('0' + rng() % 10);
    const int decimals = static_cast<int>(rng() % (digits + 1 + (i % 3 == 0 ? 20 : 0)));
    std::string text = number;
    if (decimals > 0) {
      if (decimals > digits) text = std::string(decimals - digits, '0') + text;
      text.insert(text.size() - decimals, ".");
    }
    if (rng() & 1) text = "-" + text;
    const double expected = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(Stod(text, '.'), expected) << text;
    std::string comma = text;
    for (char& c : comma)
      if (c == '.') c = ',';
    ASSERT_EQ(Stod(comma, ','), expected) << comma;
  }
}

TEST(HexReaders, Table) {
  EXPECT_EQ(Stouhex("1F"), 31u);
  EXPECT_EQ(Stouhex("1f"), 31u);
  EXPECT_EQ(Stouhex("1G"), 16u);
  EXPECT_EQ(Stouhex(""), 0u);
  EXPECT_EQ(Stouhex("123456789"), 0x23456789u);
  EXPECT_EQ(Stouhex("FFFFFFFF"), 0xffffffffu);
  EXPECT_EQ(Stoshex("F"), -1);
  EXPECT_EQ(Stoshex("7F"), 127);
  EXPECT_EQ(Stoshex("80"), -128);
  EXPECT_EQ(Stoshex("FFFFFFFF"), -1);
  EXPECT_EQ(Stoshex("7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(Stoshex("80000000"), INT32_MIN);
  EXPECT_EQ(Stoshex("9"), -7);
  EXPECT_EQ(Stoshex("x"), -16);   // any code from "8" on starts a negative number; "x" is a 0
  EXPECT_EQ(Stoshex("\xe9"), 0);  // signed code: not a negative number
  EXPECT_EQ(Stoshex(""), 0);
}

TEST(BinReaders, Table) {
  EXPECT_EQ(Stoubin("101"), 5u);
  EXPECT_EQ(Stoubin(""), 0u);
  EXPECT_EQ(Stoubin("2"), 2u);  // no character is refused
  EXPECT_EQ(Stoubin(std::string(33, '1')), 0xffffffffu);
  EXPECT_EQ(Stosbin("0101"), 5);
  EXPECT_EQ(Stosbin("0"), 0);
  EXPECT_EQ(Stosbin("1"), -1);
  EXPECT_EQ(Stosbin("10"), -2);
  EXPECT_EQ(Stosbin("101"), -3);
  EXPECT_EQ(Stosbin("1000"), -8);
  EXPECT_EQ(Stosbin(""), 0);
}

TEST(MarkedHex, ReadsHexOrDecimalAndTracesDecimal) {
  struct Case {
    std::string text, suffix;
    long value;
    std::string trace;
  };
  const Case cases[] = {
      {"1Fh", "h", 31, ""},
      {"12", "h", 12, "Decimal Conversion 12\n"},
      {"-7", "h", -7, "Decimal Conversion -7\n"},
      {"FFFFFFFFh", "h", 4294967295L, ""},
      {"10H", "h", 124, "Decimal Conversion 124\n"},  // "H" is no suffix: read as decimal
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    const long value = Stohex(c.text, c.suffix);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.trace) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }

  testing::internal::CaptureStderr();
  EXPECT_EQ(Stoloruhex("0x", "0x1F"), 31);
  EXPECT_EQ(Stoloruhex("0x", "ab0x10"), 16);
  EXPECT_EQ(Stoloruhex("$", "$ff"), 255);
  EXPECT_EQ(Stoloruhex("0x", "42"), 42);
  EXPECT_EQ(Stoloruhex("0x", "-42"), -42);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// ---------------------------------------------------------------------------------------------
// Checks

TEST(Checks, Table) {
  struct Case {
    const char* text;
    int uint_, int_, hex, hexintel, bin, number_first, varname, pre_underscore;
  };
  // clang-format off
  const Case cases[] = {
      //                uint int hex intel bin num var pre
      {"", 0, 0, 1, 0, 1, 0, 0, 0},
      {"0", 1, 1, 1, 0, 1, 1, 0, 0},
      {"0110", 1, 1, 1, 0, 1, 1, 0, 0},
      {"123", 1, 1, 1, 0, 0, 1, 0, 0},
      {"-12", 0, 1, 0, 0, 0, 0, 0, 0},
      {"-", 0, 0, 0, 0, 0, 0, 0, 0},
      {"--1", 0, 0, 0, 0, 0, 0, 0, 0},
      {"+1", 0, 0, 0, 0, 0, 0, 0, 0},
      {"1FH", 0, 0, 0, 0, 0, 1, 0, 0},
      {"1Fh", 0, 0, 0, 1, 0, 1, 0, 0},
      {"h", 0, 0, 0, 1, 0, 0, 1, 1},
      {"hh", 0, 0, 0, 0, 0, 0, 1, 1},
      {"aBcDeF", 0, 0, 1, 0, 0, 0, 1, 1},
      {"a", 0, 0, 1, 0, 0, 0, 1, 1},
      {"a_", 0, 0, 0, 0, 0, 0, 0, 0},
      {"a_b", 0, 0, 0, 0, 0, 0, 1, 1},
      {"x1_y2", 0, 0, 0, 0, 0, 0, 1, 1},
      {"_a", 0, 0, 0, 0, 0, 0, 0, 1},
      {"_", 0, 0, 0, 0, 0, 0, 0, 0},
      {"__a", 0, 0, 0, 0, 0, 0, 0, 1},
      {"1a", 0, 0, 1, 0, 0, 1, 0, 0},
      {"a b", 0, 0, 0, 0, 0, 0, 0, 0},
      {"a-b", 0, 0, 0, 0, 0, 0, 0, 0},
      {"\xe9t\xe9", 0, 0, 0, 0, 0, 0, 0, 0},
      {"a\xe9", 0, 0, 0, 0, 0, 0, 0, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(checkuint(c.text), c.uint_) << c.text;
    EXPECT_EQ(checkint(c.text), c.int_) << c.text;
    EXPECT_EQ(checkhex(c.text), c.hex) << c.text;
    EXPECT_EQ(checkhexintel(c.text), c.hexintel) << c.text;
    EXPECT_EQ(checkbin(c.text), c.bin) << c.text;
    EXPECT_EQ(beginbynumber(c.text), c.number_first) << c.text;
    EXPECT_EQ(checkvarname(c.text), c.varname) << c.text;
    EXPECT_EQ(checkvarname_with_pre_underscore(c.text), c.pre_underscore) << c.text;
  }
}

TEST(Checks, CheckdoubleAlwaysAnswersOneAndTraces) {
  for (const char* text : {"", "1.5", "abc"}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(checkdouble(text), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "checkdouble() a ecrire\n");
  }
}

TEST(Checks, EveryCharacterCode) {
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    const std::string one = code_text(code);
    const bool digit = code >= '0' && code <= '9';
    const bool upper = code >= 'A' && code <= 'Z';
    const bool lower = code >= 'a' && code <= 'z';
    const bool hex = digit || (code >= 'a' && code <= 'f') || (code >= 'A' && code <= 'F');
    const bool iso_letter = upper || lower || code == 181 || (code >= 192 && code <= 214) ||
                            (code >= 217 && code <= 246) || (code >= 249 && code <= 253) ||
                            code == 255;
    EXPECT_EQ(check_ISO_8859_1_alphabetical_letter(c), iso_letter ? 1 : 0) << code;
    EXPECT_EQ(est_lc(c), upper || lower || digit || code == '_' || code == '@' ? 1 : 0) << code;
    EXPECT_EQ(checkuint(one), digit ? 1 : 0) << code;
    EXPECT_EQ(checkhex(one), hex ? 1 : 0) << code;
    EXPECT_EQ(checkbin(one), code == '0' || code == '1' ? 1 : 0) << code;
    EXPECT_EQ(beginbynumber(one), digit ? 1 : 0) << code;
    EXPECT_EQ(checkvarname(one), upper || lower ? 1 : 0) << code;
    EXPECT_EQ(checkhexintel(one + "h"), hex ? 1 : 0) << code;
    EXPECT_EQ(checkvarname("a" + one + "b"), upper || lower || digit || code == '_' ? 1 : 0)
        << code;
  }
  for (int code : {215, 216, 247, 248, 254})
    EXPECT_EQ(check_ISO_8859_1_alphabetical_letter(static_cast<char>(code)), 0) << code;
}

// ---------------------------------------------------------------------------------------------
// Cutting by position

TEST(Cutting, Table) {
  struct Case {
    std::string text;
    int a, b;
    std::string after, before, at;  // my_after(text, a), my_before(text, a), my_at(text, a, b)
  };
  const Case cases[] = {
      {"abcdef", 2, 4, "cdef", "ab", "cd"},
      {"abcdef", 1, 3, "bcdef", "a", "bc"},
      {"abcdef", 4, 99, "ef", "abcd", "ef"},
      {"abcdef", 0, 6, "abcdef", "", "abcdef"},
      {"abcdef", 6, 8, "", "abcdef", ""},
      {"abcdef", 9, 12, "", "abcdef", ""},
      {"abcdef", 3, 3, "def", "abc", ""},
      {"abcdef", 3, 2, "def", "abc", ""},
      {"abcdef", -2, 2, "abcdef", "", "ab"},
      {"abcdef", -5, -1, "abcdef", "", ""},
      {"abc", 3, 4, "", "abc", ""},
      {"", 0, 1, "", "", ""},
      {std::string("a\0b", 3), 1, 3, std::string("\0b", 2), "a", std::string("\0b", 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(my_after(c.text, c.a), c.after) << c.text << " " << c.a;
    EXPECT_EQ(my_before(c.text, c.a), c.before) << c.text << " " << c.a;
    EXPECT_EQ(my_at(c.text, c.a, c.b), c.at) << c.text << " " << c.a << " " << c.b;
  }
}

}  // namespace
