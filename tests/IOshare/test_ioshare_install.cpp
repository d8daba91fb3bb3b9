// The installed library as a student uses it: configure, build and install
// into a temporary prefix, compile a controller in C++ and one in C with one
// line through pkg-config, import the Python module from the prefix with
// Debian's python3, and run each against a real simulator end.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "IOshare/IOsharemem_server.h"
#include "support/child_process.h"

namespace {

const char* kController = R"(#include "IOshare/IOsharemem_client.h"
int main(int argc, char** argv) {
  IOsharemem_client link(automemlink_ident(argc, argv));
  int r;
  while ((r = link.receive()) != -1) {
    if (r == 0) continue;
    link.setreset_output("Vi", link.input_is_set("Niv") + 100);
    link.outputs_refresh();
  }
  return 0;
}
)";

const char* kCController = R"(#include "IOshare/ioshare_c.h"
int main(int argc, char** argv) {
  ioshare_link* link = ioshare_attach_argv(argc, argv);
  int r;
  while ((r = ioshare_receive(link)) != -1) {
    if (r == 0) continue;
    ioshare_set_output(link, "Vi", ioshare_input(link, "Niv") + 100);
    ioshare_refresh(link);
  }
  ioshare_free(link);
  return 0;
}
)";

// Also writes where the module and the library it loaded lie, into the file
// named by its first argument.
const char* kPyController = R"(import sys
import sudz
link = sudz.Link()
with open(sys.argv[1], "w") as f:
    f.write(sudz.__file__ + "\n" + sudz._lib._name + "\n")
while link.receive() != -1:
    link.set_output("Vi", link.input("Niv") + 100)
    link.refresh()
)";

using testsupport::env;
using testsupport::shell;

// Runs the controller started by argv (plus "-automemlink <ident>") against
// a simulator end until it has answered, then ends the run.
void drive(const testsupport::temp_dir& dir, std::vector<std::string> argv) {
  IOsharemem_server s({"T", "Niv"}, {"H", "Vi"});
  argv.push_back("-automemlink");
  argv.push_back(std::to_string(s.memory_ident()));
  const pid_t pid = testsupport::spawn_program(argv, dir.file("err"));
  bool seen = false;
  for (int cycle = 0; cycle < 4000 && !seen; ++cycle) {
    s.setreset_input(1, 1);
    s.inputs_go();
    seen = s.output_value(1) == 101 && s.get_outputs_clock() > 0;
    usleep(5000);
  }
  s.sharing_terminate();
  int status = 0;
  const bool ended = testsupport::wait_for(pid, 30000, &status);
  if (!ended) testsupport::kill_and_reap(pid);
  EXPECT_TRUE(seen) << argv.front() << testsupport::read_file(dir.file("err"));
  EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) << argv.front();
  EXPECT_EQ(testsupport::read_file(dir.file("err")),
            "ident_mem=" + std::to_string(s.memory_ident()) + "\n");
}

