// How a program's variables meet a plant's signals.
//
// A variable named as a plant signal (any case) is that signal, located or
// not; another located variable is the signal its address gives under the
// chosen map:
//   flat:    input k is %IX(k/8).(k%8) and %IWk, output k %QX(k/8).(k%8) and %QWk;
//   openplc: the same from byte and word 100 (%IX100.0, %IW100, %QX100.0, %QW100),
//            the addresses a soft PLC gives its first Modbus device.
// %M variables and variables without address stay inside the program.
#ifndef PLCENGINE_BINDING_H
#define PLCENGINE_BINDING_H

#include <string>
#include <vector>

#include "plcengine/program.h"

namespace plc {

struct plant_signals {
  std::string plant;  // "sudz", ..., or "" for names given by hand
  std::vector<std::string> inputs, outputs;
};

// The plants this system knows, and the names of one given as
// "sudz", "sudz-sorter", "sudz-gate" or "IN,IN,.../OUT,OUT,...".
std::vector<plant_signals> known_plants();
bool plant_signals_of(const std::string& given, plant_signals* out, std::string* message);

enum class address_map { flat, openplc };

struct link {
  int var;
  int signal;
};

struct binding {
  std::vector<link> inputs, outputs;
  std::vector<error> warnings;  // a signal's name given an address that says otherwise
};

// The address of input or output k under map m ("%IX0.3"), and the word's.
std::string bit_address(bool output, int k, address_map m);
std::string word_address(bool output, int k, address_map m);

// Binds p's variables to the plant; false with the first error: an address
// outside the plant or of a size not served, a BOOL/word mismatch, an
// output written by two variables.
bool bind(const program& p, const plant_signals& plant, address_map m, binding* out, error* err);

// The map as printed at start: every signal, its addresses and its variable.
std::string describe(const program& p, const plant_signals& plant, address_map m, const binding& b);

}  // namespace plc

#endif
