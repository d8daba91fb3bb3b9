// The engine without a plant: literals, then Structured Text programs
// stepped scan by scan through scripted inputs and a fake clock.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "plcengine/runtime.h"
#include "plcengine/st_reader.h"
#include "scan_table.h"

using namespace plc;
using plctest::scan_row;

namespace {

TEST(PlcLiteral, TextsAndTheirValues) {
  const struct {
    const char* text;
    bool ok;
    type t;
    const char* shown;
  } cases[] = {
      {"16#FF", true, type::any_int, "255"},
      {"2#1010", true, type::any_int, "10"},
      {"8#17", true, type::any_int, "15"},
      {"1_000", true, type::any_int, "1000"},
      {"T#1m30s", true, type::TIME, "T#90000ms"},
      {"TIME#250ms", true, type::TIME, "T#250ms"},
      {"t#1.5s", true, type::TIME, "T#1500ms"},
      {"T#1h_2m", true, type::TIME, "T#3720000ms"},
      {"INT#-5", true, type::INT, "-5"},
      {"SINT#200", true, type::SINT, "-56"},  // wraps to the type's width
      {"BYTE#16#1FF", true, type::BYTE, "255"},
      {"BOOL#1", true, type::BOOL, "TRUE"},
      {"1.5E3", true, type::any_real, "1500"},
      {"TRUE", true, type::BOOL, "TRUE"},
      {"16#FG", false, type::BOOL, ""},
      {"2#102", false, type::BOOL, ""},
      {"T#5", false, type::BOOL, ""},
      {"T#5x", false, type::BOOL, ""},
      {"99999999999999999999", false, type::BOOL, ""},
      {"FOO#1", false, type::BOOL, ""},
  };
  for (const auto& c : cases) {
    value v;
    const bool ok = parse_literal(c.text, &v);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (!ok || !c.ok) continue;
    EXPECT_EQ(v.t, c.t) << c.text;
    EXPECT_EQ(to_text(v), c.shown) << c.text;
  }
}

struct scan_case {
  const char* name;
  const char* vars;  // declarations, inside VAR ... END_VAR
  const char* body;
  std::vector<scan_row> scans;
};

// Runs a case and returns the first mismatch, or "".
std::string run_case(const scan_case& c) {
  const std::string text =
      std::string("PROGRAM t\nVAR\n") + c.vars + "\nEND_VAR\n" + c.body + "\nEND_PROGRAM\n";
  std::vector<program> programs;
  error e;
  if (!read_st_file(text, "t.st", &programs, &e)) return "read: " + e.text();
  runtime rt;
  if (!rt.load(programs.at(0), &e)) return "load: " + e.text();
  return plctest::step_rows(rt, c.scans);
}

TEST(PlcScan, StructuredTextScanByScan) {
  const scan_case cases[] = {
      {"IF, ELSIF and ELSE pick one branch; outputs keep what was written",
       "a, b : BOOL; x : INT := 7;",
       "IF a THEN x := 1; ELSIF b THEN x := 2; ELSIF a AND b THEN x := 3; ELSE ; END_IF;",
       {{"", 0, "x=7"},
        {"b=TRUE", 10, "x=2"},
        {"a=TRUE", 20, "x=1"},
        {"a=FALSE b=FALSE", 30, "x=1"}}},
      {"CASE with lists, ranges, negative labels and ELSE",
       "n, x : INT;",
       "CASE n OF 1, 3: x := 10; 4..6: x := 20; -2: x := 30; ELSE x := 99; END_CASE;",
       {{"n=3", 0, "x=10"}, {"n=6", 0, "x=20"}, {"n=-2", 0, "x=30"}, {"n=7", 0, "x=99"}}},
      {"FOR with BY and EXIT; WHILE; REPEAT runs once at least",
       "i, s, w, r : INT;",
       "s := 0; FOR i := 10 TO 1 BY -3 DO s := s + i; END_FOR;\n"
       "w := 0; WHILE w < 100 DO w := w + 7; IF w > 50 THEN EXIT; END_IF; END_WHILE;\n"
       "REPEAT r := r + 1; UNTIL TRUE END_REPEAT;",
       {{"", 0, "s=22 i=-2 w=56 r=1"}, {"", 1, "r=2"}}},
      {"FOR ends at its counter type's last value instead of wrapping",
       "i : SINT; k : INT;",
       "k := 0; FOR i := 120 TO 127 DO k := k + 1; END_FOR;",
       {{"", 0, "k=8 i=127"}}},
      {"RETURN ends the scan; the rest waits for the next",
       "a : BOOL; x, y : INT;",
       "x := x + 1; IF a THEN RETURN; END_IF; y := y + 1;",
       {{"", 0, "x=1 y=1"}, {"a=TRUE", 1, "x=2 y=1"}}},
      {"integers wrap to their width; a division by 0 gives 0",
       "i : INT := 32767; b : BYTE := 250; d : DINT; m : INT;",
       "i := i + 1; b := b + 10; d := 7 / (m - m); m := -7 MOD 3;",
       {{"", 0, "i=-32768 b=4 d=0 m=-1"}}},
      {"precedence, NOT on words, AND/OR/XOR",
       "a, b, c, x, y : BOOL; w : WORD; n : INT;",
       "x := a OR b AND c; y := a XOR b; w := NOT WORD#16#00F0 AND 16#0FFF; n := 2 + 3 * 4 ** 2 - "
       "-1;",
       {{"a=TRUE", 0, "x=TRUE y=TRUE w=3855 n=51"}, {"a=FALSE b=TRUE", 0, "x=FALSE y=TRUE"}}},
      {"a BOOL beside a number in AND reads it alike on either side",
       "a, x, y : BOOL; n : INT;",
       "x := a AND n; y := n AND a;",
       {{"a=TRUE n=2", 0, "x=TRUE y=TRUE"}, {"n=0", 1, "x=FALSE y=FALSE"}}},
      {"functions and conversions",
       "r : REAL; i : INT; t : TIME; b : BOOL; u : UINT;",
       "r := INT_TO_REAL(7) / 2; i := REAL_TO_INT(2.5) + REAL_TO_INT(-1.6);\n"
       "i := i * 100 + LIMIT(MN := 0, IN := 12, MX := 10) + MAX(1, 5, 3) - MIN(4, 2);\n"
       "t := SEL(b, T#1s, T#2s) + MUX(2, T#0s, T#1ms, T#5ms); u := ABS(-3) + "
       "REAL_TO_UINT(SQRT(16.0));\n",
       {{"", 0, "r=3.5 i=13 t=T#1005ms u=7"}, {"b=TRUE", 0, "t=T#2005ms"}}},
      {"TON: Q after PT of IN held, ET stops at PT, drops with IN",
       "a : BOOL; q : BOOL; t : TON;",
       "t(IN := a, PT := T#100ms, Q => q);",
       {{"a=TRUE", 1000, "q=FALSE t.ET=T#0ms"},
        {"", 1099, "q=FALSE t.ET=T#99ms"},
        {"", 1100, "q=TRUE t.ET=T#100ms"},
        {"", 5000, "q=TRUE t.ET=T#100ms"},
        {"a=FALSE", 5001, "q=FALSE t.ET=T#0ms"}}},
      {"TOF: Q holds PT after IN falls; TP: a pulse of PT whatever IN does",
       "a : BOOL; f : TOF; p : TP;",
       "f(IN := a, PT := T#50ms); p(IN := a, PT := T#50ms);",
       {{"", 0, "f.Q=FALSE p.Q=FALSE"},
        {"a=TRUE", 10, "f.Q=TRUE p.Q=TRUE"},
        {"a=FALSE", 20, "f.Q=TRUE p.Q=TRUE p.ET=T#10ms"},
        {"a=TRUE", 30, "f.Q=TRUE p.Q=TRUE"},
        {"a=FALSE", 40, "f.Q=TRUE f.ET=T#0ms"},
        {"", 60, "p.Q=FALSE p.ET=T#0ms f.Q=TRUE f.ET=T#20ms"},
        {"", 90, "f.Q=FALSE f.ET=T#50ms"}}},
      {"CTU, CTD and CTUD count edges, not levels",
       "u, d, r, l : BOOL; cu : CTU; cd : CTD; ud : CTUD;",
       "cu(CU := u, R := r, PV := 2); cd(CD := d, LD := l, PV := 2);\n"
       "ud(CU := u, CD := d, R := r, LD := l, PV := 1);",
       {{"l=TRUE", 0, "cd.CV=2 cd.Q=FALSE ud.CV=1 ud.QU=TRUE"},
        {"l=FALSE u=TRUE", 1, "cu.CV=1 cu.Q=FALSE ud.CV=2"},
        {"", 2, "cu.CV=1"},
        {"u=FALSE", 3, "cu.CV=1"},
        {"u=TRUE d=TRUE", 4, "cu.CV=2 cu.Q=TRUE cd.CV=1 ud.CV=2"},
        {"u=FALSE d=FALSE", 5, ""},
        {"d=TRUE", 6, "cd.CV=0 cd.Q=TRUE ud.CV=1 ud.QD=FALSE"},
        {"r=TRUE", 7, "cu.CV=0 cu.Q=FALSE ud.CV=0 ud.QD=TRUE"}}},
      {"R_TRIG pulses once per rise; F_TRIG gives no pulse on the first scan",
       "a : BOOL; r : R_TRIG; f : F_TRIG; nr, nf : INT;",
       "r(CLK := a); f(CLK := a); IF r.Q THEN nr := nr + 1; END_IF; IF f.Q THEN nf := nf + 1; "
       "END_IF;",
       {{"", 0, "r.Q=FALSE f.Q=FALSE"},
        {"a=TRUE", 1, "r.Q=TRUE nr=1"},
        {"", 2, "r.Q=FALSE nr=1 nf=0"},
        {"a=FALSE", 3, "f.Q=TRUE nf=1"},
        {"", 4, "f.Q=FALSE nf=1"}}},
      {"SR is set-dominant, RS reset-dominant",
       "s, r : BOOL; sr : SR; rs : RS;",
       "sr(S1 := s, R := r); rs(S := s, R1 := r);",
       {{"s=TRUE r=TRUE", 0, "sr.Q1=TRUE rs.Q1=FALSE"},
        {"r=FALSE", 1, "sr.Q1=TRUE rs.Q1=TRUE"},
        {"s=FALSE", 2, "sr.Q1=TRUE rs.Q1=TRUE"},
        {"r=TRUE", 3, "sr.Q1=FALSE rs.Q1=FALSE"}}},
      {"an instance's inputs may be set, then the instance called",
       "a : BOOL; t : TON;",
       "t.IN := a; t.PT := T#10ms; t();",
       {{"a=TRUE", 0, "t.Q=FALSE"}, {"", 10, "t.Q=TRUE"}}},
      {"VAR_TEMP starts again at every scan",
       "n : INT; END_VAR VAR_TEMP k : INT := 5;",
       "k := k + 1; n := n + k;",
       {{"", 0, "n=6"}, {"", 1, "n=12"}}},
  };
  for (const scan_case& c : cases) EXPECT_EQ(run_case(c), "") << c.name;
}

TEST(PlcScan, ALoopThatNeverEndsStopsTheScanWithAFault) {
  std::vector<program> ps;
  error e;
  ASSERT_TRUE(read_st_file(
      "PROGRAM p VAR n : INT; END_VAR\nWHILE TRUE DO\nn := n + 1;\nEND_WHILE;\nEND_PROGRAM", "p.st",
      &ps, &e));
  runtime rt;
  ASSERT_TRUE(rt.load(ps[0], &e)) << e.text();
  EXPECT_FALSE(rt.scan(0));
  EXPECT_EQ(rt.fault().line, 2);  // the loop's own line
  EXPECT_NE(rt.fault().message.find("POU p: loops ran more than"), std::string::npos);
}

}  // namespace

