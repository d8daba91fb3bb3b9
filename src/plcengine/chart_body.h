// A chart drawn as a graph in PLCopen XML (an <SFC> body) turned into the
// runtime's chart.
//
// Transitions are tried by priority (lowest first; none counts as 0), then
// left to right, then in document order; so among alternatives whose
// conditions hold together, that first one is taken. A condition is inline
// Structured Text, a reference to one of the POU's transitions written in
// Structured Text, or a network drawn into the chart (contacts, blocks,
// variables) connected to the condition: that network runs at the start of
// every scan, before the transitions are tried.
// An action is a BOOL variable, one of the POU's actions (in any language
// this system runs) or an inline body.
#ifndef PLCENGINE_CHART_BODY_H
#define PLCENGINE_CHART_BODY_H

#include <pugixml.hpp>

#include <string>

#include "plcengine/program.h"
#include "plcengine/xml_util.h"

namespace plc {

// Reads body (an <SFC> element) of pou into p->chart. Throws an error
// naming the POU and the element's localId for the first element that is
// not supported or not linked as a chart links it.
void compile_chart_body(const pugi::xml_node& body, const pugi::xml_node& pou,
                        const xml::lines& lines, const std::string& file, program* p);

}  // namespace plc

#endif
