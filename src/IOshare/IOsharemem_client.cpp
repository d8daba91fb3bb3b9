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

void refuse_attach(const std::string& line) {
  std::fprintf(stderr, "IOshare: erreur sur partage memoire\n%s\n\n", line.c_str());
  std::fflush(stderr);
  std::exit(1);
}

attach_failure find_automemlink_ident(int argc, char** argv, int* ident, std::string* line) {
  int at = -1;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], "-automemlink") == 0) at = i;
  }
  if (at < 0) {
    *line = "argument -automemlink absent";
    return attach_failure::no_switch;
  }
  if (at + 1 >= argc || argv[at + 1] == nullptr) {
    *line = "identifiant absent apres -automemlink";
    return attach_failure::no_ident;
  }
  if (!parse_decimal(argv[at + 1], ident)) {
    *line = std::string("identifiant non decimal apres -automemlink: ") + argv[at + 1];
    return attach_failure::not_decimal;
  }
  return attach_failure::none;
}

int automemlink_ident(int argc, char** argv) {
  int ident = 0;
  std::string line;
  if (find_automemlink_ident(argc, argv, &ident, &line) != attach_failure::none) {
    refuse_attach(line);
  }
  return ident;
}

IOsharemem_client::IOsharemem_client(int ident) {
  std::string line;
  if (attach(ident, &line) != attach_failure::none) refuse_attach(line);
}

std::unique_ptr<IOsharemem_client> IOsharemem_client::try_attach(int ident, attach_failure* failure,
                                                                 std::string* line) {
  std::unique_ptr<IOsharemem_client> c(new IOsharemem_client());
  *failure = c->attach(ident, line);
  if (*failure != attach_failure::none) c.reset();
  return c;
}

attach_failure IOsharemem_client::attach(int ident, std::string* line) {
  if (ident == 0) {
    *line = "ident_mem ==0 !";
    return attach_failure::zero_ident;
  }
  std::fprintf(stderr, "ident_mem=%d\n", ident);
  std::fflush(stderr);

  const std::string refused = "shmat() client refuse pour ident mem=" + std::to_string(ident);
  shmid_ds ds;
  if (shmctl(ident, IPC_STAT, &ds) != 0) {
    *line = refused;
    return attach_failure::refused;
  }
  if (ds.shm_segsz != static_cast<size_t>(ioshare::kAreaSize)) {
    *line = "segment de " + std::to_string(ds.shm_segsz) + " octets au lieu de " +
            std::to_string(ioshare::kAreaSize) + " pour ident mem=" + std::to_string(ident);
    return attach_failure::wrong_size;
  }
  void* at = shmat(ident, nullptr, 0);
  if (at == reinterpret_cast<void*>(-1)) {
    *line = refused;
    return attach_failure::refused;
  }
  exchange_area* const a = static_cast<exchange_area*>(at);
  const int32_t n_in = __atomic_load_n(&a->nb_inputs, __ATOMIC_RELAXED);
  const int32_t n_out = __atomic_load_n(&a->nb_outputs, __ATOMIC_RELAXED);
  if (n_in < 0 || n_in > ioshare::kMaxSignals || n_out < 0 || n_out > ioshare::kMaxSignals) {
    *line = "nombres d'entrees et de sorties " + std::to_string(n_in) + " et " +
            std::to_string(n_out) + " hors de 0.." + std::to_string(ioshare::kMaxSignals) +
            " pour ident mem=" + std::to_string(ident);
    // Not ours to use: a failed attach leaves nothing mapped behind it.
    shmdt(at);
    return attach_failure::wrong_counts;
  }
  area = a;
  nb_inputs = n_in;
  nb_outputs = n_out;
  __atomic_store_n(&area->outputs_clock, 0, __ATOMIC_RELAXED);
  inputs.assign(nb_inputs, 0);
  last_clock = 0;
  creator = ds.shm_cpid;
  idle_polls = 0;
  ended = false;
  return attach_failure::none;
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
