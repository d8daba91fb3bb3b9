#include "IOshare/exchange_area.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ioshare {

namespace {

// Cached because the lock records its holder on every take and getpid() is
// a system call; a fork handler renews it in the child.
int32_t g_pid = 0;

void renew_pid() {
  __atomic_store_n(&g_pid, static_cast<int32_t>(getpid()), __ATOMIC_RELAXED);
}

// Busy tries before sleeping: the lock is held for a few words at most, so a
// short spin usually wins it without a system call.
constexpr int kSpinTries = 100;
// Longest single sleep when the holder's life is watched.
constexpr long kWatchSliceUs = 10000;

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Takes the lock if it is free and records the new holder.
inline bool try_take(area_lock* lock, int32_t me) {
  int32_t expected = 1;
  if (!__atomic_compare_exchange_n(&lock->count, &expected, 0, false, __ATOMIC_ACQUIRE,
                                   __ATOMIC_RELAXED)) {
    return false;
  }
  __atomic_store_n(&lock->holder, me, __ATOMIC_RELAXED);
  return true;
}

long long now_us() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Sleeps while the count is 0, for at most us microseconds. Not a private
// futex: the word lives in memory shared between processes.
void futex_wait_held(area_lock* lock, long long us) {
  timespec ts;
  ts.tv_sec = static_cast<time_t>(us / 1000000);
  ts.tv_nsec = static_cast<long>((us % 1000000) * 1000);
  __atomic_add_fetch(&lock->waiters, 1, __ATOMIC_SEQ_CST);
  syscall(SYS_futex, &lock->count, FUTEX_WAIT, 0, &ts, nullptr, 0);
  __atomic_sub_fetch(&lock->waiters, 1, __ATOMIC_SEQ_CST);
}

}  // namespace

pid_t self_pid() {
  int32_t pid = __atomic_load_n(&g_pid, __ATOMIC_RELAXED);
  if (pid == 0) {
    static const int registered = pthread_atfork(nullptr, nullptr, renew_pid);
    (void)registered;
    renew_pid();
    pid = __atomic_load_n(&g_pid, __ATOMIC_RELAXED);
  }
  return pid;
}

void lock_init_held(area_lock* lock) {
  __atomic_store_n(&lock->holder, static_cast<int32_t>(self_pid()), __ATOMIC_RELAXED);
  __atomic_store_n(&lock->waiters, 0, __ATOMIC_RELAXED);
  __atomic_store_n(&lock->spare, 0, __ATOMIC_RELAXED);
  __atomic_store_n(&lock->count, 0, __ATOMIC_RELEASE);
}

lock_outcome lock_take(area_lock* lock, long max_wait_us, bool check_holder) {
  const int32_t me = static_cast<int32_t>(self_pid());
  for (int i = 0; i < kSpinTries; ++i) {
    if (try_take(lock, me)) return lock_outcome::taken;
    cpu_relax();
  }
  const long long deadline = now_us() + max_wait_us;
  for (;;) {
    if (try_take(lock, me)) return lock_outcome::taken;
    const long long left = deadline - now_us();
    if (left <= 0) break;
    if (check_holder && !process_alive(__atomic_load_n(&lock->holder, __ATOMIC_RELAXED))) break;
    futex_wait_held(lock, check_holder && left > kWatchSliceUs ? kWatchSliceUs : left);
  }
  // Past the bound, or the holder is gone: the lock becomes ours as it stands
  // (held). One last try first, in case it was given meanwhile.
  if (try_take(lock, me)) return lock_outcome::taken;
  __atomic_store_n(&lock->holder, me, __ATOMIC_RELAXED);
  return lock_outcome::taken_back;
}

void lock_give(area_lock* lock) {
  int32_t me = static_cast<int32_t>(self_pid());
  if (!__atomic_compare_exchange_n(&lock->holder, &me, 0, false, __ATOMIC_RELAXED,
                                   __ATOMIC_RELAXED)) {
    return;  // taken back from us: the new holder gives it
  }
  __atomic_store_n(&lock->count, 1, __ATOMIC_SEQ_CST);
  if (__atomic_load_n(&lock->waiters, __ATOMIC_SEQ_CST) > 0) {
    syscall(SYS_futex, &lock->count, FUTEX_WAKE, 1, nullptr, nullptr, 0);
  }
}

bool process_alive(pid_t pid) {
  if (pid <= 0) return true;
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  // A killed process stays a zombie until its parent reaps it: dead all the same.
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;  // no /proc to ask: trust kill()
  char buf[512];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return false;  // vanished between the two looks
  buf[n] = '\0';
  // The state follows the last ')' (the command name may hold any bytes).
  const char* p = nullptr;
  for (ssize_t i = n - 1; i >= 0; --i) {
    if (buf[i] == ')') {
      p = buf + i;
      break;
    }
  }
  if (p == nullptr || p[1] != ' ') return true;
  return p[2] != 'Z' && p[2] != 'X';
}

void press_ask(exchange_area* area, int sequence, const std::string& label, bool down) {
  char text[kPressLabelBytes] = {};
  label.copy(text, kPressLabelBytes - 1);
  std::memcpy(&area->output_values[kPressLabelSlot], text, sizeof text);
  __atomic_store_n(&area->output_values[kPressSlot], 2 * sequence + (down ? 1 : 0),
                   __ATOMIC_RELEASE);
}

int press_answer(const exchange_area* area) {
  return __atomic_load_n(&area->input_values[kPressSlot], __ATOMIC_ACQUIRE);
}

int press_request(const exchange_area* area, std::string* label) {
  const int request = __atomic_load_n(&area->output_values[kPressSlot], __ATOMIC_ACQUIRE);
  char text[kPressLabelBytes];
  std::memcpy(text, &area->output_values[kPressLabelSlot], sizeof text);
  text[kPressLabelBytes - 1] = '\0';
  *label = text;
  return request;
}

void press_reply(exchange_area* area, int answer) {
  __atomic_store_n(&area->input_values[kPressSlot], answer, __ATOMIC_RELEASE);
}

}  // namespace ioshare
