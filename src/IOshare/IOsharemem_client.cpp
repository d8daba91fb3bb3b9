#include "IOshare/IOsharemem_client.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include "IOshare/exchange_area.h"

using ioshare::exchange_area;

namespace {

// The controller may wait longer than the simulator for the lock, but not
// for ever: a holder seen dead is dispossessed at once, a stuck one after 1 s.
constexpr long kClientLockWaitUs = 1000000;
// Pause of a poll that finds nothing new.
constexpr useconds_t kPollPauseUs = 10000;
// Idle polls between two looks at the simulator's process (50 ms).
constexpr int kPollsPerWatch = 5;

[[noreturn]] void refuse(const std::string& line) {
  std::fprintf(stderr, "IOshare: erreur sur partage memoire\n%s\n\n", line.c_str());
  std::fflush(stderr);
  std::exit(1);
}

// Strict decimal: digits only, at least one, within int.
bool parse_decimal(const char* text, int* value) {
  if (text == nullptr || *text == '\0') return false;
  long long v = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
    if (v > INT_MAX) return false;
  }
  *value = static_cast<int>(v);
  return true;
}

// Length of the name in a slot, never beyond the slot.
size_t slot_length(const char* slot) {
  return strnlen(slot, ioshare::kNameSlotSize);
}

bool same_name(const std::string& name, const char* slot) {
  const size_t n = slot_length(slot);
  return name.size() == n && std::memcmp(name.data(), slot, n) == 0;
}

}  // namespace

int automemlink_ident(int argc, char** argv) {
  int at = -1;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], "-automemlink") == 0) at = i;
  }
  if (at < 0) refuse("argument -automemlink absent");
  if (at + 1 >= argc || argv[at + 1] == nullptr) refuse("identifiant absent apres -automemlink");
  int ident = 0;
  if (!parse_decimal(argv[at + 1], &ident)) {
    refuse(std::string("identifiant non decimal apres -automemlink: ") + argv[at + 1]);
  }
  return ident;
}

IOsharemem_client::IOsharemem_client(int ident) {
  if (ident == 0) refuse("ident_mem ==0 !");
  std::fprintf(stderr, "ident_mem=%d\n", ident);
  std::fflush(stderr);

  const std::string refused = "shmat() client refuse pour ident mem=" + std::to_string(ident);
  shmid_ds ds;
  if (shmctl(ident, IPC_STAT, &ds) != 0) refuse(refused);
  if (ds.shm_segsz != static_cast<size_t>(ioshare::kAreaSize)) {
    refuse("segment de " + std::to_string(ds.shm_segsz) + " octets au lieu de " +
           std::to_string(ioshare::kAreaSize) + " pour ident mem=" + std::to_string(ident));
  }
  void* at = shmat(ident, nullptr, 0);
  if (at == reinterpret_cast<void*>(-1)) refuse(refused);
  area = static_cast<exchange_area*>(at);

  nb_inputs = __atomic_load_n(&area->nb_inputs, __ATOMIC_RELAXED);
  nb_outputs = __atomic_load_n(&area->nb_outputs, __ATOMIC_RELAXED);
  if (nb_inputs < 0 || nb_inputs > ioshare::kMaxSignals || nb_outputs < 0 ||
      nb_outputs > ioshare::kMaxSignals) {
    refuse("nombres d'entrees et de sorties " + std::to_string(nb_inputs) + " et " +
           std::to_string(nb_outputs) + " hors de 0.." + std::to_string(ioshare::kMaxSignals) +
           " pour ident mem=" + std::to_string(ident));
  }
  __atomic_store_n(&area->outputs_clock, 0, __ATOMIC_RELAXED);
  inputs.assign(nb_inputs, 0);
  last_clock = 0;
  creator = ds.shm_cpid;
  idle_polls = 0;
  ended = false;
}

int IOsharemem_client::receive() {
  const int32_t clock = __atomic_load_n(&area->inputs_clock, __ATOMIC_ACQUIRE);
  if (ended || clock < 0) return -1;
  if (clock <= last_clock) {
    usleep(kPollPauseUs);
    // The simulator tells its end by the clock; one that was killed cannot,
    // so its process is looked at now and then.
    if (++idle_polls >= kPollsPerWatch) {
      idle_polls = 0;
      if (!ioshare::process_alive(creator)) {
        ended = true;
        return -1;
      }
    }
    return 0;
  }
  idle_polls = 0;
  ioshare::lock_take(&area->lock, kClientLockWaitUs, true);
  last_clock = __atomic_load_n(&area->inputs_clock, __ATOMIC_ACQUIRE);
  for (int i = 0; i < nb_inputs; ++i) {
    inputs[i] = __atomic_load_n(&area->input_values[i], __ATOMIC_RELAXED);
  }
  ioshare::lock_give(&area->lock);
  return 1;
}

int IOsharemem_client::input_is_set(const std::string& name) {
  int value = 0;
  for (int i = 0; i < nb_inputs; ++i) {
    if (same_name(name, area->input_names[i])) value = inputs[i];
  }
  return value;
}

void IOsharemem_client::setreset_output(const std::string& name, int value) {
  for (int i = 0; i < nb_outputs; ++i) {
    if (same_name(name, area->output_names[i])) {
      __atomic_store_n(&area->output_values[i], value, __ATOMIC_RELAXED);
    }
  }
}

void IOsharemem_client::outputs_refresh() {
  ioshare::lock_take(&area->lock, kClientLockWaitUs, true);
  // Unsigned, so that the count wraps instead of overflowing.
  const uint32_t clock =
      static_cast<uint32_t>(__atomic_load_n(&area->outputs_clock, __ATOMIC_RELAXED));
  __atomic_store_n(&area->outputs_clock, static_cast<int32_t>(clock + 1u), __ATOMIC_RELAXED);
  ioshare::lock_give(&area->lock);
}

std::string IOsharemem_client::input_name(int i) const {
  if (i < 0 || i >= nb_inputs) return "";
  return std::string(area->input_names[i], slot_length(area->input_names[i]));
}

std::string IOsharemem_client::output_name(int i) const {
  if (i < 0 || i >= nb_outputs) return "";
  return std::string(area->output_names[i], slot_length(area->output_names[i]));
}

int IOsharemem_client::input_value(int i) const {
  return i >= 0 && i < nb_inputs ? inputs[i] : 0;
}

int IOsharemem_client::output_value(int i) const {
  if (i < 0 || i >= nb_outputs) return 0;
  return __atomic_load_n(&area->output_values[i], __ATOMIC_RELAXED);
}

void IOsharemem_client::set_output(int i, int value) {
  if (i < 0 || i >= nb_outputs) return;
  __atomic_store_n(&area->output_values[i], value, __ATOMIC_RELAXED);
}
