// The drawing of a program's body as the student drew it in the editor:
// ladder rungs, function block networks and charts from the positions,
// sizes and connection points saved in the PLCopen file, and Structured
// Text as its lines. A body whose elements all stand at (0, 0), as some
// exporters save them, is placed by Graphviz (body_layout.h) instead.
//
// The model holds the geometry and, per element, the live state read from
// a running program: a contact or coil conducting, a block's pin values, a
// variable's value, a step active. refresh() reads it after a scan and says
// whether anything shown has changed, so that only changes are redrawn.
//
// Coordinates are the file's units, x to the right and y downwards.
#ifndef PLCVIEW_BODY_VIEW_H
#define PLCVIEW_BODY_VIEW_H

#include <string>
#include <vector>

#include "plcengine/program.h"
#include "plcengine/runtime.h"

namespace plcview {

struct point {
  double x = 0, y = 0;
};

// Where a value comes from: a variable of the program, an instance's output,
// a constant, or the left rail (always TRUE). Unknown shows no value.
struct source {
  enum class kind { unknown, variable, member, constant, rail } k = kind::unknown;
  int var = -1;
  std::string member;
  plc::value constant;
};

struct pin {
  std::string name;  // formal parameter ("" for a single point)
  point at;          // absolute
  bool negated = false;
  std::string edge;  // "", "rising", "falling"
  source live;       // an output pin's own value; for inputs see wires
  plc::value now;    // as of the last refresh
  bool known = false;
};

struct element {
  enum class kind {
    left_rail,
    right_rail,
    contact,
    coil,
    block,
    in_variable,
    out_variable,
    inout_variable,
    connector,
    continuation,
    step,
    transition,
    divergence,  // selection or simultaneous, divergence or convergence
    jump_step,
    action_block,
    other,  // a comment, a label, a return: drawn as a box with its text
  } k = kind::other;
  std::string tag;  // the element's name in the file
  long id = 0;
  double x = 0, y = 0, w = 0, h = 0;
  std::string text;      // variable, expression, block type, step name, condition
  std::string instance;  // a function block's instance
  bool negated = false, initial = false, simultaneous = false;
  std::string edge, storage;
  std::vector<pin> inputs, outputs;
  std::vector<std::string> actions;  // an action block's lines: "N  Vi"
  source live;                       // contact/coil: its power; variables: the value; step: its X
  plc::value now;
  bool known = false;
  bool on() const { return known && now.truth(); }
};

// A line from an element's output pin to another's input pin.
struct wire {
  int from = -1, from_pin = 0;  // element and output pin
  int to = -1, to_pin = 0;      // element and input pin
  std::vector<point> points;    // from the producer to the consumer
};

// A variable or an instance's output (t.Q) named in a line of text.
struct text_value {
  std::string name;  // as written
  source live;
  plc::value now;
  bool known = false;
};

struct body_model {
  std::string pou, language;  // "LD", "FBD", "SFC", "ST"
  bool placed_by_graphviz = false;
  double width = 0, height = 0;
  std::vector<element> elements;
  std::vector<wire> wires;
  // Structured Text: the lines, and per line the values it names.
  std::vector<std::string> lines;
  std::vector<std::vector<text_value>> line_values;
  // The value an input pin receives: the OR of its wires' sources.
  bool input_value(int element, int pin, plc::value* out) const;
};

// Builds the model of prog's body from the file it was read from (text),
// PLCopen XML or Structured Text. False with a message if the body is not
// in the file.
bool read_body_model(const std::string& text, const plc::program& prog, body_model* out,
                     std::string* error);

// Reads the live state from rt; true if anything shown has changed.
bool refresh(body_model& m, const plc::runtime& rt);

// Structured Text lines are drawn text_row apart in a fixed-width font of
// text_char per character; the values of each line start at this x.
constexpr double text_row = 16, text_char = 7;
double text_values_x(const body_model& m);

}  // namespace plcview

#endif
