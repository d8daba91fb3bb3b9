// The simulator's end over real segments: the bytes it lays out, its index
// checks, its clock, its refusals and the removal of its segments.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <climits>
#include <cstring>

#include "IOshare/IOsharemem_server.h"
#include "IOshare/exchange_area.h"
#include "support/child_process.h"

namespace {

const std::list<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                        "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::list<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                         "AvL", "ArL", "AvR", "T1m", "T5m"};

// A second view of a server's segment, as raw bytes.
struct raw_view {
  explicit raw_view(int ident) : bytes(static_cast<unsigned char*>(shmat(ident, nullptr, 0))) {}
  ~raw_view() { shmdt(bytes); }
  int32_t word(int offset) const {
    int32_t v;
    std::memcpy(&v, bytes + offset, 4);
    return v;
  }
  void set_word(int offset, int32_t v) { std::memcpy(bytes + offset, &v, 4); }
  std::string slot(int offset) const {
    return std::string(reinterpret_cast<char*>(bytes) + offset, 50);
  }
  std::string snapshot() const { return std::string(reinterpret_cast<char*>(bytes), 4533); }
  unsigned char* bytes;
};

std::string padded(const std::string& name) {
  return name + std::string(50 - name.size(), '\0');
}

std::list<std::string> names(int count, size_t length, char fill) {
  std::list<std::string> l;
  for (int i = 0; i < count; ++i) {
    std::string n(length, fill);
    if (length > 0) n[0] = static_cast<char>('A' + i % 26);
    l.push_back(n);
  }
  return l;
}

TEST(IOsharememServer, FreshAreaHoldsCountsNamesZeroValuesAndAFreeLock) {
  IOsharemem_server server(kInputs, kOutputs);
  shmid_ds ds;
  ASSERT_EQ(shmctl(server.memory_ident(), IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.shm_segsz, 4533u);
  EXPECT_EQ(ds.shm_perm.mode & 0777, 0600);
  EXPECT_TRUE(ds.shm_perm.mode & SHM_DEST) << "marked for removal while attached";
  EXPECT_EQ(ds.shm_cpid, getpid());

  raw_view v(server.memory_ident());
  ASSERT_NE(v.bytes, reinterpret_cast<unsigned char*>(-1)) << "a marked segment stays attachable";
  EXPECT_EQ(v.word(0), 0);   // inputs_clock
  EXPECT_EQ(v.word(4), 0);   // outputs_clock
  EXPECT_EQ(v.word(8), 1);   // lock count: free
  EXPECT_EQ(v.word(12), 0);  // no holder
  EXPECT_EQ(v.word(24), 11);
  EXPECT_EQ(v.word(28), 11);
  for (int off = 32; off < 432; off += 4) EXPECT_EQ(v.word(off), 0) << off;
  int i = 0;
  for (const std::string& n : kInputs) EXPECT_EQ(v.slot(432 + 50 * i++), padded(n));
  i = 0;
  for (const std::string& n : kOutputs) EXPECT_EQ(v.slot(2482 + 50 * i++), padded(n));
  EXPECT_EQ(v.bytes[4532], 0);
}

TEST(IOsharememServer, NamePlacesDependOnlyOnTheSide) {
  const std::list<std::string> in = {"a"}, out = {"x", "yy", std::string(49, 'z')};
  IOsharemem_server server(in, out);
  raw_view v(server.memory_ident());
  EXPECT_EQ(v.word(24), 1);
  EXPECT_EQ(v.word(28), 3);
  EXPECT_EQ(v.slot(432), padded("a"));
  EXPECT_EQ(v.slot(482), std::string(50, '\0'));
  EXPECT_EQ(v.slot(2482), padded("x"));
  EXPECT_EQ(v.slot(2532), padded("yy"));
  EXPECT_EQ(v.slot(2582), padded(std::string(49, 'z'))) << "49 characters fit with their NUL";
}

TEST(IOsharememServer, InputsAreStoredWholeAtTheirOffsetAndOutOfRangeIndexesAreIgnored) {
  IOsharemem_server server(kInputs, kOutputs);
  raw_view v(server.memory_ident());
  server.setreset_input(0, 1);
  server.setreset_input(10, INT_MIN);
  server.setreset_input(4, -5);
  EXPECT_EQ(v.word(32), 1);
  EXPECT_EQ(v.word(32 + 4 * 10), INT_MIN);
  EXPECT_EQ(v.word(32 + 4 * 4), -5);
  EXPECT_EQ(v.word(8), 1) << "lock given back";

  const std::string before = v.snapshot();
  for (int index : {-1, 11, 41, 49, 50, INT_MAX, INT_MIN}) server.setreset_input(index, 7);
  EXPECT_EQ(v.snapshot(), before);

  for (int slot = 0; slot < 50; ++slot) v.set_word(232 + 4 * slot, 100 + slot);
  EXPECT_EQ(server.output_value(0), 100);
  EXPECT_EQ(server.output_value(10), 110);
  for (int index : {-1, 11, 49, 50, INT_MIN}) EXPECT_EQ(server.output_value(index), 0) << index;
}

TEST(IOsharememServer, EmptyListsLeaveEveryIndexOutOfRange) {
  IOsharemem_server server({}, {});
  raw_view v(server.memory_ident());
  EXPECT_EQ(v.word(24), 0);
  EXPECT_EQ(v.word(28), 0);
  v.set_word(232, 9);
  EXPECT_EQ(server.output_value(0), 0);
  server.setreset_input(0, 1);
  EXPECT_EQ(v.word(32), 0);
}

TEST(IOsharememServer, ClockRisesPerGoAndStaysAtMinusOneAfterTerminate) {
  IOsharemem_server server(kInputs, kOutputs);
  raw_view v(server.memory_ident());
  for (int i = 0; i < 3; ++i) server.inputs_go();
  EXPECT_EQ(v.word(0), 3);
  server.sharing_terminate();
  EXPECT_EQ(v.word(0), -1);
  server.inputs_go();
  EXPECT_EQ(v.word(0), -1) << "the end is never undone";
  v.set_word(0, INT_MAX);
  server.inputs_go();
  EXPECT_EQ(v.word(0), INT_MAX) << "no overflow into the end marker";
}

TEST(IOsharememServer, FullSidesFit) {
  IOsharemem_server server(names(41, 49, 'n'), names(41, 49, 'm'));
  raw_view v(server.memory_ident());
  EXPECT_EQ(v.word(24), 41);
  EXPECT_EQ(v.word(28), 41);
  EXPECT_EQ(v.slot(432 + 50 * 40), padded(names(41, 49, 'n').back()));
  EXPECT_EQ(v.slot(2482 + 50 * 40), padded(names(41, 49, 'm').back()));
  EXPECT_EQ(v.bytes[4532], 0);
}

// Names that do not fit are refused before any segment exists.
TEST(IOsharememServer, NamesThatDoNotFitAreRefused) {
  const std::string head = "IOshare: erreur sur partage memoire\n";
  const std::string long_name(50, 'x');
  struct refusal {
    std::list<std::string> in, out;
    std::string line;
  } cases[] = {
      {names(42, 3, 'i'), kOutputs, "trop de noms d'entree: 42 (41 au plus)"},
      {kInputs, names(42, 3, 'o'), "trop de noms de sortie: 42 (41 au plus)"},
      {{"T", long_name}, kOutputs, "nom d'entree trop long (49 caracteres au plus): " + long_name},
      {kInputs,
       {long_name + "y"},
       "nom de sortie trop long (49 caracteres au plus): " + long_name + "y"},
  };
  for (const refusal& c : cases) {
    std::set<pid_t> creator;
    const std::string err = testsupport::err_file_name();
    const pid_t pid = testsupport::spawn_function([&] { IOsharemem_server s(c.in, c.out); }, err);
    creator.insert(pid);
    const testsupport::child_result r = testsupport::finish(pid, err, 30000);
    EXPECT_TRUE(r.exited_with(1)) << c.line;
    EXPECT_EQ(r.err, head + c.line + "\n\n");
    EXPECT_TRUE(testsupport::segments_created_by(creator).empty());
  }
}

// A system that refuses the segment: a private IPC namespace whose largest
// segment is smaller than the area (needs the right to create namespaces).
TEST(IOsharememServer, RefusedSegmentIsReportedWithIdentMinusOne) {
  const testsupport::child_result r = testsupport::run_function([] {
    if (unshare(CLONE_NEWIPC) != 0) _exit(77);
    std::FILE* f = std::fopen("/proc/sys/kernel/shmmax", "w");
    if (f == nullptr || std::fputs("4096\n", f) < 0 || std::fclose(f) != 0) _exit(77);
    IOsharemem_server s(kInputs, kOutputs);
  });
  if (r.exited_with(77)) GTEST_SKIP() << "no private IPC namespace here";
  EXPECT_TRUE(r.exited_with(1));
  EXPECT_EQ(r.err,
            "IOshare: erreur sur partage memoire\nshmat() serveur refuse pour ident mem=-1\n\n");
}

// In a fresh IPC namespace the system's first identifier is 0, which a
// controller cannot be given: the server must hand out another one.
TEST(IOsharememServer, NeverHandsOutIdentifierZero) {
  const testsupport::child_result r = testsupport::run_function([] {
    if (unshare(CLONE_NEWIPC) != 0) _exit(77);
    IOsharemem_server s(kInputs, kOutputs);
    _exit(s.memory_ident() > 0 ? 0 : 3);
  });
  if (r.exited_with(77)) GTEST_SKIP() << "no private IPC namespace here";
  EXPECT_TRUE(r.exited_with(0)) << r.err;
}

// The segment lives while its creator does and goes with it, however the
// process ends; a hundred runs leave none behind.
TEST(IOsharememServer, SegmentsGoWithTheirProcessOnEveryExitPath) {
  // Each process tells its segment's identifier: a segment counts as left behind only when both
  // its creator and its identifier are a run's, since other programs reuse the runs' pids.
  int ready[2], release[2], made[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  ASSERT_EQ(pipe(made), 0);
  const pid_t living = testsupport::spawn_function([&] {
    IOsharemem_server s(kInputs, kOutputs);
    const int ident = s.memory_ident();
    (void)!write(made[1], &ident, sizeof ident);
    char c = 1;
    (void)!write(ready[1], &c, 1);
    (void)!read(release[0], &c, 1);
  });
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(testsupport::segments_created_by({living}).size(), 1u) << "the count sees a live one";
  (void)!write(release[1], &c, 1);
  int status;
  ASSERT_TRUE(testsupport::wait_for(living, 30000, &status));
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);

  std::set<pid_t> creators = {living};
  for (int run = 0; run < 100; ++run) {
    const pid_t pid = testsupport::spawn_function([run, &made] {
      IOsharemem_server s(kInputs, kOutputs);
      const int ident = s.memory_ident();
      (void)!write(made[1], &ident, sizeof ident);
      s.inputs_go();
      switch (run % 3) {
        case 0:
          std::exit(0);  // an ordinary end
        case 1:
          raise(SIGKILL);  // killed without a word
          _exit(2);
        default:
          _exit(1);  // no exit handlers at all
      }
    });
    creators.insert(pid);
    ASSERT_TRUE(testsupport::wait_for(pid, 30000, &status));
  }
  close(made[1]);
  std::set<int> idents;
  for (int ident; read(made[0], &ident, sizeof ident) == sizeof ident;) idents.insert(ident);
  close(made[0]);
  EXPECT_EQ(idents.size(), 101u);
  std::vector<int> left;
  for (int id : testsupport::segments_created_by(creators)) {
    if (idents.count(id) != 0) left.push_back(id);
  }
  EXPECT_TRUE(left.empty());
}

}  // namespace
