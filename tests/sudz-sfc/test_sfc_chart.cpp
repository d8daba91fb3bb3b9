// The chart model without a display or a simulator: evolution scan by scan
// with a fake clock, and the errors a student gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plcengine/sfc_chart.h"
#include "plcengine/sfc_check.h"
#include "plcengine/sfc_reader.h"
#include "plcengine/sfc_scan.h"

using namespace sfc;

namespace {

// Every case runs against a small plant: inputs a, b, c; outputs x, y, z.
plant_names small_plant() {
  plant_names p;
  std::string error;
  plant_names_of("a,b,c/x,y,z", &p, &error);
  return p;
}

std::string program(const std::string& body) { return "PROGRAM t\n" + body + "\nEND_PROGRAM\n"; }

struct scan_row {
  const char* inputs;   // a b c as "010"
  long long t_ms;
  const char* active;   // active steps in the order of the text, blank-separated
  const char* outputs;  // x y z as "100"
};

struct evolution_case {
  const char* name;
  const char* body;
  std::vector<scan_row> scans;
};

std::string active_steps(const chart& c, const chart_scan& s) {
  std::string out;
  for (size_t k = 0; k < c.steps.size(); ++k)
    if (s.active(static_cast<int>(k))) out += (out.empty() ? "" : " ") + c.steps[k].name;
  return out;
}

TEST(SfcScan, EvolutionTable) {
  const std::vector<evolution_case> cases = {
      {"parallel branches clear at once",
       "INITIAL_STEP A: END_STEP STEP B: END_STEP STEP C: END_STEP STEP D: x(N); END_STEP\n"
       "STEP E: y(N); END_STEP\n"
       "TRANSITION FROM A TO (B, C) := a; END_TRANSITION\n"
       "TRANSITION FROM B TO D := b; END_TRANSITION\n"
       "TRANSITION FROM C TO E := b; END_TRANSITION",
       {{"000", 0, "A", "000"}, {"100", 10, "B C", "000"}, {"010", 20, "D E", "110"}}},
      {"convergence waits for every branch",
       "INITIAL_STEP A: END_STEP STEP B: END_STEP STEP B2: END_STEP STEP C: END_STEP\n"
       "STEP D: z(N); END_STEP\n"
       "TRANSITION FROM A TO (B, C) := a; END_TRANSITION\n"
       "TRANSITION FROM B TO B2 := b; END_TRANSITION\n"
       "TRANSITION FROM (B2, C) TO D := c; END_TRANSITION",
       {{"100", 0, "B C", "000"},
        {"001", 10, "B C", "000"},
        {"010", 20, "B2 C", "000"},
        {"001", 30, "D", "001"}}},
      {"alternatives: the first in the text wins",
       "INITIAL_STEP A: END_STEP STEP B: x(N); END_STEP STEP C: y(N); END_STEP\n"
       "TRANSITION FROM A TO B := a; END_TRANSITION\n"
       "TRANSITION FROM A TO C := a OR b; END_TRANSITION",
       {{"110", 0, "B", "100"}}},
      {"alternatives: the second alone",
       "INITIAL_STEP A: END_STEP STEP B: x(N); END_STEP STEP C: y(N); END_STEP\n"
       "TRANSITION FROM A TO B := a; END_TRANSITION\n"
       "TRANSITION FROM A TO C := a OR b; END_TRANSITION",
       {{"010", 0, "C", "010"}}},
      {"a step reached is left at the next scan, its actions run once",
       "INITIAL_STEP A: END_STEP STEP B: x(N); y(P); END_STEP STEP C: END_STEP\n"
       "TRANSITION FROM A TO B := a; END_TRANSITION\n"
       "TRANSITION FROM B TO C := a; END_TRANSITION",
       {{"100", 0, "B", "110"}, {"100", 10, "C", "000"}}},
      {"S stores until R, across steps",
       "INITIAL_STEP A: x(S); END_STEP STEP B: END_STEP STEP C: x(R); END_STEP\n"
       "TRANSITION FROM A TO B := a; END_TRANSITION\n"
       "TRANSITION FROM B TO C := b; END_TRANSITION\n"
       "TRANSITION FROM C TO A := c; END_TRANSITION",
       {{"000", 0, "A", "100"},
        {"100", 10, "B", "100"},
        {"010", 20, "C", "000"},
        {"000", 30, "C", "000"},
        {"001", 40, "A", "100"}}},
      {"P once per activation, again on a new one",
       "INITIAL_STEP A: x(P); END_STEP STEP B: END_STEP\n"
       "TRANSITION FROM A TO B := a; END_TRANSITION\n"
       "TRANSITION FROM B TO A := b; END_TRANSITION",
       {{"000", 0, "A", "100"}, {"000", 10, "A", "000"}, {"100", 20, "B", "000"},
        {"010", 30, "A", "100"}, {"000", 40, "A", "000"}}},
      {"a step left and entered in one scan starts again",
       "INITIAL_STEP A: x(P); y(L, T#100ms); END_STEP\n"
       "TRANSITION FROM A TO A := a; END_TRANSITION",
       {{"000", 0, "A", "110"}, {"000", 150, "A", "000"}, {"100", 200, "A", "110"}}},
      {"L and D on the clock",
       "INITIAL_STEP A: x(L, T#100ms); y(D, T#100ms); END_STEP",
       {{"000", 1000, "A", "100"}, {"000", 1099, "A", "100"}, {"000", 1100, "A", "010"}}},
      {".X and .T of another branch",
       "INITIAL_STEP A: END_STEP STEP B: END_STEP STEP C: END_STEP STEP D: END_STEP\n"
       "TRANSITION FROM A TO (B, C) := a; END_TRANSITION\n"
       "TRANSITION FROM C TO D := B.X AND B.T >= T#1s; END_TRANSITION",
       {{"100", 0, "B C", "000"}, {"000", 999, "B C", "000"}, {"000", 1000, "B D", "000"}}},
      {"RE and FE against the previous scan",
       "INITIAL_STEP A: END_STEP STEP B: x(N); END_STEP\n"
       "TRANSITION FROM A TO B := RE(a); END_TRANSITION\n"
       "TRANSITION FROM B TO A := FE(a); END_TRANSITION",
       {{"100", 0, "B", "100"}, {"100", 10, "B", "100"}, {"000", 20, "A", "000"},
        {"000", 30, "A", "000"}, {"100", 40, "B", "100"}}},
      {"an edge seen while its step was inactive is gone",
       "INITIAL_STEP A: END_STEP STEP B: END_STEP STEP C: x(N); END_STEP\n"
       "TRANSITION FROM A TO B := b; END_TRANSITION\n"
       "TRANSITION FROM B TO C := RE(a); END_TRANSITION",
       {{"100", 0, "A", "000"}, {"110", 10, "B", "000"}, {"100", 20, "B", "000"}}},
      {"blocks: variables keep their value, assignments override associations",
       "VAR n : INT := 0; on : BOOL; END_VAR\n"
       "ACTION count: n := n + 1; y := n >= 2; x := FALSE; END_ACTION\n"
       "INITIAL_STEP A: count(N); x(N); on(N); END_STEP STEP B: END_STEP\n"
       "TRANSITION FROM A TO B := n = 3 AND on; END_TRANSITION",
       {{"000", 0, "A", "000"}, {"000", 10, "A", "010"}, {"000", 20, "A", "010"},
        {"000", 30, "B", "000"}}},
      {"arithmetic: precedence, division by 0 gives 0, MOD",
       "VAR n : INT := 0; END_VAR\n"
       "ACTION calc: x := 2 + 3 * 4 = 14; y := 7 / n = 0; z := -7 MOD 3 = -1; END_ACTION\n"
       "INITIAL_STEP A: calc(N); END_STEP",
       {{"000", 0, "A", "111"}}},
      {"outputs read in conditions are those of the previous scan",
       "INITIAL_STEP A: x(N); END_STEP STEP B: END_STEP\n"
       "TRANSITION FROM A TO B := x; END_TRANSITION",
       {{"000", 0, "A", "100"}, {"000", 10, "B", "000"}}},
  };
  const plant_names plant = small_plant();
  for (const evolution_case& k : cases) {
    SCOPED_TRACE(k.name);
    chart c;
    chart_error e;
    ASSERT_TRUE(read_chart(program(k.body), &c, &e)) << e.pos.line << ":" << e.pos.column << " "
                                                      << e.message;
    ASSERT_TRUE(check_chart(c, &plant).errors.empty());
    chart_scan s(c, plant);
    int row = 0;
    for (const scan_row& r : k.scans) {
      int in[3];
      for (int i = 0; i < 3; ++i) in[i] = r.inputs[i] - '0';
      s.scan(in, r.t_ms);
      std::string out;
      for (int v : s.outputs()) out += static_cast<char>('0' + v);
      EXPECT_EQ(active_steps(c, s), r.active) << "scan " << row;
      EXPECT_EQ(out, r.outputs) << "scan " << row;
      ++row;
    }
  }
}

struct error_case {
  std::string text;  // the whole file
  const char* message;  // a part of the message
  int line, column;
};

TEST(SfcCheck, ErrorTable) {
  const std::vector<error_case> cases = {
      {"PROGRAM p\nINITIAL_STEP A: x(N);\nEND_PROGRAM\n", "or END_STEP", 3, 1},
      {"PROGRAM p\nINITIAL_STEP A: x(Q); END_STEP\nEND_PROGRAM\n", "unknown qualifier \"Q\"", 2,
       19},
      {"PROGRAM p\nINITIAL_STEP A: x(L); END_STEP\nEND_PROGRAM\n", "L needs a duration", 2, 17},
      {"PROGRAM p\nINITIAL_STEP A: x(N, T#1s); END_STEP\nEND_PROGRAM\n", "takes no duration",
       2, 17},
      {"PROGRAM p\nINITIAL_STEP A: x N; END_STEP\nEND_PROGRAM\n", "expected \"(\"", 2, 19},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO A := a AND; END_TRANSITION\n"
       "END_PROGRAM\n",
       "expected an operand", 3, 32},
      {"PROGRAM p (* never closed\nINITIAL_STEP A: END_STEP\nEND_PROGRAM\n",
       "comment not closed", 1, 11},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO A := T#; END_TRANSITION\n"
       "END_PROGRAM\n",
       "expected a duration", 3, 29},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nEND_PROGRAM\nextra\n", "after END_PROGRAM", 4, 1},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO A := Nope; END_TRANSITION\n"
       "END_PROGRAM\n",
       "unknown name \"Nope\"", 3, 27},
      {"PROGRAM p\nINITIAL_STEP A: Vii(N); END_STEP\nEND_PROGRAM\n", "unknown action \"Vii\"", 2,
       17},
      {"PROGRAM p\nINITIAL_STEP A: a(N); END_STEP\nEND_PROGRAM\n", "\"a\" is an input", 2, 17},
      {"PROGRAM p\nACTION k: a := 1; END_ACTION\nINITIAL_STEP A: k(N); END_STEP\nEND_PROGRAM\n",
       "\"a\" is an input", 2, 11},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nSTEP A: END_STEP\nEND_PROGRAM\n",
       "step \"A\" is defined twice (first at line 2)", 3, 6},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM B TO A := a; END_TRANSITION\n"
       "END_PROGRAM\n",
       "transition from an unknown step \"B\"", 3, 17},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO (A, C) := a; END_TRANSITION\n"
       "END_PROGRAM\n",
       "transition to an unknown step \"C\"", 3, 26},
      {"PROGRAM p\nSTEP A: END_STEP\nEND_PROGRAM\n", "no initial step", 1, 9},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nSTEP B: END_STEP\n"
       "TRANSITION FROM B TO A := a; END_TRANSITION\nEND_PROGRAM\n",
       "step \"B\" can never be reached", 3, 6},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nSTEP B: x(N); END_STEP\nSTEP C: x(N); END_STEP\n"
       "TRANSITION FROM A TO (B, C) := a; END_TRANSITION\nEND_PROGRAM\n",
       "output \"x\" is driven by steps \"B\" and \"C\", which can be active together", 4, 9},
      {"PROGRAM p\nACTION k: x := a; END_ACTION\nINITIAL_STEP A: END_STEP\nSTEP B: k(N); END_STEP\n"
       "STEP C: x(N); END_STEP\n"
       "TRANSITION FROM A TO (B, C) := a; END_TRANSITION\nEND_PROGRAM\n",
       "output \"x\" is driven by steps \"B\" and \"C\"", 5, 9},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO A := Z.X; END_TRANSITION\n"
       "END_PROGRAM\n",
       "unknown step \"Z\"", 3, 27},
      {"PROGRAM p\nINITIAL_STEP A: END_STEP\nTRANSITION FROM A TO A := " +
        std::string(300, '(') + "a" + std::string(300, ')') + "; END_TRANSITION\nEND_PROGRAM\n",
       "nested too deeply", 3, 0},
  };
  const plant_names plant = small_plant();
  for (const error_case& k : cases) {
    SCOPED_TRACE(k.text);
    chart c;
    chart_error e;
    if (read_chart(k.text, &c, &e)) {
      const check_result r = check_chart(c, &plant);
      ASSERT_FALSE(r.errors.empty());
      e = r.errors.front();
    }
    EXPECT_NE(e.message.find(k.message), std::string::npos) << e.message;
    EXPECT_EQ(e.pos.line, k.line);
    if (k.column > 0) {
      EXPECT_EQ(e.pos.column, k.column);
    }
  }
}

