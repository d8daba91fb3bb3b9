// The area's lock between real processes: it excludes, it is given back once,
// and a holder that died inside it is recognised and dispossessed.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>

#include <chrono>

#include "IOshare/exchange_area.h"
#include "support/child_process.h"

namespace {

using ioshare::area_lock;
using ioshare::lock_outcome;
using clock_type = std::chrono::steady_clock;

// A lock in memory shared with forked children.
struct shared_lock {
  shared_lock()
      : lock(static_cast<area_lock*>(mmap(nullptr, sizeof(area_lock), PROT_READ | PROT_WRITE,
                                          MAP_SHARED | MAP_ANONYMOUS, -1, 0))) {
    ioshare::lock_init_held(lock);
    ioshare::lock_give(lock);
  }
  ~shared_lock() { munmap(lock, sizeof(area_lock)); }
  area_lock* lock;
};

// Starts a child that takes the lock and keeps it until killed; returns once
// the child holds it.
pid_t holder_that_never_gives(area_lock* lock) {
  const pid_t pid = testsupport::spawn_function([lock] {
    ioshare::lock_take(lock, 1000000, true);
    for (;;) pause();
  });
  for (int k = 0; k < 30000 && __atomic_load_n(&lock->holder, __ATOMIC_ACQUIRE) != pid; ++k) {
    usleep(1000);
  }
  return pid;
}

double seconds_since(clock_type::time_point start) {
  return std::chrono::duration<double>(clock_type::now() - start).count();
}

TEST(ExchangeArea, TakeAndGiveRecordTheHolder) {
  shared_lock s;
  EXPECT_EQ(s.lock->count, 1);
  EXPECT_EQ(ioshare::lock_take(s.lock, 1000, false), lock_outcome::taken);
  EXPECT_EQ(s.lock->count, 0);
  EXPECT_EQ(s.lock->holder, getpid());
  ioshare::lock_give(s.lock);
  EXPECT_EQ(s.lock->count, 1);
  EXPECT_EQ(s.lock->holder, 0);
  ioshare::lock_give(s.lock);
  EXPECT_EQ(s.lock->count, 1) << "a second give never frees it twice";
}

TEST(ExchangeArea, LateGiveOfADispossessedHolderLeavesTheLockHeld) {
  shared_lock s;
  ioshare::lock_take(s.lock, 1000, false);
  s.lock->holder = getpid() + 1;  // as if another process had taken it back
  ioshare::lock_give(s.lock);
  EXPECT_EQ(s.lock->count, 0);
}

TEST(ExchangeArea, MutualExclusionBetweenProcesses) {
  shared_lock s;
  // Non-atomic read-modify-write under the lock by two processes: any overlap
  // loses increments.
  auto* counter = static_cast<long*>(
      mmap(nullptr, sizeof(long), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  *counter = 0;
  constexpr int kRounds = 200000;
  auto work = [&] {
    for (int i = 0; i < kRounds; ++i) {
      ioshare::lock_take(s.lock, 60000000, true);  // bound far past any preemption
      volatile long* c = counter;
      *c = *c + 1;
      ioshare::lock_give(s.lock);
    }
  };
  const pid_t a = testsupport::spawn_function(work);
  const pid_t b = testsupport::spawn_function(work);
  int status;
  ASSERT_TRUE(testsupport::wait_for(a, 120000, &status));
  ASSERT_TRUE(testsupport::wait_for(b, 120000, &status));
  EXPECT_EQ(*counter, 2L * kRounds);
  EXPECT_EQ(s.lock->count, 1);
  munmap(counter, sizeof(long));
}

// A waiter that watches the holder takes the lock from a dead one at once,
// long before its bound.
TEST(ExchangeArea, DeadHolderIsRecognisedZombieOrReaped) {
  for (bool reap : {false, true}) {
    shared_lock s;
    const pid_t holder = holder_that_never_gives(s.lock);
    ASSERT_EQ(s.lock->holder, holder) << "recorded with the child's own pid";
    kill(holder, SIGKILL);
    int status;
    if (reap) waitpid(holder, &status, 0);
    const auto start = clock_type::now();
    EXPECT_EQ(ioshare::lock_take(s.lock, 60000000, true), lock_outcome::taken_back);
    EXPECT_LT(seconds_since(start), 10.0) << "reaped: " << reap;
    ioshare::lock_give(s.lock);
    EXPECT_EQ(s.lock->count, 1);
    if (!reap) waitpid(holder, &status, 0);
  }
}

}  // namespace
