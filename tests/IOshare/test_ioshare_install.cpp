// The installed library as a student uses it: configure, build and install
// into a temporary prefix, compile a controller with one line through
// pkg-config, and run it against a real simulator end.
#include <gtest/gtest.h>

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

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// Runs a shell command with its output in log; true when it succeeded.
bool shell(const std::string& command, const std::string& log) {
  return std::system((command + " >>'" + log + "' 2>&1").c_str()) == 0;
}

// Compiles the controller against the installation in prefix and drives it.
void compile_and_run(const testsupport::temp_dir& dir, const std::string& prefix) {
  const std::string log = dir.file("log");
  testsupport::write_file(dir.file("ctrl.cpp"), kController);
  const std::string pc_path = "PKG_CONFIG_PATH='" + prefix + "/lib/pkgconfig'";
  ASSERT_TRUE(shell(pc_path + " pkg-config --exists IOshare", log)) << testsupport::read_file(log);
  ASSERT_TRUE(shell("cd '" + dir.path() + "' && env -u LD_LIBRARY_PATH " + pc_path +
                        " sh -c 'g++ ctrl.cpp $(pkg-config --cflags --libs IOshare) -o ctrl'",
                    log))
      << testsupport::read_file(log);

  IOsharemem_server s({"T", "Niv"}, {"H", "Vi"});
  const pid_t pid = testsupport::spawn_program(
      {dir.file("ctrl"), "-automemlink", std::to_string(s.memory_ident())}, dir.file("err"));
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
  EXPECT_TRUE(seen) << testsupport::read_file(dir.file("err"));
  EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(testsupport::read_file(dir.file("err")),
            "ident_mem=" + std::to_string(s.memory_ident()) + "\n");
}

void expect_installed(const std::string& prefix) {
  for (const char* f : {"include/IOshare/IOsharemem_client.h",
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

// The whole tree's build installs the same files (its IOshare component),
// wherever the prefix is chosen at install time.
TEST(IOshareInstall, ComponentOfTheProjectBuild) {
#ifdef IOSHARE_TEST_SANITIZED
  GTEST_SKIP() << "this build's libraries need the sanitizer runtime";
#endif
  testsupport::temp_dir dir;
  const std::string log = dir.file("log"), prefix = dir.file("prefix");
  ASSERT_TRUE(shell("cmake --install '" + env("SUDZ_BUILD_DIR") +
                        "' --component IOshare --prefix '" + prefix + "'",
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
