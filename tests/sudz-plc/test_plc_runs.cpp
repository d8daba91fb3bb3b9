// sudz-plc driving a real plant: the gate's Structured Text program graded
// by sudz-grade, which runs it through sudz-trace under its own Xvfb.
#include <gtest/gtest.h>

#include <string>

#include "e2e/e2e_support.h"
#include "support/child_process.h"

using namespace e2e;

namespace {

TEST(PlcRun, TheGateInStructuredTextReachesItsGoalCleanly) {
  testsupport::temp_dir dir;
  // The operator presses the button one second in.
  testsupport::write_file(dir.file("scenario"), "set Bp=1@1+0.5\n");
  int status = -1;
  const std::string table =
      shell("timeout -s KILL 300 " + build_dir() + "/src/sudz-grade/sudz-grade --plant sudz-gate " +
                "--scenario " + dir.file("scenario") + " --minutes 0.3 --idle 2 --out " +
                dir.file("out") + " '" + build_dir() + "/src/sudz-plc/sudz-plc " + source_dir() +
                "/examples/plc/portail.st' 2>&1",
            &status);
  EXPECT_EQ(status, 0) << table;
  const size_t row = table.find("| sudz-plc | ");
  ASSERT_NE(row, std::string::npos) << table;
  const std::string line = table.substr(row, table.find('\n', row) - row);
  EXPECT_NE(line.find("| sudz-plc | yes, "), std::string::npos) << line;
  EXPECT_NE(line.find(" | none | none | "), std::string::npos) << line;
  EXPECT_NE(line.find("controller exited with status 0"), std::string::npos) << line;
}

}  // namespace