namespace {

// What the runtime refuses when it resolves a program, with the line.
TEST(PlcScan, ProgramsTheRuntimeRefuses) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"VAR x : BOOL; END_VAR\nEXIT;", "t.st:3: POU p: EXIT outside a loop"},
      {"VAR r : REAL; END_VAR\nFOR r := 1 TO 2 DO END_FOR;",
       "t.st:3: POU p: the counter of FOR must be an integer variable"},
      {"VAR t : TON; q : BOOL; END_VAR\nt(Q := q);",
       "t.st:3: POU p: TON.Q is an output: read it with =>"},
      {"VAR t : TON; q : BOOL; END_VAR\nt(IN => q);",
       "t.st:3: POU p: TON.IN is an input: give it with :="},
      {"VAR t : TON; q : BOOL; END_VAR\nt(EN := q);", "t.st:3: POU p: t (TON) has no parameter EN"},
      {"VAR t : TON; q : BOOL; END_VAR\nq := t;",
       "t.st:3: POU p: t is a function block instance: read one of its outputs, as t.Q"},
      {"VAR q : BOOL; END_VAR\nq();", "t.st:3: POU p: q is not a function block instance"},
      {"VAR q : BOOL; END_VAR\nq := q.X;",
       "t.st:3: POU p: q.X: q is not a function block instance"},
      {"VAR n : INT; END_VAR\nn := LIMIT(1, 2);",
       "t.st:3: POU p: function LIMIT takes 3 arguments"},
      {"VAR n : INT; END_VAR\nn := MAX(1);",
       "t.st:3: POU p: function MAX takes at least 2 arguments"},
      {"VAR n : INT; END_VAR\nn := SEL(G := TRUE, IN0 := 1, IN3 := 2);",
       "t.st:3: POU p: function SEL has no parameter IN3 here"},
      {"VAR n : INT; END_VAR\nn := CONCAT(1, 2);",
       "t.st:3: POU p: function CONCAT is not supported"},
      {"VAR n : INT; END_VAR\nn := n[1];", "t.st:3: an array is not supported"},
      {"VAR n : INT; END_VAR\nn := 'x';", "t.st:3: STRING is not supported"},
      {"VAR n : INT; N : BOOL; END_VAR", "t.st:2: POU p: variable N declared twice"},
      {"VAR f : MyBlock; END_VAR", "t.st:2: POU p: type MyBlock is not supported (variable f)"},
      {"VAR t : TON := 1; END_VAR", "t.st:2: POU p: an instance of TON takes no initial value"},
      {"VAR_IN_OUT v : BOOL; END_VAR", "t.st:2: POU p: VAR_IN_OUT is not supported (variable v)"},
      {"VAR n : INT := x; END_VAR", "t.st:2: an initial value must be a constant"},
      {"VAR n : INT; END_VAR\nt(n, 2);", "t.st:3: a call of t needs formal parameters (IN := ...)"},
      {"VAR n : INT; END_VAR\nn := 16#FG;", "t.st:3: bad constant 16#FG"},
      {"VAR n : INT; END_VAR\nn := (((1);", "t.st:3: expected \")\""},
      {"VAR n : INT; END_VAR\n(* never closed", "t.st:3: comment not closed by \"*)\""},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("PROGRAM p\n") + c.text + "\nEND_PROGRAM\n";
    std::vector<program> ps;
    error e;
    if (read_st_file(text, "t.st", &ps, &e)) {
      runtime rt;
      EXPECT_FALSE(rt.load(ps.at(0), &e)) << c.text;
    }
    EXPECT_EQ(e.text(), c.message) << c.text;
  }
  // Nesting deep enough to exhaust the stack is refused, not followed.
  std::string deep = "PROGRAM p VAR b : BOOL; END_VAR b := ";
  for (int i = 0; i < 5000; ++i) deep += "NOT (";
  std::vector<program> ps;
  error e;
  EXPECT_FALSE(read_st_file(deep + "b", "t.st", &ps, &e));
  EXPECT_EQ(e.message, "nested too deeply");
}

}  // namespace
