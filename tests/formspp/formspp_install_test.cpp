// The installed library as a student uses it: install the project's build into a temporary
// prefix, compile a program with one line through pkg-config, and run it on the test's display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/child_process.h"

namespace {

// Uses every installed part: the link library, the dialogs, the vision sheet, the drawing
// primitives, the string utilities and the toolkit itself.
const char* kProgram = R"(#include <cstdio>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>
#include "IOshare/IOsharemem_client.h"
#include "Stringpp/Stringpp.h"
#include "formspp/dialogs.h"
#include "formspp/fl_drawing.h"
#include "formspp/io_panel_window.h"
#include "formspp/vision_sheet.h"
int main(int argc, char** argv) {
  Fl_Window win(200, 100, "installed");
  Fl_Box box(0, 0, 200, 50);
  win.end();
  fl_set_object_Slabel(&box, "panel 100%", 5);
  win.show();
  Fl::check();
  { OFD_wait_form notice("working"); }
  {
    OFD_io_panel_window panels(300, "panels", "Outputs");
    panels.outputs().add("x");
    panels.inputs().add("y");
  }
  win.make_current();
  OFL_vision_sheet sheet;
  sheet.define(0, 0, 100, 100, 56);
  sheet.ofl_arrowbound(0, 0, 50, 50, 88u);
  fl_circf(10, 10, 20, 216u);
  std::printf("%s|%d|%s|%d\n", box.label(), point_dans_segment(5, 0.5, 0, 0, 10, 0, 1),
              dtoS(2.5, 2).c_str(), automemlink_ident(argc, argv));
  return 0;
}
)";

using testsupport::env;
using testsupport::shell;

std::string real_path(const std::string& path) {
  char* r = realpath(path.c_str(), nullptr);
  std::string result = r != nullptr ? r : "";
  std::free(r);
  return result;
}

// The file that ldd's output says `lib` resolves to, its links followed.
std::string resolved(const std::string& ldd, const std::string& lib) {
  const std::string key = lib + " => ";
  const auto at = ldd.find(key);
  if (at == std::string::npos) return "";
  const auto start = at + key.size();
  return real_path(ldd.substr(start, ldd.find(' ', start) - start));
}

TEST(FormsppInstall, AProgramBuildsAndRunsAgainstTheInstalledCopy) {
#ifdef FORMSPP_TEST_SANITIZED
  GTEST_SKIP() << "this build's libraries need the sanitizer runtime";
#endif
  testsupport::temp_dir dir;
  const std::string log = dir.file("log"), prefix = dir.file("prefix");
  for (const char* component : {"IOshare", "IOshare-dev", "formspp", "formspp-dev"})
    ASSERT_TRUE(shell("cmake --install '" + env("SUDZ_BUILD_DIR") + "' --component " + component +
                          " --prefix '" + prefix + "'",
                      log))
        << testsupport::read_file(log);
  if (access((prefix + "/lib/pkgconfig/formspp.pc").c_str(), R_OK) != 0)
    GTEST_SKIP() << "libraries installed outside lib/ in this configuration";
  for (const char* f : {"include/formspp/dialogs.h", "include/formspp/vision_sheet.h",
                        "include/formspp/fl_drawing.h", "include/formspp/viewer.h",
                        "include/formspp/simulator_output.h", "include/formspp/simulator_input.h",
                        "include/Stringpp/Stringpp.h", "lib/libformspp.a", "lib/libformspp.so",
                        "lib/libStringpp.a", "lib/libStringpp.so", "lib/pkgconfig/Stringpp.pc"})
    EXPECT_EQ(access((prefix + "/" + f).c_str(), R_OK), 0) << f;

  testsupport::write_file(dir.file("p.cpp"), kProgram);
  const std::string pc_path = "PKG_CONFIG_PATH='" + prefix + "/lib/pkgconfig'";
  ASSERT_TRUE(shell("cd '" + dir.path() + "' && env -u LD_LIBRARY_PATH " + pc_path +
                        " sh -c 'g++ p.cpp $(pkg-config --cflags --libs IOshare formspp) -o p'",
                    log))
      << testsupport::read_file(log);
  // The program finds the installed shared libraries, not the build's.
  const std::string ldd = dir.file("ldd");
  ASSERT_TRUE(shell("(env -u LD_LIBRARY_PATH ldd '" + dir.file("p") + "' > '" + ldd + "')", log));
  const std::string libs = testsupport::read_file(ldd);
  for (const char* lib : {"libformspp.so.0", "libStringpp.so.0", "libIOshare.so.0"})
    EXPECT_EQ(resolved(libs, lib), real_path(prefix + "/lib/" + lib)) << libs;

  const std::string out = dir.file("out");
  ASSERT_TRUE(shell(
      "(env -u LD_LIBRARY_PATH '" + dir.file("p") + "' -automemlink 42 > '" + out + "')", log))
      << testsupport::read_file(log);
  EXPECT_EQ(testsupport::read_file(out), "panel|1|2.50|42\n");
}

