// Small programs saved as a PLC editor saves them (positions, sizes,
// connection points and the points of every line), for the tests of the
// drawing: a ladder, a function block network and a chart.
#ifndef TESTS_PLCVIEW_DRAWN_PROGRAMS_H
#define TESTS_PLCVIEW_DRAWN_PROGRAMS_H

#include <string>

namespace plcviewtest {

inline std::string num(double v) {
  return std::to_string(static_cast<long>(v));
}

// <position> and the size of an element at (x, y), or every point at 0
// when flat (as exporters that save no drawing write them).
struct drawing {
  bool flat = false;
  std::string at(double x, double y) const {
    return "<position x=\"" + num(flat ? 0 : x) + "\" y=\"" + num(flat ? 0 : y) + "\"/>";
  }
  std::string rel(double x, double y) const { return "<relPosition " + xy(x, y) + "/>"; }
  std::string xy(double x, double y) const {
    return "x=\"" + num(flat ? 0 : x) + "\" y=\"" + num(flat ? 0 : y) + "\"";
  }
  // A connection to ref, its line saved from the consumer (x1, y1) back
  // to the producer (x2, y2).
  std::string link(long ref, double x1, double y1, double x2, double y2,
                   const std::string& formal = "") const {
    return "<connection refLocalId=\"" + std::to_string(ref) + "\"" +
           (formal.empty() ? "" : " formalParameter=\"" + formal + "\"") + ">" + at(x1, y1) +
           at(x2, y2) + "</connection>";
  }
};

inline std::string project(const std::string& pou_vars, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<project xmlns=\"http://www.plcopen.org/xml/tc6_0201\">\n"
         "<fileHeader companyName=\"x\" productName=\"x\" productVersion=\"1\" "
         "creationDateTime=\"2026-12-09T08:00:00\"/>\n"
         "<types><dataTypes/><pous>\n<pou name=\"drawn\" pouType=\"program\">\n<interface>\n" +
         pou_vars + "</interface>\n<body>\n" + body +
         "\n</body>\n</pou>\n</pous></types>\n<instances><configurations/></instances>\n"
         "</project>\n";
}

inline std::string var(const std::string& name, const std::string& type) {
  const bool fb = type == "TON" || type == "R_TRIG";
  return "<variable name=\"" + name + "\"><type>" +
         (fb ? "<derived name=\"" + type + "\"/>" : "<" + type + "/>") + "</type></variable>\n";
}

// A contact or coil at (x, y), 21 wide and 20 high, fed from ref whose
// output point is (fx, fy).
inline std::string ld_element(const drawing& d, const char* tag, long id, const std::string& v,
                              double x, double y, long ref, double fx, double fy,
                              const std::string& attrs = "") {
  return std::string("<") + tag + " localId=\"" + std::to_string(id) +
         "\" width=\"21\" height=\"20\" " + attrs + ">" + d.at(x, y) + "<connectionPointIn>" +
         d.rel(0, 10) + d.link(ref, x, y + 10, fx, fy) +
         "</connectionPointIn><connectionPointOut>" + d.rel(21, 10) +
         "</connectionPointOut><variable>" + v + "</variable></" + tag + ">\n";
}

// Ladder over inputs a, b and outputs x, y: rung 1 (y 40) a, NOT b -> x;
// rung 2 (y 100) a OR b (two contacts wired into one coil) -> y; rung 3
// (y 190) the rising edge of a -> n. The rail has one output per rung.
inline std::string ladder(const drawing& d, const std::string& a = "a", const std::string& b = "b",
                          const std::string& x = "x", const std::string& y = "y") {
  std::string body =
      "<LD>\n<leftPowerRail localId=\"1\" width=\"3\" height=\"200\">" + d.at(20, 20);
  for (double ry : {20.0, 80.0, 170.0})
    body += "<connectionPointOut formalParameter=\"\">" + d.rel(3, ry) + "</connectionPointOut>";
  body += "</leftPowerRail>\n";
  body += ld_element(d, "contact", 2, a, 80, 30, 1, 23, 40);
  body += ld_element(d, "contact", 3, b, 150, 30, 2, 101, 40, "negated=\"true\"");
  body += ld_element(d, "coil", 4, x, 300, 30, 3, 171, 40);
  body += ld_element(d, "contact", 5, a, 80, 90, 1, 23, 100);
  // The branch below the rung: its line turns down from the rail's point.
  body += "<contact localId=\"6\" width=\"21\" height=\"20\">" + d.at(80, 130) +
          "<connectionPointIn>" + d.rel(0, 10) + "<connection refLocalId=\"1\">" + d.at(80, 140) +
          d.at(50, 140) + d.at(50, 100) + d.at(23, 100) + "</connection></connectionPointIn>" +
          "<connectionPointOut>" + d.rel(21, 10) + "</connectionPointOut><variable>" + b +
          "</variable></contact>\n";
  // Both contacts feed coil 7: two connections in its one point.
  body += "<coil localId=\"7\" width=\"21\" height=\"20\">" + d.at(300, 90) +
          "<connectionPointIn>" + d.rel(0, 10) + d.link(5, 300, 100, 101, 100) +
          "<connection refLocalId=\"6\">" + d.at(300, 100) + d.at(130, 100) + d.at(130, 140) +
          d.at(101, 140) + "</connection></connectionPointIn><connectionPointOut>" + d.rel(21, 10) +
          "</connectionPointOut><variable>" + y + "</variable></coil>\n";
  body += ld_element(d, "contact", 8, a, 80, 180, 1, 23, 190, "edge=\"rising\"");
  body += ld_element(d, "coil", 9, "n", 300, 180, 8, 101, 190);
  body += "<rightPowerRail localId=\"10\" width=\"3\" height=\"200\">" + d.at(400, 20);
  for (long c : {4, 7, 9}) {
    const double ry = c == 4 ? 40 : c == 7 ? 100 : 190;
    body += "<connectionPointIn>" + d.rel(0, ry - 20) + d.link(c, 400, ry, 321, ry) +
            "</connectionPointIn>";
  }
  body += "</rightPowerRail>\n</LD>";
  return project("<inputVars>" + var(a, "BOOL") + var(b, "BOOL") + "</inputVars><outputVars>" +
                     var(x, "BOOL") + var(y, "BOOL") + "</outputVars><localVars>" +
                     var("n", "BOOL") + "</localVars>\n",
                 body);
}

// Function blocks: a AND b -> x; a starts timer t (PT T#100ms) whose Q is
// y. Blocks 12 (AND) and 13 (TON).
inline std::string network(const drawing& d) {
  auto in = [&](long id, const std::string& e, double x, double y) {
    return "<inVariable localId=\"" + std::to_string(id) + "\" width=\"60\" height=\"30\">" +
           d.at(x, y) + "<connectionPointOut>" + d.rel(60, 15) +
           "</connectionPointOut><expression>" + e + "</expression></inVariable>\n";
  };
  auto out = [&](long id, const std::string& e, double x, double y, long ref,
                 const std::string& formal, double fx, double fy) {
    return "<outVariable localId=\"" + std::to_string(id) + "\" width=\"60\" height=\"30\">" +
           d.at(x, y) + "<connectionPointIn>" + d.rel(0, 15) +
           d.link(ref, x, y + 15, fx, fy, formal) + "</connectionPointIn><expression>" + e +
           "</expression></outVariable>\n";
  };
  auto pin_in = [&](const std::string& f, double ry, long ref, double bx, double by, double fx,
                    double fy) {
    return "<variable formalParameter=\"" + f + "\"><connectionPointIn>" + d.rel(0, ry) +
           d.link(ref, bx, by + ry, fx, fy) + "</connectionPointIn></variable>";
  };
  auto pin_out = [&](const std::string& f, double rx, double ry) {
    return "<variable formalParameter=\"" + f + "\"><connectionPointOut>" + d.rel(rx, ry) +
           "</connectionPointOut></variable>";
  };
  std::string body =
      "<FBD>\n" + in(1, "a", 20, 20) + in(2, "b", 20, 70) + in(3, "T#100ms", 20, 170);
  body += "<block localId=\"12\" typeName=\"AND\" width=\"70\" height=\"60\">" + d.at(140, 20) +
          "<inputVariables>" + pin_in("IN1", 15, 1, 140, 20, 80, 35) +
          pin_in("IN2", 40, 2, 140, 20, 80, 85) + "</inputVariables><inOutVariables/>" +
          "<outputVariables>" + pin_out("OUT", 70, 15) + "</outputVariables></block>\n";
  body += "<block localId=\"13\" typeName=\"TON\" instanceName=\"t\" width=\"70\" height=\"60\">" +
          d.at(140, 120) + "<inputVariables>" + pin_in("IN", 15, 1, 140, 120, 80, 35) +
          pin_in("PT", 40, 3, 140, 120, 80, 185) + "</inputVariables><inOutVariables/>" +
          "<outputVariables>" + pin_out("Q", 70, 15) + pin_out("ET", 70, 40) +
          "</outputVariables></block>\n";
  body += out(20, "x", 280, 20, 12, "OUT", 210, 35) + out(21, "y", 280, 120, 13, "Q", 210, 135);
  body += "</FBD>";
  return project("<inputVars>" + var("a", "BOOL") + var("b", "BOOL") + "</inputVars><outputVars>" +
                     var("x", "BOOL") + var("y", "BOOL") + "</outputVars><localVars>" +
                     var("t", "TON") + "</localVars>\n",
                 body);
}

// A chart: S0 (initial) -[a]-> S1 (action N x) -[b]-> back to S0.
inline std::string chart(const drawing& d) {
  auto step = [&](long id, const std::string& name, double y, long from, double fy, bool initial) {
    return "<step localId=\"" + std::to_string(id) + "\" name=\"" + name +
           "\" width=\"60\" height=\"30\"" + (initial ? " initialStep=\"true\"" : "") + ">" +
           d.at(40, y) +
           (from ? "<connectionPointIn>" + d.rel(30, 0) + d.link(from, 70, y, 70, fy) +
                       "</connectionPointIn>"
                 : "") +
           "<connectionPointOut formalParameter=\"\">" + d.rel(30, 30) +
           "</connectionPointOut><connectionPointOutAction formalParameter=\"\">" + d.rel(60, 15) +
           "</connectionPointOutAction></step>\n";
  };
  auto transition = [&](long id, const std::string& cond, double y, long from, double fy) {
    return "<transition localId=\"" + std::to_string(id) + "\" width=\"20\" height=\"2\">" +
           d.at(60, y) + "<connectionPointIn>" + d.rel(10, 0) + d.link(from, 70, y, 70, fy) +
           "</connectionPointIn><connectionPointOut>" + d.rel(10, 2) +
           "</connectionPointOut><condition><inline name=\"\"><ST><xhtml:p xmlns:xhtml=\"http://"
           "www.w3.org/1999/xhtml\"><![CDATA[" +
           cond + "]]></xhtml:p></ST></inline></condition></transition>\n";
  };
  std::string body = "<SFC>\n" + step(1, "S0", 20, 0, 0, true) + transition(2, "a", 80, 1, 50) +
                     step(3, "S1", 120, 2, 82, false) + transition(4, "b", 180, 3, 150);
  body += "<actionBlock localId=\"5\" width=\"100\" height=\"30\">" + d.at(140, 120) +
          "<connectionPointIn>" + d.rel(0, 15) + d.link(3, 140, 135, 100, 135) +
          "</connectionPointIn><action localId=\"0\" qualifier=\"N\"><relPosition x=\"0\" "
          "y=\"0\"/><reference name=\"x\"/></action></actionBlock>\n";
  body += "<jumpStep localId=\"6\" targetName=\"S0\" width=\"10\" height=\"10\">" + d.at(65, 220) +
          "<connectionPointIn>" + d.rel(5, 0) + d.link(4, 70, 220, 70, 182) +
          "</connectionPointIn></jumpStep>\n</SFC>";
  return project("<inputVars>" + var("a", "BOOL") + var("b", "BOOL") + "</inputVars><outputVars>" +
                     var("x", "BOOL") + "</outputVars>\n",
                 body);
}

}  // namespace plcviewtest

#endif
