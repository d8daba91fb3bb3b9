// Drawn bodies (ladder and function block diagrams) turned into statements
// the runtime runs, so that every language shares one engine.
//
// Order of evaluation: elements with executionOrderId > 0 first, in that
// order; then coils, outVariables, inOutVariables, returns and connectors
// by position (top to bottom, then left to right, then document order),
// each pulling in first the elements that feed it; then what is left, in
// the same order. A loop of wires reads the value its wire had at the end
// of the previous scan. Several connections into one point are a wired OR.
//
// Ladder: a contact is its left side AND its variable (negated: NOT the
// variable; rising or falling: the variable's edge, sensed every scan); a
// coil writes its left side to its variable (negated: NOT it; set and
// reset: TRUE or FALSE while it conducts; rising and falling: TRUE in the
// scan its left side rises or falls) and passes it on.
#ifndef PLCENGINE_GRAPHIC_BODY_H
#define PLCENGINE_GRAPHIC_BODY_H

#include <pugixml.hpp>

#include <string>
#include <vector>

#include "plcengine/program.h"
#include "plcengine/xml_util.h"

namespace plc {

// Appends the statements of body (an <LD> or <FBD> element) to p's body,
// and its wires to p's variables. Throws an error naming the POU and the
// element's localId for the first element that is not supported, a
// connection to an element that is not there, or a name it cannot read.
void compile_graphic_body(const pugi::xml_node& body, const xml::lines& lines,
                          const std::string& file, program* p);

// A point of a chart fed by a network drawn into the chart: a transition's
// condition. user is the transition, for messages.
struct drawn_point {
  pugi::xml_node user;
  std::vector<long> refs;            // the localIds connected to it
  std::vector<std::string> formals;  // their formalParameter, "" if none
};

// Compiles the network elements drawn into a chart's body (an <SFC>
// element; the chart's own elements are left to the chart) into p's body,
// which runs at the start of every scan, and gives the value flowing into
// each point, in order: the OR of its connections.
std::vector<expr> compile_drawn_conditions(const pugi::xml_node& body,
                                           const std::vector<drawn_point>& points,
                                           const xml::lines& lines, const std::string& file,
                                           program* p);

// Whether kind is an element of a chart (step, transition, ...) rather than
// of a network drawn into it.
bool is_chart_element(const std::string& kind);

}  // namespace plc

#endif
