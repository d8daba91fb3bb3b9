// The exchange area: the bytes that the simulator and its controller share.
//
// One System V shared-memory segment of exactly 4533 bytes, created by the
// simulator (IOsharemem_server) and attached by the controller
// (IOsharemem_client). Integers are 32-bit, native byte order, naturally
// aligned; the layout is the same on 32- and 64-bit builds, so a controller
// built for one can drive a simulator built for the other.
//
//   offset  size  field
//        0     4  inputs_clock   0 when ready, +1 per simulator cycle, -1 at the end
//        4     4  outputs_clock  0 at the controller's attach, +1 per refresh
//        8    16  lock           the area's process-shared lock (below)
//       24     4  nb_inputs
//       28     4  nb_outputs
//       32   200  input_values   int32[50], input i in slot i
//      232   200  output_values  int32[50], output i in slot i
//      432  2050  input_names    char[41][50], NUL-terminated
//     2482  2050  output_names   char[41][50], NUL-terminated
//     4532     1  spare byte
//
// Operator presses. The value slots 41 to 49 of each side lie past every
// signal (a side names at most 41), so the link never reads or writes them.
// A tool standing on the controller's side in the operator's place (the
// trace's scenarios) asks the plant to press one of its buttons there, one
// request at a time:
//
//   output_values[41..48]  the button's label, NUL-padded (at most 31 bytes)
//   output_values[49]      the request: 2 * sequence + 1 to press the button
//                          down, 2 * sequence to release it; 0 none yet
//   input_values[49]       the plant's answer: the sequence it took, or minus
//                          it when it has no button of that label
//
// The requester writes the label, then the request word, and waits for the
// answer before its next request. Sequences count up from 1. A plant that
// takes no presses never answers.
//
// The lock. The 16-byte slot at offset 8 is too small for a POSIX sem_t on
// 64-bit Linux (32 bytes), and a sem_t's size differs between ABIs. So the
// lock is a Linux futex word with a semaphore's meaning: its count is 0 while
// held and 1 while free; it is created held, posted once when the area is
// filled, and then used as a mutex (take, then give). Beside the count it
// records the holder's pid, so that a lock whose holder died can be
// recognised and taken back, and the number of sleeping waiters, so that
// giving the lock costs no system call when nobody waits.
//
// Taking the lock always has a bound. A holder that dies or stops inside the
// lock (a controller killed with SIGKILL, say) cannot block the other side:
// after the bound the waiter takes the lock from it. The data under the lock
// are single 32-bit words, so an overlap after such a takeover can mix old
// and new values but never tears one.
#ifndef IOSHARE_EXCHANGE_AREA_H
#define IOSHARE_EXCHANGE_AREA_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace ioshare {

constexpr int kAreaSize = 4533;                    // bytes in the segment
constexpr int kValueSlots = 50;                    // value slots per side
constexpr int kMaxSignals = 41;                    // name slots per side: at most 41 signals
constexpr int kNameSlotSize = 50;                  // bytes per name slot, NUL included
constexpr int kMaxNameLength = kNameSlotSize - 1;  // 49 characters
constexpr int kSpareOffset = 4532;                 // the last byte, used by neither side
constexpr int kPressLabelSlot = 41;                // first slot of a press's label
constexpr int kPressLabelBytes = 32;               // 8 slots: 31 characters and a NUL
constexpr int kPressSlot = 49;                     // request (outputs), answer (inputs)

// The lock held in the area's 16-byte slot.
struct area_lock {
  int32_t count;    // futex word: 1 free, 0 held
  int32_t holder;   // pid of the process holding it, 0 when free or unknown
  int32_t waiters;  // processes sleeping on `count`
  int32_t spare;
};

// The segment up to its spare byte. sizeof is 4532: the 4533rd byte lies
// past the struct (an int-aligned struct cannot have an odd size), so the
// struct never reaches beyond the segment.
struct exchange_area {
  int32_t inputs_clock;
  int32_t outputs_clock;
  area_lock lock;
  int32_t nb_inputs;
  int32_t nb_outputs;
  int32_t input_values[kValueSlots];
  int32_t output_values[kValueSlots];
  char input_names[kMaxSignals][kNameSlotSize];
  char output_names[kMaxSignals][kNameSlotSize];
};

static_assert(sizeof(int32_t) == 4, "32-bit words");
static_assert(sizeof(area_lock) == 16, "the lock fills its 16-byte slot");
static_assert(offsetof(exchange_area, inputs_clock) == 0, "layout");
static_assert(offsetof(exchange_area, outputs_clock) == 4, "layout");
static_assert(offsetof(exchange_area, lock) == 8, "layout");
static_assert(offsetof(exchange_area, nb_inputs) == 24, "layout");
static_assert(offsetof(exchange_area, nb_outputs) == 28, "layout");
static_assert(offsetof(exchange_area, input_values) == 32, "layout");
static_assert(offsetof(exchange_area, output_values) == 232, "layout");
static_assert(offsetof(exchange_area, input_names) == 432, "layout");
static_assert(offsetof(exchange_area, output_names) == 2482, "layout");
static_assert(sizeof(exchange_area) == kSpareOffset, "layout");
static_assert(kSpareOffset + 1 == kAreaSize, "layout");

// How a lock_take ended.
enum class lock_outcome {
  taken,       // the lock was free, or freed within the bound
  taken_back,  // taken from a holder that died or kept it past the bound
};

// Sets the lock up held by the calling process (count 0), as at creation.
void lock_init_held(area_lock* lock);

// Takes the lock. Waits at most max_wait_us microseconds for it to be given,
// then takes it back from its holder. With check_holder, a holder seen dead
// while waiting is dispossessed at once instead of at the bound.
lock_outcome lock_take(area_lock* lock, long max_wait_us, bool check_holder);

// Gives the lock back and wakes one waiter. Does nothing when the lock was
// taken from the caller meanwhile, so a late holder never frees it under the
// process that took it back.
void lock_give(area_lock* lock);

// True when process pid exists and is not a zombie. Pids of 0 or below are
// reported alive: they name no process that could have died.
bool process_alive(pid_t pid);

// The calling process's pid, cached (and renewed in a forked child).
pid_t self_pid();

// Operator presses (above). The requester's side: asks for the press (down)
// or release of the button label, which must be shorter than
// kPressLabelBytes; and the plant's answer so far (0 before any).
void press_ask(exchange_area* area, int sequence, const std::string& label, bool down);
int press_answer(const exchange_area* area);
// The plant's side: the request word standing (0: none) with its label.
int press_request(const exchange_area* area, std::string* label);
void press_reply(exchange_area* area, int answer);

}  // namespace ioshare

#endif
