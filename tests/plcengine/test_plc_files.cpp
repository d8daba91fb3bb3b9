// Files as students and editors write them: Structured Text and PLCopen XML
// in its namespaces and wrappings, the choice of the program, the binding
// to a plant, the errors sudz-plc gives, and the corpus of real projects.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <vector>

#include "plcengine/binding.h"
#include "plcengine/project.h"
#include "plcengine/runtime.h"
#include "scan_table.h"
#include "support/child_process.h"

using namespace plc;
using testsupport::child_result;

namespace {

std::string plc_program() {
  return testsupport::env("SUDZ_BUILD_DIR") + "/src/sudz-plc/sudz-plc";
}

// A PLCopen project around pou elements, with an optional resource body.
std::string xml_project(const std::string& ns, const std::string& pous,
                        const std::string& resource = "") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<project xmlns=\"" + ns +
         "\" xmlns:xhtml=\"http://www.w3.org/1999/xhtml\">\n"
         "<fileHeader companyName=\"x\" productName=\"x\" productVersion=\"1\" "
         "creationDateTime=\"2007-07-07 11:58:26\"/>\n<types><dataTypes/><pous>\n" +
         pous +
         "</pous></types>\n<instances><configurations><configuration name=\"c\">"
         "<resource name=\"r\">" +
         resource + "</resource></configuration></configurations></instances>\n</project>\n";
}

std::string xml_var(const std::string& name, const std::string& type,
                    const std::string& extra = "") {
  const bool derived = type == "TON" || type == "CTU" || type == "MyFb";
  return "<variable name=\"" + name + "\"" + extra + "><type>" +
         (derived ? "<derived name=\"" + type + "\"/>" : "<" + type + "/>") +
         "</type></variable>\n";
}

// A program POU with a, b inputs and x output, around a body element.
std::string xml_pou(const std::string& name, const std::string& body,
                    const std::string& kind = "program") {
  return "<pou name=\"" + name + "\" pouType=\"" + kind + "\">\n<interface>\n<inputVars>" +
         xml_var("a", "BOOL") + xml_var("b", "BOOL") + "</inputVars>\n<outputVars>" +
         xml_var("x", "BOOL") + "</outputVars>\n<localVars>" + xml_var("n", "INT") +
         "</localVars>\n</interface>\n<body>\n" + body + "\n</body>\n</pou>\n";
}

const char* const tc6_201 = "http://www.plcopen.org/xml/tc6_0201";

// Runs sudz-plc --check on text saved as name, with the extra arguments.
child_result check(const std::string& name, const std::string& text,
                   const std::vector<std::string>& args = {"--plant", "a,b/x,y"}) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file(name), text);
  std::vector<std::string> argv = {plc_program(), "--check"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(dir.file(name));
  child_result r = testsupport::run_program(argv, 60000);
  // Messages name the file as given: keep only its base name.
  size_t at;
  while ((at = r.err.find(dir.path() + "/")) != std::string::npos)
    r.err.erase(at, dir.path().size() + 1);
  return r;
}

// Drawn elements and chart elements, defined below.
std::string rail(int id, int y);
std::string ld(const char* kind, int id, const std::string& var, const std::string& src, int x,
               int y, const std::string& attrs = "");
std::string step(int id, const std::string& name, const std::string& src, int x, int y);
std::string actions(int id, int step_id, const std::vector<std::string>& list);

