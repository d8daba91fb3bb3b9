// The controller's end, alone over a real segment and against a simulator
// end in another process; its refusals; and the faults that a dead or stuck
// peer must not turn into a freeze.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <chrono>
#include <climits>
#include <cstring>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"
#include "support/child_process.h"

namespace {

using clock_type = std::chrono::steady_clock;

const std::list<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                        "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::list<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                         "AvL", "ArL", "AvR", "T1m", "T5m"};
const std::string kHead = "IOshare: erreur sur partage memoire\n";

double seconds_since(clock_type::time_point start) {
  return std::chrono::duration<double>(clock_type::now() - start).count();
}

ioshare::exchange_area* view(int ident) {
  return static_cast<ioshare::exchange_area*>(shmat(ident, nullptr, 0));
}

std::vector<std::string> controller(int ident, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv = {TEST_CONTROLLER};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("-automemlink");
  argv.push_back(std::to_string(ident));
  return argv;
}

// The value of input i at cycle c: distinct per cycle and input, except
// input 4 ("St"), always 1.
int input_of_cycle(int c, int i) {
  return i == 4 ? 1 : c * 100 + i;
}

// Runs cycles as the simulator does (inputs, go, outputs, 5 ms pause) until
// done() holds or max_cycles have passed; true when done() held.
template <typename Done>
bool run_cycles(IOsharemem_server& s, int max_cycles, Done done) {
  for (int cycle = 1; cycle <= max_cycles; ++cycle) {
    for (int i = 0; i < 11; ++i) s.setreset_input(i, input_of_cycle(cycle, i));
    s.inputs_go();
    if (done()) return true;
    usleep(5000);
  }
  return false;
}

// Stops the process given at construction on every exit from a test.
struct reaper {
  explicit reaper(pid_t p) : pid(p) {}
  ~reaper() { testsupport::kill_and_reap(pid); }
  pid_t pid;
};

TEST(IOsharememClient, ReceiveFollowsTheInputClock) {
  IOsharemem_server s(kInputs, kOutputs);
  IOsharemem_client c(s.memory_ident());
  EXPECT_EQ(c.receive(), 0) << "nothing published yet";
  for (int i = 0; i < 11; ++i) s.setreset_input(i, i);
  for (int k = 0; k < 3; ++k) s.inputs_go();
  EXPECT_EQ(c.receive(), 1) << "skipped cycles give one snapshot";
  EXPECT_EQ(c.inputs_clock(), 3);
  EXPECT_EQ(c.input_is_set("Vide"), 2);
  EXPECT_EQ(c.input_is_set("T5mt"), 10);
  s.setreset_input(2, 77);
  EXPECT_EQ(c.receive(), 0);
  EXPECT_EQ(c.input_is_set("Vide"), 2) << "the local copy changes only with a new clock";
  s.inputs_go();
  EXPECT_EQ(c.receive(), 1);
  EXPECT_EQ(c.input_is_set("Vide"), 77);

  s.sharing_terminate();
  const auto start = clock_type::now();
  for (int k = 0; k < 100; ++k) ASSERT_EQ(c.receive(), -1);
  EXPECT_LT(seconds_since(start), 0.9) << "the end is reported without the pause";
}

TEST(IOsharememClient, AttachAfterTheEndGivesMinusOneAtOnce) {
  IOsharemem_server s(kInputs, kOutputs);
  s.inputs_go();
  s.sharing_terminate();
  IOsharemem_client c(s.memory_ident());
  EXPECT_EQ(c.receive(), -1);
}

TEST(IOsharememClient, NamesMatchExactlyAndTheLastDuplicateWins) {
  const std::list<std::string> in = {"A", "B", "A", "Niv"};
  const std::list<std::string> out = {"X", "Y", "X"};
  IOsharemem_server s(in, out);
  IOsharemem_client c(s.memory_ident());
  for (int i = 0; i < 4; ++i) s.setreset_input(i, i + 1);
  for (const char* n : {"A", "B", "Niv"}) EXPECT_EQ(c.input_is_set(n), 0) << "before a snapshot";
  s.inputs_go();
  ASSERT_EQ(c.receive(), 1);
  const struct {
    const char* name;
    int value;
  } lookups[] = {{"A", 3},    {"B", 2},  {"Niv", 4},  {"niv", 0}, {"Niv ", 0},
                 {" Niv", 0}, {"Ni", 0}, {"Nivv", 0}, {"", 0}};
  for (const auto& l : lookups) EXPECT_EQ(c.input_is_set(l.name), l.value) << '"' << l.name << '"';
  EXPECT_EQ(c.input_is_set(std::string("Niv\0x", 5)), 0) << "a NUL inside is no end";

  c.setreset_output("x", 5);
  c.setreset_output("Z", 5);
  c.setreset_output("", 5);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.output_value(i), 0);
  c.setreset_output("X", 9);
  EXPECT_EQ(s.output_value(0), 9) << "seen without outputs_refresh";
  EXPECT_EQ(s.output_value(1), 0);
  EXPECT_EQ(s.output_value(2), 9) << "every slot of that name";
}