TEST(SfcCheck, MessageShowsTheLineAndACaretUnderTheColumn) {
  const std::string text = "PROGRAM p\n\tINITIAL_STEP A: x(Q); END_STEP\nEND_PROGRAM\n";
  chart c;
  chart_error e;
  ASSERT_FALSE(read_chart(text, &c, &e));
  EXPECT_EQ(format_error("p.sfc", text, e),
            "p.sfc:2:20: unknown qualifier \"Q\" (N, S, R, P, L or D)\n"
            "\tINITIAL_STEP A: x(Q); END_STEP\n"
            "\t                  ^\n");
}

TEST(SfcCheck, AlternativesWarnedUnlessTheyExcludeEachOther) {
  chart c;
  chart_error e;
  ASSERT_TRUE(read_chart(program("INITIAL_STEP A: END_STEP STEP B: END_STEP\n"
                                 "TRANSITION FROM A TO B := a AND b; END_TRANSITION\n"
                                 "TRANSITION FROM A TO B := a AND NOT b; END_TRANSITION\n"
                                 "TRANSITION FROM A TO B := c; END_TRANSITION"),
                         &c, &e));
  const plant_names plant = small_plant();
  const check_result r = check_chart(c, &plant);
  EXPECT_TRUE(r.errors.empty());
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].pos.line, 5);
  EXPECT_NE(r.warnings[0].message.find("line 3, 4"), std::string::npos) << r.warnings[0].message;
}

TEST(SfcReader, TimeLiterals) {
  const std::vector<std::pair<const char*, long long>> cases = {
      {"T#5s", 5000},   {"T#1m30s", 90000}, {"T#250ms", 250},        {"TIME#1h", 3600000},
      {"t#1.5s", 1500}, {"T#1d2h", 93600000}, {"T#1_000ms", 1000},
  };
  for (const auto& k : cases) {
    std::int64_t ms = -1;
    EXPECT_TRUE(parse_time_literal(k.first, &ms)) << k.first;
    EXPECT_EQ(ms, k.second) << k.first;
  }
  std::int64_t ms;
  EXPECT_FALSE(parse_time_literal("T#99999999999d", &ms));
}

}  // namespace