TEST(PlcFiles, ErrorsNameTheFileLineAndWhat) {
  const struct {
    const char* what;
    const char* name;
    std::string text;
    std::vector<std::string> args;
    const char* message;  // the first line of standard error
  } cases[] = {
      {"a drawn element not run, by its localId",
       "t.xml",
       xml_project(
           tc6_201,
           xml_pou("main",
                   "<FBD>\n<comment localId=\"9\"/>\n<jump localId=\"2\" label=\"l\"/>\n</FBD>")),
       {"--plant", "a,b/x,y"},
       "t.xml:18: POU main, element localId 2: jump is not supported"},
      {"a connection to an element that is not there",
       "t.xml",
       xml_project(
           tc6_201,
           xml_pou("main",
                   "<LD>\n<coil localId=\"3\"><connectionPointIn><connection "
                   "refLocalId=\"99\"/></connectionPointIn><variable>x</variable></coil>\n</LD>")),
       {"--plant", "a,b/x,y"},
       "t.xml:17: POU main, element localId 3: its connection names localId 99, which is not in "
       "the body"},
      {"a block of a library not supported",
       "t.xml",
       xml_project(
           tc6_201,
           xml_pou("main",
                   "<FBD>\n<block localId=\"4\" "
                   "typeName=\"CONCAT\"><inputVariables/><outputVariables/></block>\n</FBD>")),
       {"--plant", "a,b/x,y"},
       "t.xml:17: POU main, element localId 4: block CONCAT is not supported"},
      {"an IL body",
       "t.xml",
       xml_project(tc6_201, xml_pou("main", "<IL>LD a</IL>")),
       {"--plant", "a,b/x,y"},
       "t.xml:16: POU main: IL is not supported"},
      {"a function block of the student's",
       "t.xml",
       xml_project(tc6_201, "<pou name=\"main\" pouType=\"program\"><interface><localVars>" +
                                xml_var("f", "MyFb") +
                                "</localVars></interface><body><ST><xhtml:p><![CDATA[f();]]></"
                                "xhtml:p></ST></body></pou>"),
       {"--plant", "a,b/x,y"},
       "t.xml:5: POU main: type MyFb is not supported (variable f)"},
      {"FUNCTION_BLOCK in a text file",
       "t.st",
       "PROGRAM p\nEND_PROGRAM\nFUNCTION_BLOCK f\nEND_FUNCTION_BLOCK\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: FUNCTION_BLOCK is not supported"},
      {"a STRING variable",
       "t.st",
       "PROGRAM p\nVAR\n  s : STRING[20] := 'x';\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: STRING is not supported"},
      {"an unknown name",
       "t.st",
       "PROGRAM p\nVAR x : BOOL; END_VAR\n\nx := zz;\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:4: POU p: unknown name zz"},
      {"a bad reference to an instance's output",
       "t.st",
       "PROGRAM p\nVAR x : BOOL; t : TON; END_VAR\nx := t.QQ;\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: POU p: t (TON) has no parameter QQ"},
      {"a syntax error",
       "t.st",
       "PROGRAM p\nVAR x : BOOL; END_VAR\nx := TRUE\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:4: expected \";\""},
      {"two programs and no choice",
       "t.st",
       "PROGRAM p1\nEND_PROGRAM\nPROGRAM p2\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st: several programs: p1, p2; choose one with --pou NAME"},
      {"a program that is not there",
       "t.st",
       "PROGRAM p1\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y", "--pou", "p3"},
       "t.st: no program named p3 (programs: p1)"},
      {"no program at all",
       "t.xml",
       xml_project(tc6_201, xml_pou("f", "<ST><xhtml:p><![CDATA[x := a;]]></xhtml:p></ST>",
                                    "functionBlock")),
       {"--plant", "a,b/x,y"},
       "t.xml: no program to run (a function or function block alone does not run)"},
      {"an address outside the plant",
       "t.st",
       "PROGRAM p\nVAR\n  o AT %QX0.2 : BOOL;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: POU p: variable o: address %QX0.2 is outside the plant (2 outputs)"},
      {"an address outside the plant under the soft PLC's map",
       "t.st",
       "PROGRAM p\nVAR\n  i AT %IX0.0 : BOOL;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y", "--map", "openplc"},
       "t.st:3: POU p: variable i: address %IX0.0 is outside the plant (2 inputs)"},
      {"an output written by two variables",
       "t.st",
       "PROGRAM p\nVAR\n  X : BOOL;\n  o AT %QX0.0 : BOOL;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:4: POU p: variable o: the plant's output x is already written by variable X"},
      {"an output written by coils in two rungs",
       "t.xml",
       xml_project(tc6_201,
                   xml_pou("main", "<LD>\n" + rail(1, 0) + ld("coil", 2, "x", "1", 100, 10) +
                                       ld("coil", 3, "x", "1", 100, 50) + "</LD>")),
       {"--plant", "a,b/x,y"},
       "t.xml:10: POU main: variable x: the plant's output x is written by two parts of the "
       "program: a network (line 18) and a network (line 19)"},
      {"an output driven by the chart and written by an action",
       "t.xml",
       xml_project(tc6_201, xml_pou("main", "<SFC>\n" + step(1, "S0", "", 0, 0) +
                                                actions(2, 1, {"N x", "N := x := a;"}) + "</SFC>")),
       {"--plant", "a,b/x,y"},
       "t.xml:10: POU main: variable x: the plant's output x is written by two parts of the "
       "program: an inline action (line 18) and step S0's action (line 18)"},
      {"a contact on a number",
       "t.xml",
       xml_project(tc6_201,
                   xml_pou("main", "<LD>\n" + rail(1, 0) + ld("contact", 2, "n", "1", 50, 10) +
                                       ld("coil", 3, "x", "2", 100, 10) + "</LD>")),
       {"--plant", "a,b/x,y"},
       "t.xml:18: POU main, element localId 2: contact on n (INT): a contact or a coil needs a "
       "BOOL"},
      {"a name that is an input and an output but for case",
       "t.st",
       "PROGRAM p\nVAR\n  EGR : BOOL;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "Egr/EgR"},
       "t.st:3: POU p: variable EGR: the name is both the plant's input Egr and its output EgR: "
       "write it as one of them, or rename it and give it an address"},
      {"a byte address",
       "t.st",
       "PROGRAM p\nVAR\n  o AT %QB0 : BYTE;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: POU p: variable o: address %QB0 is not supported (bits %IX/%QX and words %IW/%QW "
       "are)"},
      {"a word address on a BOOL",
       "t.st",
       "PROGRAM p\nVAR\n  o AT %QW1 : BOOL;\nEND_VAR\nEND_PROGRAM\n",
       {"--plant", "a,b/x,y"},
       "t.st:3: POU p: variable o: address %QW1 needs a number, not a BOOL"},
      {"not XML",
       "t.xml",
       "<project><pous>",
       {"--plant", "a,b/x,y"},
       "t.xml:1: not readable as XML: Start-end tags mismatch"},
  };
  for (const auto& c : cases) {
    const child_result r = check(c.name, c.text, c.args);
    EXPECT_TRUE(r.exited_with(1)) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message) << c.what;
  }
}