TEST(IOsharememClient, AccessByNumberStaysInsideTheCounts) {
  const std::list<std::string> in = {"A", "B", std::string(49, 'n')};
  const std::list<std::string> out = {"X", "Y"};
  IOsharemem_server s(in, out);
  IOsharemem_client c(s.memory_ident());
  EXPECT_EQ(c.input_count(), 3);
  EXPECT_EQ(c.output_count(), 2);
  EXPECT_EQ(c.input_name(2), std::string(49, 'n'));
  EXPECT_EQ(c.output_name(1), "Y");
  for (int i = 0; i < 3; ++i) s.setreset_input(i, 10 + i);
  EXPECT_EQ(c.input_value(1), 0) << "before a snapshot";
  s.inputs_go();
  ASSERT_EQ(c.receive(), 1);
  EXPECT_EQ(c.input_value(1), 11);
  c.set_output(1, 7);
  EXPECT_EQ(s.output_value(1), 7);
  EXPECT_EQ(c.output_value(1), 7);
  for (int bad : {-1, 2, 50}) {
    c.set_output(bad, 9);
    EXPECT_EQ(c.output_value(bad), 0);
    EXPECT_EQ(c.output_name(bad), "");
  }
  for (int bad : {-1, 3, 41}) {
    EXPECT_EQ(c.input_value(bad), 0);
    EXPECT_EQ(c.input_name(bad), "");
  }
  EXPECT_EQ(s.output_value(0), 0) << "no stray write";
}

TEST(IOsharememClient, OutputsClockCountsRefreshesAndAnAttachResetsIt) {
  IOsharemem_server s(kInputs, kOutputs);
  IOsharemem_client c(s.memory_ident());
  for (int k = 1; k <= 3; ++k) {
    c.outputs_refresh();
    EXPECT_EQ(s.get_outputs_clock(), k);
  }
  IOsharemem_client again(s.memory_ident());
  EXPECT_EQ(s.get_outputs_clock(), 0);
}