// A plant of one's own against the installed kit, nothing on LD_LIBRARY_PATH: built in one line
// through pkg-config, and as a CMake project that finds the package. Each installed library
// finds its own siblings, even when the program itself does not name them (--as-needed).
const char* kSegmentProgram = R"(#include <cstdio>
#include "formspp/dialogs.h"
int main() { std::printf("%d\n", point_dans_segment(5, 0.5, 0, 0, 10, 0, 1)); }
)";

const char* kPlantProgram = R"(#include <cstdio>
#include "Stringpp/Stringpp.h"
#include "objgraphiques/cuve.h"
#include "plantkit/plant_start.h"
int main() {
  cuve tank(nullptr, 20, 450, 300, 350, 1, 280, 0, 10.0, 1);
  std::printf("%s|%d|%s\n", launch_text("ctrl ", 7).c_str(), tank.empty() ? 1 : 0,
              dtoS(2.5, 1).c_str());
}
)";

const char* kPlantProject = R"(cmake_minimum_required(VERSION 3.16)
project(plant CXX)
find_package(sudz CONFIG REQUIRED)
add_executable(plant plant.cpp)
target_link_libraries(plant PRIVATE sudz::plantkit sudz::objgraphiques)
)";

TEST(FormsppInstall, APlantBuildsAgainstTheInstalledKit) {
#ifdef FORMSPP_TEST_SANITIZED
  GTEST_SKIP() << "this build's libraries need the sanitizer runtime";
#endif
  testsupport::temp_dir dir;
  const std::string log = dir.file("log"), prefix = dir.file("prefix");
  for (const char* component :
       {"IOshare", "IOshare-dev", "formspp", "formspp-dev", "plantkit", "plantkit-dev"})
    ASSERT_TRUE(shell("cmake --install '" + env("SUDZ_BUILD_DIR") + "' --component " + component +
                          " --prefix '" + prefix + "'",
                      log))
        << testsupport::read_file(log);
  if (access((prefix + "/lib/pkgconfig/plantkit.pc").c_str(), R_OK) != 0)
    GTEST_SKIP() << "libraries installed outside lib/ in this configuration";
  ASSERT_TRUE(shell("mkdir '" + dir.file("project") + "'", log));
  testsupport::write_file(dir.file("segment.cpp"), kSegmentProgram);
  testsupport::write_file(dir.file("plant.cpp"), kPlantProgram);
  testsupport::write_file(dir.file("project/CMakeLists.txt"), kPlantProject);
  testsupport::write_file(dir.file("project/plant.cpp"), kPlantProgram);

  const std::string pc = "env -u LD_LIBRARY_PATH PKG_CONFIG_PATH='" + prefix + "/lib/pkgconfig' ";
  const std::string plant_out = "ctrl  -automemlink 7 &|1|2.5\n";
  struct row {
    std::string build, program, out;
  };
  const row rows[] = {
      {pc + "sh -c 'g++ -Wl,--as-needed segment.cpp $(pkg-config --cflags --libs formspp) -o s'",
       "s", "1\n"},
      {pc + "sh -c 'g++ -Wl,--as-needed plant.cpp "
            "$(pkg-config --cflags --libs plantkit objgraphiques) -o p'",
       "p", plant_out},
      {"env -u LD_LIBRARY_PATH cmake -S project -B project/build -DCMAKE_PREFIX_PATH='" + prefix +
           "' -DCMAKE_EXE_LINKER_FLAGS=-Wl,--as-needed && cmake --build project/build",
       "project/build/plant", plant_out},
  };
  for (const row& r : rows) {
    ASSERT_TRUE(shell("cd '" + dir.path() + "' && " + r.build, log))
        << r.build << "\n" << testsupport::read_file(log);
    const std::string out = dir.file("out");
    ASSERT_TRUE(shell("(env -u LD_LIBRARY_PATH '" + dir.file(r.program) + "' > '" + out + "')", log))
        << r.program << "\n" << testsupport::read_file(log);
    EXPECT_EQ(testsupport::read_file(out), r.out) << r.program;
  }
}

}  // namespace