// Drawn elements, written as editors write them.
std::string at(int x, int y) {
  return "<position x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"/>";
}
// "3 4:Q": connections from localId 3, and from 4's output Q.
std::string from(const std::string& ids) {
  std::istringstream in(ids);
  std::string out = "<connectionPointIn>";
  for (std::string w; in >> w;) {
    const size_t colon = w.find(':');
    out += "<connection refLocalId=\"" + w.substr(0, colon) + "\"" +
           (colon == std::string::npos ? "" : " formalParameter=\"" + w.substr(colon + 1) + "\"") +
           "/>";
  }
  return out + "</connectionPointIn>";
}
std::string rail(int id, int y) {
  return "<leftPowerRail localId=\"" + std::to_string(id) + "\">" + at(0, y) +
         "<connectionPointOut formalParameter=\"\"/></leftPowerRail>\n";
}
std::string ld(const char* kind, int id, const std::string& var, const std::string& src, int x,
               int y, const std::string& attrs) {
  return "<" + std::string(kind) + " localId=\"" + std::to_string(id) + "\" " + attrs + ">" +
         at(x, y) + from(src) + "<connectionPointOut/><variable>" + var + "</variable></" + kind +
         ">\n";
}
std::string in_var(int id, const std::string& e, int x, int y) {
  return "<inVariable localId=\"" + std::to_string(id) + "\">" + at(x, y) +
         "<connectionPointOut/><expression>" + e + "</expression></inVariable>\n";
}
std::string out_var(int id, const std::string& e, const std::string& src, int x, int y,
                    const std::string& attrs = "") {
  return "<outVariable localId=\"" + std::to_string(id) + "\" " + attrs + ">" + at(x, y) +
         from(src) + "<expression>" + e + "</expression></outVariable>\n";
}
// Inputs "EN=3 IN1=4! IN2=5^": "!" negated, "^" rising edge; outputs "ENO OUT!".
std::string block(int id, const std::string& type, const std::string& instance, int x, int y,
                  const std::string& inputs, const std::string& outputs) {
  std::string out = "<block localId=\"" + std::to_string(id) + "\" typeName=\"" + type + "\"" +
                    (instance.empty() ? "" : " instanceName=\"" + instance + "\"") + ">" +
                    at(x, y) + "<inputVariables>";
  std::istringstream in(inputs);
  for (std::string w; in >> w;) {
    std::string flags;
    if (w.back() == '!') flags = " negated=\"true\"", w.pop_back();
    if (w.back() == '^') flags = " edge=\"rising\"", w.pop_back();
    const size_t eq = w.find('=');
    out += "<variable formalParameter=\"" + w.substr(0, eq) + "\"" + flags + ">" +
           from(w.substr(eq + 1)) + "</variable>";
  }
  out += "</inputVariables><inOutVariables/><outputVariables>";
  std::istringstream outs(outputs);
  for (std::string w; outs >> w;) {
    const bool negated = w.back() == '!';
    if (negated) w.pop_back();
    out += "<variable formalParameter=\"" + w + "\"" + (negated ? " negated=\"true\"" : "") +
           "><connectionPointOut/></variable>";
  }
  return out + "</outputVariables></block>\n";
}

struct drawn_case {
  const char* name;
  const char* language;  // LD or FBD
  std::string elements;
  std::vector<plctest::scan_row> scans;
  std::string pou_parts = "";  // <actions> and <transitions> of the POU
};

std::string run_drawn(const drawn_case& c) {
  std::string vars;
  for (const char* v : {"a", "b", "c", "x", "y", "z"}) vars += xml_var(v, "BOOL");
  vars += xml_var("n", "INT") + xml_var("t", "TON");
  const std::string pou = "<pou name=\"main\" pouType=\"program\"><interface><localVars>" + vars +
                          "</localVars></interface>" + c.pou_parts + "<body><" + c.language +
                          ">\n" + c.elements + "</" + c.language + "></body></pou>";
  project p;
  error e;
  if (!read_project(xml_project(tc6_201, pou), "t.xml", &p, &e)) return e.text();
  const program* prog = nullptr;
  if (!choose_program(p, "", &prog, &e)) return e.text();
  runtime rt;
  if (!rt.load(*prog, &e)) return e.text();
  return plctest::step_rows(rt, c.scans);
}