TEST(IOsharememClient, AutomemlinkTakesTheDecimalAfterTheLastSwitch) {
  const struct {
    std::vector<std::string> args;
    int ident;
  } cases[] = {
      {{"ctrl", "-automemlink", "123"}, 123},
      {{"ctrl", "-v", "-automemlink", "007"}, 7},
      {{"ctrl", "-automemlink", "5", "x", "-automemlink", "2147483647"}, INT_MAX},
  };
  for (const auto& c : cases) {
    std::vector<char*> argv;
    for (const std::string& a : c.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    EXPECT_EQ(automemlink_ident(static_cast<int>(c.args.size()), argv.data()), c.ident);
  }
}

// Every way a controller can be handed something it must not attach to ends
// it with a two-line message and status 1.
TEST(IOsharememClient, BadIdentifiersAndSegmentsAreRefused) {
  // A segment that existed once and no longer does.
  const int gone = shmget(IPC_PRIVATE, 4533, 0600);
  ASSERT_GE(gone, 0);
  shmctl(gone, IPC_RMID, nullptr);
  // Segments of the wrong size, or of the right size with impossible counts.
  struct segment {
    int size, nb_inputs, nb_outputs, ident;
  } segs[] = {
      {100, 0, 0, 0}, {8192, 0, 0, 0}, {4533, 42, 11, 0}, {4533, 11, -1, 0}, {4533, INT_MIN, 0, 0}};
  for (segment& g : segs) {
    g.ident = shmget(IPC_PRIVATE, g.size, 0600);
    ASSERT_GE(g.ident, 0);
    auto* bytes = static_cast<int32_t*>(shmat(g.ident, nullptr, 0));
    if (g.size >= 32) {
      bytes[6] = g.nb_inputs;
      bytes[7] = g.nb_outputs;
    }
    shmdt(bytes);
  }
  auto id = [](int ident) { return "ident_mem=" + std::to_string(ident) + "\n"; };
  const std::string tc = TEST_CONTROLLER;
  const struct {
    std::vector<std::string> argv;
    std::string err;
  } cases[] = {
      {{tc}, kHead + "argument -automemlink absent\n\n"},
      {{tc, "-automemlink"}, kHead + "identifiant absent apres -automemlink\n\n"},
      {{tc, "-automemlink", "abc"}, kHead + "identifiant non decimal apres -automemlink: abc\n\n"},
      {{tc, "-automemlink", "12x"}, kHead + "identifiant non decimal apres -automemlink: 12x\n\n"},
      {{tc, "-automemlink", "-5"}, kHead + "identifiant non decimal apres -automemlink: -5\n\n"},
      {{tc, "-automemlink", ""}, kHead + "identifiant non decimal apres -automemlink: \n\n"},
      {{tc, "-automemlink", "99999999999"},
       kHead + "identifiant non decimal apres -automemlink: 99999999999\n\n"},
      {{tc, "-automemlink", "0"}, kHead + "ident_mem ==0 !\n\n"},
      {controller(gone),
       id(gone) + kHead + "shmat() client refuse pour ident mem=" + std::to_string(gone) + "\n\n"},
      {controller(segs[0].ident), id(segs[0].ident) + kHead +
                                      "segment de 100 octets au lieu de 4533 pour ident mem=" +
                                      std::to_string(segs[0].ident) + "\n\n"},
      {controller(segs[1].ident), id(segs[1].ident) + kHead +
                                      "segment de 8192 octets au lieu de 4533 pour ident mem=" +
                                      std::to_string(segs[1].ident) + "\n\n"},
      {controller(segs[2].ident),
       id(segs[2].ident) + kHead +
           "nombres d'entrees et de sorties 42 et 11 hors de 0..41 pour ident mem=" +
           std::to_string(segs[2].ident) + "\n\n"},
      {controller(segs[3].ident),
       id(segs[3].ident) + kHead +
           "nombres d'entrees et de sorties 11 et -1 hors de 0..41 pour ident mem=" +
           std::to_string(segs[3].ident) + "\n\n"},
      {controller(segs[4].ident),
       id(segs[4].ident) + kHead +
           "nombres d'entrees et de sorties -2147483648 et 0 hors de 0..41 pour ident mem=" +
           std::to_string(segs[4].ident) + "\n\n"},
  };
  for (const auto& c : cases) {
    const testsupport::child_result r = testsupport::run_program(c.argv);
    EXPECT_TRUE(r.exited_with(1)) << c.err;
    EXPECT_EQ(r.err, c.err);
  }
  for (const segment& g : segs) shmctl(g.ident, IPC_RMID, nullptr);
}

// The two ends in two processes: the controller logs every snapshot and
// follows its script; the simulator sees the scripted output; both end cleanly.
TEST(IOsharememClient, HandshakeWithAControllerProcess) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file("script"),
                          "# comment\n"
                          "at input clock 3 set output Vi to 1\n"
                          "at input clock 3 refresh\n"
                          "when input St is 1 set output H to 7\n");
  IOsharemem_server s(kInputs, kOutputs);
  const pid_t pid = testsupport::spawn_program(
      controller(s.memory_ident(), {"--script", dir.file("script"), "--log", dir.file("log"),
                                    "--args", dir.file("args")}),
      dir.file("err"));
  reaper r(pid);
  EXPECT_TRUE(run_cycles(s, 4000, [&] {
    return s.output_value(5) == 1 && s.output_value(1) == 7 && s.get_outputs_clock() >= 1;
  }));
  EXPECT_EQ(s.output_value(0), 0);
  s.sharing_terminate();
  int status;
  ASSERT_TRUE(testsupport::wait_for(pid, 30000, &status));
  r.pid = 0;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(testsupport::read_file(dir.file("err")),
            "ident_mem=" + std::to_string(s.memory_ident()) + "\n");
  EXPECT_EQ(testsupport::read_lines(dir.file("args")),
            controller(s.memory_ident(), {"--script", dir.file("script"), "--log", dir.file("log"),
                                          "--args", dir.file("args")}));

  // A snapshot at clock c holds the inputs of cycle c, some of them maybe
  // already those of cycle c + 1, which the simulator writes before raising it.
  const std::vector<std::string> log = testsupport::read_lines(dir.file("log"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.back(), "end");
  int last = 0;
  for (size_t k = 0; k + 1 < log.size(); ++k) {
    std::istringstream in(log[k]);
    std::string field;
    in >> field;
    ASSERT_EQ(field.rfind("clock=", 0), 0u) << log[k];
    const int clock = std::stoi(field.substr(6));
    EXPECT_GT(clock, last) << log[k];
    last = clock;
    int i = 0;
    for (const std::string& name : kInputs) {
      in >> field;
      ASSERT_EQ(field.substr(0, field.find('=')), name) << log[k];
      const int v = std::stoi(field.substr(field.find('=') + 1));
      EXPECT_TRUE(v == input_of_cycle(clock, i) || v == input_of_cycle(clock + 1, i)) << log[k];
      ++i;
    }
  }
}

