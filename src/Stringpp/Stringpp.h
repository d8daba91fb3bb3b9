// Number and text conversions on std::string.
//
// Texts are 8-bit ISO-8859-1. The number readers take a character's code as a signed 8-bit value
// (codes above 127 count as negative); the character tests use the unsigned code 0..255.
// No function keeps state and none reports errors: a text that is not a number still yields a
// value, so callers check the text first with the check functions where that matters.
// Check functions answer 1 (true) or 0 (false). Positions count characters from 0.
#ifndef SUDZ_STRINGPP_STRINGPP_H
#define SUDZ_STRINGPP_STRINGPP_H

#include <string>

// ---- Number to text ----

// Fixed-point text with exactly `decimals` digits after a point; there is always a point, so
// decimals <= 0 gives a text ending with ".". Rounding: a remainder above one half of the last
// digit rounds up, a remainder of exactly one half is dropped. A negative value is written with
// "-" even when it rounds to zero ("-0.00"); -0.0 has no sign. NaN gives "nan", infinities
// "inf" and "-inf". Any finite magnitude and any decimal count give an exact fixed-point text.
std::string dtoS(double value, int decimals);
// Decimal digits without sign or leading zeros; "0" for 0.
std::string unslong2S(unsigned long value);
// "-" and the magnitude's digits for a negative value (the most negative value included).
std::string long2S(long value);
// Base 8 written with letters: digit 0 is "A" ... 7 is "H"; most significant first, at least one.
std::string unslongbyS(unsigned long value);
// Lower-case hexadecimal digits of the value's two's-complement bits, high digit first:
// hex1toS the low 4 bits, hex2toS the low 8, hex4toS the low 16, hex8toS the low 32.
std::string hex1toS(int value);
std::string hex2toS(int value);
std::string hex4toS(int value);
std::string hex8toS(long value);
// Eight characters "0"/"1": the low 8 bits, most significant first.
std::string bin8toS(int value);
// The text of the one character c.
std::string ctoS(char c);
// A new array of text.size() + 1 characters: every character of the text (embedded NULs
// included) and a final NUL. The caller owns it and releases it with delete[].
char* Stoa(const std::string& text);

// ---- Text to number ----

// Decimal reading: the empty text gives 0; a leading "-" makes the result negative; every other
// character contributes its code minus that of "0" (so "+5" gives -45 and "12a" gives 169).
// Stoi and Stol compute in 32-bit arithmetic and Stoll in 64-bit, wrapping on overflow.
int Stoi(std::string text);
long Stol(std::string text);
long long Stoll(std::string text);
// Reads a real number with the given decimal separator: leading spaces (code 32 only) skipped,
// an optional "-", then digits; every separator met restarts the decimals, so the digits after
// the last separator are the decimals ("1.2.3" gives 12.3). Any other character ends the number
// ("+", an exponent, a thousands separator). An empty text gives 0, a lone "-" gives -0.0.
double Stod(std::string text, char separator);
// Unsigned hexadecimal, 4 bits per character, in 32 bits: a character that is not a hex digit
// counts as a 0 digit; digits beyond the eighth shift the first ones out.
unsigned long Stouhex(const std::string& text);
// Signed hexadecimal: when the first digit is 8 or more (code at least that of "8"), the text is
// a negative number of 4 * length bits ("F" is -1, "80" is -128); 8 or more digits are 32 bits.
long Stoshex(const std::string& text);
// Unsigned binary in 32 bits: each character contributes its code minus that of "0".
unsigned long Stoubin(const std::string& text);
// Two's-complement binary whose first character is the sign bit ("101" is -3); "" gives 0.
int Stosbin(const std::string& text);
// Hexadecimal (Stouhex) of the text before the first occurrence of suffix when there is one
// ("1Fh" with "h" is 31); else the decimal Stol(text), and the line "Decimal Conversion <value>"
// is written to standard error. A hexadecimal result is the unsigned 32-bit value.
long Stohex(const std::string& text, const std::string& suffix);
// Stouhex of the text from the first occurrence of prefix on, the prefix included (its
// characters read as digits or 0 digits, so "0x1F" with "0x" is 31); else Stol(text).
long Stoloruhex(const std::string& prefix, const std::string& text);

// ---- Checks (1 or 0) ----

// Not empty and only "0".."9".
int checkuint(const std::string& text);
// checkuint, or "-" followed by a text that passes checkuint.
int checkint(const std::string& text);
// Always 1; writes the line "checkdouble() a ecrire" to standard error on every call.
int checkdouble(const std::string& text);
// Only hexadecimal digits (either case); the empty text gives 1.
int checkhex(const std::string& text);
// Hexadecimal digits followed by a final lower-case "h"; "h" gives 1, the empty text 0.
int checkhexintel(const std::string& text);
// Only "0" and "1"; the empty text gives 1.
int checkbin(const std::string& text);
// Not empty and the first character is "0".."9".
int beginbynumber(const std::string& text);
// Identifier: an ASCII letter first, then letters, digits or "_", and a letter or digit last.
int checkvarname(const std::string& text);
// The same, but the first character may also be "_" ("_" alone still gives 0).
int checkvarname_with_pre_underscore(const std::string& text);
// Letter of ISO-8859-1: unsigned code in 65-90, 97-122, 181, 192-214, 217-246, 249-253 or 255.
int check_ISO_8859_1_alphabetical_letter(char c);
// Identifier character: ASCII letter, digit, "_" or "@".
int est_lc(char c);

// ---- Cutting by position ----

// The characters from pos to the end; empty when pos is at or past the end. pos < 0 counts as 0.
std::string my_after(const std::string& text, int pos);
// The first n characters (all when n exceeds the length); empty when n <= 0.
std::string my_before(std::string text, int n);
// The characters from `from` up to, not including, `to` (an end position, not a count), cut at
// the end of the text; empty when from is at or past the end or to <= from. Negative positions
// count as 0.
std::string my_at(const std::string& text, int from, int to);

#endif  // SUDZ_STRINGPP_STRINGPP_H