TEST(PlcScan, LadderScanByScan) {
  const drawn_case cases[] = {
      {"contacts in series and a wired OR",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10) +
           ld("contact", 3, "b", "2", 200, 10, "negated=\"true\"") +
           ld("contact", 4, "c", "1", 100, 60) + ld("coil", 5, "x", "3 4", 300, 10),
       {{"a=TRUE", 0, "x=TRUE"},
        {"b=TRUE", 1, "x=FALSE"},
        {"c=TRUE", 2, "x=TRUE"},
        {"a=FALSE b=FALSE c=FALSE", 3, "x=FALSE"}}},
      {"a coil read by a rung below it in the same scan",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10) + ld("coil", 3, "x", "2", 300, 10) +
           ld("contact", 4, "x", "1", 100, 100) + ld("coil", 5, "y", "4", 300, 100),
       {{"a=TRUE", 0, "x=TRUE y=TRUE"}, {"a=FALSE", 1, "x=FALSE y=FALSE"}}},
      {"a coil read by a rung above it: one scan later",
       "LD",
       rail(1, 0) + ld("contact", 4, "x", "1", 100, 10) + ld("coil", 5, "y", "4", 300, 10) +
           ld("contact", 2, "a", "1", 100, 100) + ld("coil", 3, "x", "2", 300, 100),
       {{"a=TRUE", 0, "x=TRUE y=FALSE"}, {"", 1, "y=TRUE"}}},
      {"set and reset coils hold; the lower rung wins; a negated coil",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10) +
           ld("coil", 3, "x", "2", 300, 10, "storage=\"set\"") +
           ld("contact", 4, "b", "1", 100, 100) +
           ld("coil", 5, "x", "4", 300, 100, "storage=\"reset\"") +
           ld("coil", 6, "y", "2", 400, 10, "negated=\"true\""),
       {{"a=TRUE", 0, "x=TRUE y=FALSE"},
        {"a=FALSE", 1, "x=TRUE y=TRUE"},
        {"b=TRUE", 2, "x=FALSE"},
        {"a=TRUE", 3, "x=FALSE"}}},
      {"rising and falling contacts, a rising coil",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10, "edge=\"rising\"") +
           ld("coil", 3, "x", "2", 300, 10) +
           ld("contact", 4, "a", "1", 100, 50, "edge=\"falling\"") +
           ld("coil", 5, "y", "4", 300, 50) + ld("contact", 6, "b", "1", 100, 90) +
           ld("coil", 7, "c", "6", 300, 90, "edge=\"rising\""),
       {{"a=TRUE", 0, "x=TRUE y=FALSE"},
        {"", 1, "x=FALSE"},
        {"a=FALSE b=TRUE", 2, "x=FALSE y=TRUE c=TRUE"},
        {"", 3, "y=FALSE c=FALSE"}}},
      {"a function in a rung runs only with EN; ENO feeds a coil",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10) + in_var(3, "n", 100, 40) +
           in_var(4, "1", 100, 60) + block(5, "ADD", "", 200, 10, "EN=2 IN1=3 IN2=4", "ENO OUT") +
           out_var(6, "n", "5:OUT", 300, 40) + ld("coil", 7, "x", "5:ENO", 400, 10),
       {{"", 0, "n=0 x=FALSE"},
        {"a=TRUE", 1, "n=1 x=TRUE"},
        {"", 2, "n=2"},
        {"a=FALSE", 3, "n=2 x=FALSE"}}},
      {"a timer in a rung",
       "LD",
       rail(1, 0) + ld("contact", 2, "a", "1", 100, 10) + in_var(3, "T#100ms", 100, 40) +
           block(4, "TON", "t", 200, 10, "IN=2 PT=3", "Q ET") + ld("coil", 5, "x", "4:Q", 300, 10),
       {{"a=TRUE", 0, "x=FALSE"}, {"", 100, "x=TRUE t.ET=T#100ms"}, {"a=FALSE", 150, "x=FALSE"}}},
  };
  for (const drawn_case& c : cases) EXPECT_EQ(run_drawn(c), "") << c.name;
}

TEST(PlcScan, FunctionBlockDiagramScanByScan) {
  const drawn_case cases[] = {
      {"a block fed by its own output reads last scan's value",
       "FBD",
       in_var(3, "1", 0, 40) + block(2, "ADD", "", 100, 10, "IN1=2:OUT IN2=3", "OUT") +
           out_var(4, "n", "2", 200, 10),
       {{"", 0, "n=1"}, {"", 1, "n=2"}, {"", 2, "n=3"}}},
      {"by position, a reader drawn above its writer lags a scan",
       "FBD",
       in_var(1, "a", 0, 100) + out_var(2, "x", "1", 100, 100) + in_var(3, "x", 0, 10) +
           out_var(4, "y", "3", 100, 10),
       {{"a=TRUE", 0, "x=TRUE y=FALSE"}, {"", 1, "y=TRUE"}}},
      {"executionOrderId comes before position",
       "FBD",
       in_var(1, "a", 0, 100) + out_var(2, "x", "1", 100, 100, "executionOrderId=\"1\"") +
           in_var(3, "x", 0, 10) + out_var(4, "y", "3", 100, 10, "executionOrderId=\"2\""),
       {{"a=TRUE", 0, "x=TRUE y=TRUE"}}},
      {"negated and rising pins",
       "FBD",
       in_var(1, "a", 0, 10) + in_var(2, "b", 0, 30) +
           block(3, "AND", "", 100, 10, "IN1=1! IN2=2^", "OUT!") + out_var(4, "x", "3", 200, 10),
       {{"b=TRUE", 0, "x=FALSE"},
        {"", 1, "x=TRUE"},
        {"b=FALSE", 2, "x=TRUE"},
        {"b=TRUE", 3, "x=FALSE"},
        {"a=TRUE b=FALSE", 4, "x=TRUE"},
        {"b=TRUE", 5, "x=TRUE"}}},
      {"a connector and its continuation; SEL by formal names",
       "FBD",
       in_var(1, "a", 0, 10) + "<connector localId=\"2\" name=\"link\">" + at(100, 10) + from("1") +
           "</connector>\n" + "<continuation localId=\"3\" name=\"LINK\">" + at(0, 100) +
           "<connectionPointOut/></continuation>\n" + out_var(4, "x", "3", 100, 100) +
           in_var(5, "10", 0, 120) + in_var(6, "20", 0, 140) +
           block(7, "SEL", "", 100, 120, "G=3 IN0=5 IN1=6", "OUT") + out_var(8, "n", "7", 200, 120),
       {{"", 0, "x=FALSE n=10"}, {"a=TRUE", 1, "x=TRUE n=20"}}},
  };
  for (const drawn_case& c : cases) EXPECT_EQ(run_drawn(c), "") << c.name;
}