// The test controller's other rules, which later tests rely on: holding the
// lock for a while, a scripted exit, and a script it cannot read.
TEST(IOsharememClient, TestControllerHoldsTheLockAndExitsOnScript) {
  testsupport::temp_dir dir;
  testsupport::write_file(dir.file("script"),
                          "at input clock 2 hold lock for 200\n"
                          "at input clock 4 exit\n");
  testsupport::write_file(dir.file("bad"), "at input clock two exit\n");
  IOsharemem_server s(kInputs, kOutputs);
  const testsupport::child_result bad =
      testsupport::run_program(controller(s.memory_ident(), {"--script", dir.file("bad")}));
  EXPECT_TRUE(bad.exited_with(2));
  EXPECT_EQ(bad.err, "test_controller: bad script line: at input clock two exit\n");

  auto* area = view(s.memory_ident());
  const pid_t pid = testsupport::spawn_program(
      controller(s.memory_ident(), {"--script", dir.file("script"), "--log", dir.file("log")}),
      dir.file("err"));
  reaper r(pid);
  bool held = false, ended = false;
  int status = 0;
  for (int cycle = 0; cycle < 6000 && !ended; ++cycle) {
    held = held || __atomic_load_n(&area->lock.holder, __ATOMIC_ACQUIRE) == pid;
    s.inputs_go();
    usleep(1000);
    ended = testsupport::wait_for(pid, 0, &status);
  }
  if (ended) r.pid = 0;
  ASSERT_TRUE(ended);
  EXPECT_TRUE(held);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::vector<std::string> log = testsupport::read_lines(dir.file("log"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.back(), "exit");
  shmdt(area);
}

// A controller killed inside the lock, or stopped there for good, holds up
// the simulator's next setreset_input only for its short bound.
TEST(IOsharememClient, ControllerDeadOrStuckInsideTheLockCannotFreezeTheSimulator) {
  for (bool kill_it : {true, false}) {
    testsupport::temp_dir dir;
    testsupport::write_file(dir.file("script"), "at input clock 1 hang\n");
    IOsharemem_server s(kInputs, kOutputs);
    auto* area = view(s.memory_ident());
    const pid_t pid = testsupport::spawn_program(
        controller(s.memory_ident(), {"--script", dir.file("script")}), dir.file("err"));
    reaper r(pid);
    s.inputs_go();
    for (int k = 0; k < 30000 && __atomic_load_n(&area->lock.holder, __ATOMIC_ACQUIRE) != pid;
         ++k) {
      usleep(1000);
    }
    ASSERT_EQ(area->lock.holder, pid);
    if (kill_it) {
      kill(pid, SIGKILL);
      int status;
      waitpid(pid, &status, 0);
      r.pid = 0;
    }
    const auto start = clock_type::now();
    s.setreset_input(3, 1);
    EXPECT_LT(seconds_since(start), 1.0);
    EXPECT_EQ(area->input_values[3], 1);
    EXPECT_EQ(area->lock.count, 1) << "the lock is free again";
    const auto again = clock_type::now();
    for (int i = 0; i < 11; ++i) s.setreset_input(i, 1);
    EXPECT_LT(seconds_since(again), 1.0);
    shmdt(area);
  }
}

// The simulator killed without a word: the controller's receive reports the
// end within a second, whether the dead process is reaped yet or not.
TEST(IOsharememClient, VanishedSimulatorEndsTheControllersPoll) {
  for (bool reap : {false, true}) {
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    const pid_t sim = testsupport::spawn_function([&] {
      IOsharemem_server s(kInputs, kOutputs);
      const int ident = s.memory_ident();
      (void)!write(pipefd[1], &ident, sizeof ident);
      for (;;) {
        s.inputs_go();
        usleep(5000);
      }
    });
    reaper r(sim);
    int ident = 0;
    ASSERT_EQ(read(pipefd[0], &ident, sizeof ident), static_cast<ssize_t>(sizeof ident));
    close(pipefd[0]);
    close(pipefd[1]);
    IOsharemem_client c(ident);
    int got = 0;
    for (int k = 0; k < 3000 && got != 1; ++k) got = c.receive();
    ASSERT_EQ(got, 1);
    kill(sim, SIGKILL);
    int status;
    if (reap) waitpid(sim, &status, 0);
    const auto start = clock_type::now();
    for (int k = 0; k < 1000 && got != -1; ++k) got = c.receive();
    EXPECT_EQ(got, -1) << "reaped: " << reap;
    EXPECT_LT(seconds_since(start), 3.0) << "reaped: " << reap;
    EXPECT_EQ(c.receive(), -1);
    if (reap) r.pid = 0;
  }
}

// The segment is marked for removal from the start, yet the controller
// attaches while the simulator runs and reads the end after it has gone;
// then the segment goes with the controller.
TEST(IOsharememClient, ControllerOutlivesTheSimulatorAndNoSegmentIsLeft) {
  for (bool killed : {false, true}) {
    testsupport::temp_dir dir;
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t sim = testsupport::spawn_function([&] {
      IOsharemem_server s(kInputs, kOutputs);
      const int ident = s.memory_ident();
      (void)!write(ready[1], &ident, sizeof ident);
      char c;
      (void)!read(release[0], &c, 1);
      for (int k = 0; k < 3; ++k) s.inputs_go();
      if (killed) raise(SIGKILL);
      s.sharing_terminate();
    });
    reaper rs(sim);
    int ident = 0;
    ASSERT_EQ(read(ready[0], &ident, sizeof ident), static_cast<ssize_t>(sizeof ident));
    const pid_t ctrl =
        testsupport::spawn_program(controller(ident, {"--log", dir.file("log")}), dir.file("err"));
    reaper rc(ctrl);
    // Released once the controller has attached: the segment then lives on
    // for it, whenever the simulator goes.
    shmid_ds ds{};
    for (int k = 0; k < 30000 && shmctl(ident, IPC_STAT, &ds) == 0 && ds.shm_nattch < 2; ++k) {
      usleep(1000);
    }
    ASSERT_GE(ds.shm_nattch, 2u);
    char c = 1;
    (void)!write(release[1], &c, 1);
    int status;
    ASSERT_TRUE(testsupport::wait_for(sim, 30000, &status));
    rs.pid = 0;
    ASSERT_TRUE(testsupport::wait_for(ctrl, 30000, &status));
    rc.pid = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::vector<std::string> log = testsupport::read_lines(dir.file("log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "end");
    EXPECT_TRUE(testsupport::segments_created_by({sim}).empty()) << "killed: " << killed;
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
  }
}

}  // namespace