// Compiles the C++ and C controllers against the installation in prefix,
// and drives them and the Python one.
void compile_and_run(const testsupport::temp_dir& dir, const std::string& prefix) {
  const std::string log = dir.file("log");
  testsupport::write_file(dir.file("ctrl.cpp"), kController);
  testsupport::write_file(dir.file("ctrl.c"), kCController);
  testsupport::write_file(dir.file("ctrl.py"), kPyController);
  const std::string pc_path = "PKG_CONFIG_PATH='" + prefix + "/lib/pkgconfig'";
  ASSERT_TRUE(shell(pc_path + " pkg-config --exists IOshare", log)) << testsupport::read_file(log);
  for (const char* build : {"g++ ctrl.cpp $(pkg-config --cflags --libs IOshare) -o ctrl",
                            "gcc -std=c99 -Wall -Wextra -Werror ctrl.c "
                            "$(pkg-config --cflags --libs IOshare) -o ctrl_c"}) {
    ASSERT_TRUE(shell(
        "cd '" + dir.path() + "' && env -u LD_LIBRARY_PATH " + pc_path + " sh -c '" + build + "'",
        log))
        << testsupport::read_file(log);
  }
  drive(dir, {dir.file("ctrl")});
  drive(dir, {dir.file("ctrl_c")});

  const std::string modules = prefix + "/lib/python3/dist-packages";
  drive(dir, {"/usr/bin/env", "-u", "LD_LIBRARY_PATH", "PYTHONPATH=" + modules, "/usr/bin/python3",
              dir.file("ctrl.py"), dir.file("where")});
  // The module and the library it loaded are the installed ones.
  const std::vector<std::string> where = testsupport::read_lines(dir.file("where"));
  ASSERT_EQ(where.size(), 2u);
  EXPECT_EQ(where[0], modules + "/sudz/__init__.py");
  EXPECT_EQ(where[1].rfind(modules + "/sudz/", 0), 0u) << where[1];
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(where[1].c_str(), resolved), nullptr) << where[1];
  EXPECT_EQ(std::string(resolved).rfind(prefix + "/lib/libIOshare.so", 0), 0u) << resolved;
}

void expect_installed(const std::string& prefix) {
  for (const char* f :
       {"include/IOshare/IOsharemem_client.h", "include/IOshare/ioshare_c.h",
        "lib/python3/dist-packages/sudz/__init__.py", "lib/python3/dist-packages/sudz/_where.py",
        "include/IOshare/IOsharemem_server.h", "include/IOshare/exchange_area.h",
        "lib/libIOshare.a", "lib/libIOshare.so", "lib/pkgconfig/IOshare.pc"}) {
    EXPECT_EQ(access((prefix + "/" + f).c_str(), R_OK), 0) << f;
  }
}

// The link library's folder configures on its own, as a student would build it.
TEST(IOshareInstall, FromSourceIntoAPrefix) {
  testsupport::temp_dir dir;
  const std::string log = dir.file("log"), prefix = dir.file("prefix");
  ASSERT_TRUE(shell("env -u LD_LIBRARY_PATH cmake -S '" + env("SUDZ_SOURCE_DIR") +
                        "/src/IOshare' -B '" + dir.file("build") + "' -DCMAKE_INSTALL_PREFIX='" +
                        prefix + "' -DCMAKE_INSTALL_LIBDIR=lib",
                    log))
      << testsupport::read_file(log);
  ASSERT_TRUE(shell("cmake --build '" + dir.file("build") + "' -j 2", log))
      << testsupport::read_file(log);
  ASSERT_TRUE(shell("cmake --install '" + dir.file("build") + "'", log))
      << testsupport::read_file(log);
  expect_installed(prefix);
  compile_and_run(dir, prefix);
}

// The whole tree's build installs the same files (its IOshare components:
// run time, development and Python), wherever the prefix is chosen at install time.
TEST(IOshareInstall, ComponentOfTheProjectBuild) {
#ifdef IOSHARE_TEST_SANITIZED
  GTEST_SKIP() << "this build's libraries need the sanitizer runtime";
#endif
  testsupport::temp_dir dir;
  const std::string log = dir.file("log"), prefix = dir.file("prefix");
  for (const char* component : {"IOshare", "IOshare-dev", "IOshare-python"})
    ASSERT_TRUE(shell("cmake --install '" + env("SUDZ_BUILD_DIR") + "' --component " + component +
                          " --prefix '" + prefix + "'",
                      log))
        << testsupport::read_file(log);
  // Debian's multiarch library folder may be chosen under /usr: give the
  // controller the folder the .pc file actually lives in.
  if (access((prefix + "/lib/pkgconfig/IOshare.pc").c_str(), R_OK) != 0) {
    GTEST_SKIP() << "libraries installed outside lib/ in this configuration";
  }
  expect_installed(prefix);
  compile_and_run(dir, prefix);
}

}  // namespace
