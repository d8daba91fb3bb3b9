// A textual chart as a program of the runtime: its values stay 64-bit
// integers whatever the runtime's types, and its names stay exact where the
// runtime's ignore case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plcengine/sfc_check.h"
#include "plcengine/sfc_program.h"
#include "plcengine/sfc_reader.h"
#include "scan_table.h"

namespace {

struct chart_case {
  const char* name;
  const char* body;
  std::vector<plctest::scan_row> rows;
};

TEST(SfcProgram, ChartMeaningTable) {
  const std::vector<chart_case> cases = {
      {"inputs keep their raw value; AND, NOT and arithmetic as on integers",
       "VAR n : INT := 0; END_VAR\n"
       "ACTION k: n := n + 2; x := n; y := (n AND 2) AND NOT (n - n); z := a + b = 2;"
       " END_ACTION\n"
       "INITIAL_STEP S: k(N); END_STEP",
       {{"a=1 b=1", 0, "x=TRUE y=TRUE z=TRUE n=2"},
        {"a=2 b=0", 10, "x=TRUE y=TRUE z=TRUE n=4"},
        {"a=3 b=0", 20, "z=FALSE n=6"}}},
      {"names that differ by case only are different names",
       "VAR A : INT := 7; END_VAR\n"
       "INITIAL_STEP S: x(N); END_STEP STEP s: y(N); END_STEP\n"
       "TRANSITION FROM S TO s := a = 2 AND A = 7 AND -b < 0; END_TRANSITION\n"
       "TRANSITION FROM s TO S := S.X; END_TRANSITION",
       {{"a=1 b=1", 0, "x=TRUE y=FALSE"},
        {"a=2 b=1", 10, "x=FALSE y=TRUE"},
        {"a=2 b=1", 20, "x=FALSE y=TRUE"}}},
  };
  sfc::plant_names plant;
  std::string message;
  ASSERT_TRUE(sfc::plant_names_of("a,b,c/x,y,z", &plant, &message));
  for (const chart_case& k : cases) {
    SCOPED_TRACE(k.name);
    sfc::chart c;
    sfc::chart_error e;
    ASSERT_TRUE(sfc::read_chart(std::string("PROGRAM t\n") + k.body + "\nEND_PROGRAM\n", &c, &e))
        << e.message;
    ASSERT_TRUE(sfc::check_chart(c, &plant).errors.empty());
    plc::runtime rt;
    plc::error err;
    ASSERT_TRUE(rt.load(sfc::chart_program(c, plant, "t.sfc"), &err)) << err.text();
    EXPECT_EQ(plctest::step_rows(rt, k.rows), "");
  }
}

}  // namespace