// Chart elements. src as in from(); a step without src is an initial one.
std::string step(int id, const std::string& name, const std::string& src, int x, int y) {
  return "<step localId=\"" + std::to_string(id) + "\" name=\"" + name + "\"" +
         (src.empty() ? " initialStep=\"true\">" + at(x, y) : ">" + at(x, y) + from(src)) +
         "<connectionPointOut/></step>\n";
}
std::string transition(int id, const std::string& src, const std::string& cond, int x, int y,
                       const std::string& attrs = "") {
  return "<transition localId=\"" + std::to_string(id) + "\" " + attrs + ">" + at(x, y) +
         from(src) + "<connectionPointOut/><condition><inline name=\"\"><ST><![CDATA[" + cond +
         "]]></ST></inline></condition></transition>\n";
}
// A transition whose condition is drawn: fed by the elements cond names,
// under <connectionPointIn>, or directly under <condition> as old files do.
std::string drawn_transition(int id, const std::string& src, const std::string& cond, int x, int y,
                             bool old_form = false) {
  std::string c = from(cond);
  if (old_form) c = c.substr(19, c.size() - 19 - 20);
  return "<transition localId=\"" + std::to_string(id) + "\">" + at(x, y) + from(src) +
         "<connectionPointOut/><condition>" + c + "</condition></transition>\n";
}
std::string joint(const char* kind, int id, const std::string& src) {
  return "<" + std::string(kind) + " localId=\"" + std::to_string(id) + "\">" + from(src) + "</" +
         kind + ">\n";
}
std::string jump(int id, const std::string& target, const std::string& src) {
  return "<jumpStep localId=\"" + std::to_string(id) + "\" targetName=\"" + target + "\">" +
         from(src) + "</jumpStep>\n";
}
// Actions "N x", "L T#100ms x", "P := n := n + 1;" (an inline body).
std::string actions(int id, int step_id, const std::vector<std::string>& list) {
  std::string out =
      "<actionBlock localId=\"" + std::to_string(id) + "\">" + from(std::to_string(step_id));
  for (const std::string& a : list) {
    std::istringstream in(a);
    std::string q, d, rest;
    in >> q;
    if (q == "L" || q == "D") in >> d;
    std::getline(in, rest);
    rest = rest.substr(1);
    out +=
        "<action qualifier=\"" + q + "\"" + (d.empty() ? "" : " duration=\"" + d + "\"") + ">" +
        (rest.rfind(":= ", 0) == 0 ? "<inline><ST><![CDATA[" + rest.substr(3) + "]]></ST></inline>"
                                   : "<reference name=\"" + rest + "\"/>") +
        "</action>";
  }
  return out + "</actionBlock>\n";
}

