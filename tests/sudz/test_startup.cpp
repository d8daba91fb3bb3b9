// Start-up pieces: the controller command, the launch text, the exchange
// area laid out with the signal table, and the copy of the outputs.
#include <gtest/gtest.h>

#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/IOsharemem_server.h"
#include "sudz/startup.h"

namespace {

TEST(Startup, ControllerCommand) {
  struct row {
    std::vector<std::string> args;
    std::string command;
  };
  const row rows[] = {
      {{}, ""},
      {{"./ctrl"}, "./ctrl "},
      {{"./ctrl", "-v"}, "./ctrl -v "},
      {{"./ctrl", "a", "b"}, "./ctrl a b "},
      {{""}, " "},
      {{"my ctrl", "x"}, "my ctrl x "},
  };
  for (const row& r : rows) {
    std::vector<char*> argv = {const_cast<char*>("sudz")};
    for (const auto& a : r.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    EXPECT_EQ(controller_command(static_cast<int>(r.args.size()) + 1, argv.data()), r.command);
  }
}

TEST(Startup, LaunchText) {
  EXPECT_EQ(launch_text("./ctrl ", 32769), "./ctrl  -automemlink 32769 &");
  EXPECT_EQ(launch_text("./ctrl a b ", 7), "./ctrl a b  -automemlink 7 &");
}

TEST(Startup, SignalTable) {
  const char* names[22] = {"T",  "Niv", "Vide", "Tr", "St", "Prel", "Lav", "Rinc",
                           "Ess", "T1mt", "T5mt", "nF", "H", "Vo", "So", "Pw",
                           "Vi", "AvL", "ArL", "AvR", "T1m", "T5m"};
  for (int i = 0; i < 22; ++i) {
    EXPECT_STREQ(table_signaux[i], names[i]);
    // NUL-padded to the 22nd byte.
    for (size_t k = std::strlen(names[i]); k < 22; ++k) EXPECT_EQ(table_signaux[i][k], '\0');
  }
}

TEST(Startup, EmptyCommandWritesUsage) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(init_partage_mem(""), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERREUR de parametre:\n sudz <controleur>\n\n");
}

// The controller is a script that records its arguments; the area is read
// at its fixed offsets.
TEST(Startup, CreatesAreaAndLaunchesController) {
  char dir[] = "/tmp/sudz-startup-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string script = std::string(dir) + "/ctrl.sh";
  std::string out = std::string(dir) + "/args";
  std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << out
                        << ".tmp\nmv " << out << ".tmp " << out << "\n";
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);

  std::string command = script + " a b ";
  IOsharemem_server* server = init_partage_mem(command.c_str());
  ASSERT_NE(server, nullptr);

  std::vector<std::string> args;
  for (int i = 0; i < 1000 && args.empty(); ++i) {
    std::ifstream f(out);
    for (std::string line; std::getline(f, line);) args.push_back(line);
    if (args.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const std::vector<std::string> expected = {"a", "b", "-automemlink",
                                             std::to_string(server->memory_ident())};
  EXPECT_EQ(args, expected);

  const char* area = static_cast<const char*>(shmat(server->memory_ident(), nullptr, SHM_RDONLY));
  ASSERT_NE(area, reinterpret_cast<const char*>(-1));
  int counts[2];
  std::memcpy(counts, area + 24, sizeof counts);
  EXPECT_EQ(counts[0], 11);
  EXPECT_EQ(counts[1], 11);
  for (int i = 0; i < 11; ++i) {
    EXPECT_STREQ(area + 432 + 50 * i, table_signaux[i]);
    EXPECT_STREQ(area + 2482 + 50 * i, table_signaux[11 + i]);
  }
  int values[100];
  std::memcpy(values, area + 32, sizeof values);
  for (int v : values) EXPECT_EQ(v, 0);
  shmdt(area);

  // actuator_set copies exactly what the controller wrote.
  actuator_set(server);
  for (int v : actionneur) EXPECT_EQ(v, 0);
  {
    IOsharemem_client client(server->memory_ident());
    client.setreset_output("Vi", 1);
  }
  actuator_set(server);
  for (int k = 0; k < 11; ++k) EXPECT_EQ(actionneur[k], k == 5 ? 1 : 0) << k;

  delete server;  // leaves the area attached: the client above detached already
  (void)!std::system(("rm -rf " + std::string(dir)).c_str());
}

}  // namespace
