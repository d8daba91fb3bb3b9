// sudz-view without a window: its command line, the three documents it writes and how it
// reports what it cannot read or write.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "support/child_process.h"
#include "viewer/pdf_check.h"

namespace {

using testsupport::read_file;
using testsupport::temp_dir;

std::string source(const std::string& rel) {
  const char* src = std::getenv("SUDZ_SOURCE_DIR");
  return std::string(src != nullptr ? src : ".") + "/" + rel;
}

std::string program() {
  const char* b = std::getenv("SUDZ_BUILD_DIR");
  return std::string(b != nullptr ? b : "build") + "/src/sudz-view/sudz-view";
}

struct result {
  int status;
  std::string out;  // standard output and error
};

// Runs sudz-view in dir without a display.
result view(const std::string& dir, const std::string& args) {
  int status = 0;
  const std::string out = testsupport::output_of(
      "cd '" + dir + "' && env -u DISPLAY timeout 60 '" + program() + "' " + args + " 2>&1",
      &status);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(SudzView, CommandLine) {
  temp_dir dir;
  const struct {
    std::string args;
    int status;
    std::string says;
  } cases[] = {
      {"--help", 0, "usage: sudz-view [--english] [--pdf-viewer CMD] FILE"},
      {"", 1, "sudz-view: no FILE"},
      {"--bogus x", 1, "unknown option --bogus"},
      {"--pdf", 1, "--pdf needs a file name"},
      {"a b", 1, "only one FILE"},
      {"--pdf out.pdf missing.txt", 1, "sudz-view: cannot read missing.txt: No such file"},
      {"'" + source("examples/viewer_sample.txt") + "'", 1, "cannot open the display"},
      {"--pdf /dev/full '" + source("examples/viewer_sample.txt") + "'", 1,
       "sudz-view: cannot write /dev/full: No space left on device"},
  };
  for (const auto& c : cases) {
    const result r = view(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_EQ(testsupport::output_of("ls -A '" + dir.path() + "'"), "");
}

// The three documents, from a file and from standard input, without a display and without
// writing anything else.
TEST(SudzView, WritesTheDocumentsAndNothingElse) {
  temp_dir dir;
  const std::string small = source("tests/viewer/golden/small.txt");
  result r = view(dir.path(), "--text t.txt --ps t.ps --pdf t.pdf '" + small + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(dir.file("t.txt")), read_file(source("tests/viewer/golden/small.text")));
  EXPECT_EQ(read_file(dir.file("t.ps")), read_file(source("tests/viewer/golden/small.ps")));
  viewertest::check_pdf_file(dir.file("t.pdf"));
  EXPECT_EQ(testsupport::output_of("ls -A '" + dir.path() + "'"), "t.pdf\nt.ps\nt.txt\n");

  r = view(dir.path(), "--ps s.ps - < '" + small + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(read_file(dir.file("s.ps")), read_file(dir.file("t.ps")));
  // Carriage returns before line feeds are dropped.
  const std::string crlf =
      testsupport::output_of("cd '" + dir.path() + "' && sed 's/$/\\r/' '" + small + "' | '" +
                             program() + "' --text crlf.txt - 2>&1");
  EXPECT_EQ(crlf, "");
  EXPECT_EQ(read_file(dir.file("crlf.txt")), read_file(dir.file("t.txt")));
}

}  // namespace