TEST(PlcScan, ChartsAsDrawnScanByScan) {
  const drawn_case cases[] = {
      {"alternatives: priority before position; a jump back",
       "SFC",
       step(1, "S0", "", 0, 0) + joint("selectionDivergence", 2, "1") +
           transition(3, "2", "a", 0, 50, "priority=\"2\"") +
           transition(4, "2", "b", 100, 50, "priority=\"1\"") + step(5, "S1", "3", 0, 100) +
           step(6, "S2", "4", 100, 100) + transition(7, "5", "c", 0, 150) +
           transition(8, "6", "c", 100, 150) + joint("selectionConvergence", 9, "7 8") +
           jump(10, "S0", "9") + actions(11, 5, {"N x"}) + actions(12, 6, {"N y"}),
       {{"a=TRUE b=TRUE", 0, "x=FALSE y=TRUE"},
        {"b=FALSE c=TRUE", 1, "y=FALSE"},
        {"c=FALSE", 2, "x=TRUE y=FALSE"},
        {"a=FALSE c=TRUE", 3, "x=FALSE"}}},
      {"parallel branches and every qualifier; Step.T in a condition",
       "SFC",
       step(1, "S0", "", 0, 0) + transition(2, "1", "a", 0, 50) +
           joint("simultaneousDivergence", 3, "2") + step(4, "S1", "3", 0, 100) +
           step(5, "S2", "3", 100, 100) + transition(6, "4", "b", 0, 150) +
           transition(7, "5", "c AND S2.T >= T#20ms", 100, 150) + step(8, "S3", "6", 0, 200) +
           step(9, "S4", "7", 100, 200) + joint("simultaneousConvergence", 10, "8 9") +
           transition(11, "10", "NOT a", 0, 250) + jump(12, "S0", "11") +
           actions(13, 4, {"P := n := n + 1;", "L T#100ms x", "S y"}) +
           actions(14, 5, {"D T#50ms z"}) + actions(15, 9, {"R y"}),
       {{"a=TRUE", 0, "n=1 x=TRUE y=TRUE z=FALSE"},
        {"", 60, "n=1 x=TRUE z=TRUE"},
        {"", 100, "x=FALSE y=TRUE"},
        {"b=TRUE", 110, "x=FALSE y=TRUE z=TRUE"},
        {"c=TRUE", 120, "y=FALSE z=FALSE"},
        {"a=FALSE", 130, "y=FALSE"},
        {"a=TRUE b=FALSE c=FALSE", 140, "n=2 x=TRUE"}}},
      {"a condition and an action of the POU, by reference",
       "SFC",
       step(1, "S0", "", 0, 0) + "<transition localId=\"2\">" + at(0, 50) + from("1") +
           "<condition><reference name=\"go\"/></condition></transition>\n" +
           step(3, "S1", "2", 0, 100) + transition(4, "3", "NOT a", 0, 150) + jump(5, "S0", "4") +
           actions(6, 3, {"N count"}),
       {{"a=TRUE b=TRUE", 0, "n=0"}, {"b=FALSE", 1, "n=1"}, {"", 2, "n=2"}, {"a=FALSE", 3, "n=2"}},
       "<actions><action name=\"count\"><body><ST><xhtml:p><![CDATA[n := n + "
       "1;]]></xhtml:p></ST></body>"
       "</action></actions><transitions><transition name=\"go\"><body><ST><xhtml:p><![CDATA[go := "
       "a AND "
       "NOT b;]]></xhtml:p></ST></body></transition></transitions>"},
      {"conditions drawn as contacts (one rising) and as a block, in both forms",
       "SFC",
       step(1, "S0", "", 0, 0) + rail(20, 50) + ld("contact", 21, "a", "20", 50, 50) +
           ld("contact", 22, "b", "21", 80, 50, "negated=\"true\"") +
           drawn_transition(2, "1", "22", 0, 50) + step(3, "S1", "2", 0, 100) +
           in_var(23, "n", 50, 150) + in_var(24, "1", 50, 170) +
           block(25, "GE", "", 80, 150, "IN1=23 IN2=24", "OUT") +
           drawn_transition(4, "3", "25", 0, 150, true) + step(5, "S2", "4", 0, 200) +
           ld("contact", 26, "c", "20", 50, 250, "edge=\"rising\"") +
           drawn_transition(6, "5", "26", 0, 250) + jump(7, "S0", "6") +
           actions(8, 3, {"P := n := n + 1;"}) + actions(9, 5, {"N x"}),
       {{"a=TRUE b=TRUE c=TRUE", 0, "n=0 x=FALSE"},
        {"b=FALSE", 1, "n=1 x=FALSE"},
        {"", 2, "n=1 x=TRUE"},
        {"", 3, "x=TRUE"},
        {"c=FALSE", 4, "x=TRUE"},
        {"c=TRUE", 5, "x=FALSE"},
        {"", 6, "n=2"}}},
  };
  for (const drawn_case& c : cases) EXPECT_EQ(run_drawn(c), "") << c.name;
}

// Charts this system refuses, each by what it is and where.
TEST(PlcFiles, ChartsRefusedByName) {
  const struct {
    std::string elements;
    const char* message;
  } cases[] = {
      {step(1, "S0", "2", 0, 0) + transition(2, "1", "a", 0, 50),
       "POU main: the chart has no initial step"},
      {step(1, "S0", "", 0, 0) + transition(2, "1", "a", 0, 50) + jump(3, "S9", "2"),
       "POU main, element localId 3: jump to S9, which is not a step of the chart"},
      {step(1, "S0", "", 0, 0) + "<macroStep localId=\"2\" name=\"M\"/>\n",
       "POU main, element localId 2: macroStep is not supported"},
      {step(1, "S0", "", 0, 0) + "<actionBlock localId=\"2\">" + from("1") +
           "<action qualifier=\"P1\"><reference name=\"x\"/></action></actionBlock>\n",
       "POU main, element localId 2: qualifier P1 is not supported"},
      {step(1, "S0", "", 0, 0) + actions(2, 1, {"N nothing"}),
       "POU main: step S0: nothing is neither an action of the POU nor a BOOL variable"},
      {step(1, "S0", "", 0, 0) + actions(2, 1, {"N n"}),
       "POU main: step S0: n is neither an action of the POU nor a BOOL variable"},
      {step(1, "S0", "", 0, 0) + "<transition localId=\"2\">" + from("1") +
           "<condition><reference name=\"nope\"/></condition></transition>\n" +
           step(3, "S1", "2", 0, 0),
       "POU main, element localId 2: no transition named nope in the POU"},
      {step(1, "S0", "", 0, 0) + transition(2, "1", "a", 0, 50),
       "POU main, element localId 2: a transition needs a step before and after it"},
      {step(1, "S0", "", 0, 0) + step(2, "s0", "", 0, 0),
       "POU main, element localId 2: step s0 is drawn twice"},
      {step(1, "S0", "", 0, 0) + drawn_transition(2, "1", "1", 0, 50) + step(3, "S1", "2", 0, 100),
       "POU main, element localId 2: its condition's connection names localId 1, an element of "
       "the chart, not of a network"},
      {step(1, "S0", "", 0, 0) + drawn_transition(2, "1", "4", 0, 50) + step(3, "S1", "2", 0, 100) +
           "<label localId=\"4\" label=\"l\"/>\n",
       "POU main, element localId 4: label is not supported"},
  };
  for (const auto& c : cases) {
    const std::string pou = "<pou name=\"main\" pouType=\"program\"><interface><localVars>" +
                            xml_var("a", "BOOL") + xml_var("x", "BOOL") + xml_var("n", "INT") +
                            "</localVars></interface><body><SFC>\n" + c.elements +
                            "</SFC></body></pou>";
    project p;
    error e;
    ASSERT_TRUE(read_project(xml_project(tc6_201, pou), "t.xml", &p, &e));
    const program* prog = nullptr;
    bool ok = choose_program(p, "", &prog, &e);
    runtime rt;
    if (ok) ok = rt.load(*prog, &e);
    EXPECT_FALSE(ok) << c.message;
    const std::string m = e.message;
    EXPECT_EQ(m, c.message);
  }
}

// One output latched from several parts, or driven by a chart from several
// steps, is no error.
TEST(PlcFiles, OutputsWrittenInOnePartOrLatched) {
  const struct {
    const char* what;
    const char* name;
    std::string text;
  } cases[] = {
      {"set and reset coils in two rungs", "t.xml",
       xml_project(
           tc6_201,
           xml_pou("main", "<LD>\n" + rail(1, 0) + ld("contact", 2, "a", "1", 50, 10) +
                               ld("coil", 3, "x", "2", 100, 10, "storage=\"set\"") +
                               ld("contact", 4, "b", "1", 50, 50) +
                               ld("coil", 5, "x", "4", 100, 50, "storage=\"reset\"") + "</LD>"))},
      {"a chart driving one output from two steps", "t.xml",
       xml_project(
           tc6_201,
           xml_pou("main", "<SFC>\n" + step(1, "S0", "", 0, 0) + transition(2, "1", "a", 0, 50) +
                               step(3, "S1", "2", 0, 100) + transition(4, "3", "b", 0, 150) +
                               jump(5, "S0", "4") + actions(6, 1, {"N x"}) +
                               actions(7, 3, {"S x"}) + "</SFC>"))},
  };
  for (const auto& c : cases) {
    const child_result r = check(c.name, c.text);
    EXPECT_TRUE(r.exited_with(0)) << c.what << "\n" << r.err;
  }
}

// The same program in every wrapping and namespace editors write.
TEST(PlcFiles, StructuredTextInEveryWrappingRunsAlike) {
  const std::string st = "IF a THEN\n  n := n + 1;\nEND_IF;\nx := n &gt;= 2 AND NOT b;";
  const std::string cdata_st = "IF a THEN\n  n := n + 1;\nEND_IF;\nx := n >= 2 AND NOT b;";
  const struct {
    const char* ns;
    std::string body;
  } cases[] = {
      {"http://www.plcopen.org/xml/tc6.xsd", "<ST>" + st + "</ST>"},
      {tc6_201, "<ST><xhtml:p><![CDATA[" + cdata_st + "]]></xhtml:p></ST>"},
      {"http://www.plcopen.org/xml/tc6_0200",
       "<ST><xhtml xmlns=\"http://www.w3.org/1999/xhtml\">" + st + "</xhtml></ST>"},
  };
  for (const auto& c : cases) {
    project p;
    error e;
    ASSERT_TRUE(read_project(xml_project(c.ns, xml_pou("main", c.body)), "t.xml", &p, &e))
        << e.text();
    const program* prog = nullptr;
    ASSERT_TRUE(choose_program(p, "", &prog, &e)) << c.ns << ": " << e.text();
    runtime rt;
    ASSERT_TRUE(rt.load(*prog, &e)) << e.text();
    const int a = rt.find("A"), x = rt.find("x");
    std::string seen;
    for (int scan = 0; scan < 3; ++scan) {
      rt.set(a, value::of_bool(true));
      rt.scan(scan);
      seen += rt.get(x).truth() ? '1' : '0';
    }
    EXPECT_EQ(seen, "011") << c.ns;
  }
  // Errors in a body point at the line of the file.
  project p;
  error e;
  ASSERT_TRUE(read_project(
      xml_project(tc6_201,
                  xml_pou("main", "<ST><xhtml:p><![CDATA[x := a;\ny := b;]]></xhtml:p></ST>")),
      "t.xml", &p, &e));
  const program* prog = nullptr;
  ASSERT_TRUE(choose_program(p, "", &prog, &e));
  runtime rt;
  EXPECT_FALSE(rt.load(*prog, &e));
  EXPECT_EQ(e.text(), "t.xml:17: POU main: unknown name y");
}

TEST(PlcFiles, TheProgramToRun) {
  const std::string two = xml_pou("first", "<ST><xhtml:p>x := a;</xhtml:p></ST>") +
                          xml_pou("second", "<ST><xhtml:p>x := b;</xhtml:p></ST>");
  const struct {
    std::string resource;
    const char* given;
    const char* chosen;  // "" for an error
  } cases[] = {
      {"<task name=\"t\" interval=\"T#20ms\"><pouInstance name=\"i\" typeName=\"second\"/></task>",
       "", "second"},
      {"<pouInstance name=\"i\" type=\"SECOND\"/>", "", "second"},
      {"<task name=\"t\"><pouInstance name=\"i\" typeName=\"second\"/></task>", "first", "first"},
      {"", "", ""},
      {"<task name=\"t\"><pouInstance name=\"i\" typeName=\"first\"/><pouInstance name=\"j\" "
       "typeName=\"second\"/></task>",
       "", ""},
  };
  for (const auto& c : cases) {
    project p;
    error e;
    ASSERT_TRUE(read_project(xml_project(tc6_201, two, c.resource), "t.xml", &p, &e));
    const program* prog = nullptr;
    const bool ok = choose_program(p, c.given, &prog, &e);
    EXPECT_EQ(ok ? prog->name : std::string(), c.chosen) << c.resource << " " << e.text();
  }
}

TEST(PlcFiles, VariablesBindByNameThenByAddress) {
  const char* text =
      "PROGRAM p\nVAR\n"
      "  A AT %IX0.3 : BOOL;\n"   // a by its name, whatever its address
      "  i8 AT %IX1.0 : BOOL;\n"  // input 8 under flat, nothing under openplc
      "  w2 AT %IW2 : INT;\n"
      "  Y : BOOL;\n"
      "  q0 AT %QX100.0 : BOOL;\n"  // output 0 under openplc
      "  m AT %MX0.0 : BOOL;\n"
      "END_VAR\nEND_PROGRAM\n";
  std::vector<program> ps;
  error e;
  project p;
  ASSERT_TRUE(read_project(text, "t.st", &p, &e)) << e.text();
  runtime rt;
  ASSERT_TRUE(rt.load(p.pous[0].prog, &e)) << e.text();
  plant_signals plant;
  std::string message;
  ASSERT_TRUE(plant_signals_of("a,b,c,d,e,f,g,h,i/x,y", &plant, &message));
  auto links = [&](const std::vector<plc::link>& ls) {
    std::string s;
    for (const plc::link& l : ls)
      s += rt.prog().vars[l.var].name + "=" + std::to_string(l.signal) + " ";
    return s;
  };
  binding b;
  // Under flat, q0's %QX100.0 is outside the plant.
  EXPECT_FALSE(bind(rt.prog(), plant, address_map::flat, &b, &e));
  EXPECT_NE(e.message.find("variable q0: address %QX100.0 is outside"), std::string::npos);
  plant_signals wide = plant;
  for (int k = 0; k < 800; ++k) wide.outputs.push_back("o" + std::to_string(k));
  ASSERT_TRUE(bind(rt.prog(), wide, address_map::flat, &b, &e)) << e.text();
  EXPECT_EQ(links(b.inputs), "A=0 i8=8 w2=2 ");
  EXPECT_EQ(links(b.outputs), "Y=1 q0=800 ");
  ASSERT_EQ(b.warnings.size(), 1u);
  EXPECT_EQ(b.warnings[0].text(),
            "t.st:3: warning: variable A is the plant's input a by its name, but its address "
            "%IX0.3 is %IX0.0 or %IW0 under this map");
  EXPECT_FALSE(bind(rt.prog(), plant, address_map::openplc, &b, &e));
  EXPECT_NE(e.message.find("variable i8: address %IX1.0 is outside the plant (9 inputs)"),
            std::string::npos);
}

// Every real project of the corpus is checked or refused by name; none
// crashes or hangs.
TEST(PlcFiles, RealProjectsAreCheckedOrRefusedByName) {
  const std::string corpus = testsupport::env("SUDZ_SOURCE_DIR") + "/../shared/plcopen-corpus";
  struct stat st;
  if (stat(corpus.c_str(), &st) != 0) GTEST_SKIP() << corpus << " is not here";
  const std::string files = testsupport::output_of("find '" + corpus + "' -name '*.xml' | sort");
  std::istringstream in(files);
  int n = 0;
  const std::regex refused(
      ".*\\.xml(:[0-9]+)?: (POU [^:]+: .* is not supported.*|no program to run.*|"
      "POU [^:]+: variable .* is written by two parts of the program: .*)");
  for (std::string f; std::getline(in, f);) {
    ++n;
    const child_result r = testsupport::run_program({plc_program(), "--check", f}, 60000);
    ASSERT_TRUE(r.finished) << f << " did not end";
    if (r.exited_with(0)) continue;
    EXPECT_TRUE(r.exited_with(1)) << f << ": " << r.err;
    const std::string first = r.err.substr(0, r.err.find('\n'));
    EXPECT_TRUE(std::regex_match(first, refused)) << first;
  }
  EXPECT_GE(n, 10);
}

}  // namespace
