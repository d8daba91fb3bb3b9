#include "IOshare/IOsharemem_server.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "IOshare/exchange_area.h"

using ioshare::exchange_area;

namespace {

// The simulator's longest wait for the lock before taking it back.
constexpr long kServerLockWaitUs = 3000;

[[noreturn]] void refuse(const std::string& line) {
  std::fprintf(stderr, "IOshare: erreur sur partage memoire\n%s\n\n", line.c_str());
  std::fflush(stderr);
  std::exit(1);
}

// The area has room for 41 names of at most 49 characters per side.
void check_fits(const std::list<std::string>& names, const std::string& side) {
  if (names.size() > static_cast<size_t>(ioshare::kMaxSignals)) {
    refuse("trop de noms " + side + ": " + std::to_string(names.size()) + " (" +
           std::to_string(ioshare::kMaxSignals) + " au plus)");
  }
  for (const std::string& name : names) {
    if (name.size() > static_cast<size_t>(ioshare::kMaxNameLength)) {
      refuse("nom " + side + " trop long (" + std::to_string(ioshare::kMaxNameLength) +
             " caracteres au plus): " + name);
    }
  }
}

void lay_out(const std::list<std::string>& names, int32_t* values, char (*slots)[50]) {
  int i = 0;
  for (const std::string& name : names) {
    values[i] = 0;
    std::memcpy(slots[i], name.c_str(), name.size() + 1);
    ++i;
  }
}

}  // namespace

IOsharemem_server::IOsharemem_server(const std::list<std::string>& inputs,
                                     const std::list<std::string>& outputs) {
  check_fits(inputs, "d'entree");
  check_fits(outputs, "de sortie");
  nb_inputs = static_cast<int>(inputs.size());
  nb_outputs = static_cast<int>(outputs.size());

  ident = shmget(IPC_PRIVATE, ioshare::kAreaSize, 0600);
  if (ident == 0) {
    // 0 is a valid identifier for the system, but a controller reads it as
    // "no area": take another one and give the first back.
    int zero = ident;
    ident = shmget(IPC_PRIVATE, ioshare::kAreaSize, 0600);
    shmctl(zero, IPC_RMID, nullptr);
  }
  if (ident == -1) refuse("shmat() serveur refuse pour ident mem=" + std::to_string(ident));
  void* at = shmat(ident, nullptr, 0);
  if (at == reinterpret_cast<void*>(-1)) {
    shmctl(ident, IPC_RMID, nullptr);  // unattached: it would outlive us
    refuse("shmat() serveur refuse pour ident mem=" + std::to_string(ident));
  }
  // Freed by the system once every attached process has gone (see header).
  shmctl(ident, IPC_RMID, nullptr);
  area = static_cast<exchange_area*>(at);

  ioshare::lock_init_held(&area->lock);
  area->nb_inputs = nb_inputs;
  area->nb_outputs = nb_outputs;
  lay_out(inputs, area->input_values, area->input_names);
  lay_out(outputs, area->output_values, area->output_names);
  __atomic_store_n(&area->inputs_clock, 0, __ATOMIC_RELAXED);
  ioshare::lock_give(&area->lock);
}

void IOsharemem_server::setreset_input(int index, int value) {
  if (index < 0 || index >= nb_inputs) return;
  ioshare::lock_take(&area->lock, kServerLockWaitUs, false);
  __atomic_store_n(&area->input_values[index], value, __ATOMIC_RELAXED);
  ioshare::lock_give(&area->lock);
}

void IOsharemem_server::inputs_go() {
  // A compare-and-swap, not an add: a sharing_terminate from a signal handler
  // between the read and the write must not be overwritten.
  int32_t clock = __atomic_load_n(&area->inputs_clock, __ATOMIC_RELAXED);
  while (clock >= 0 && clock < INT32_MAX &&
         !__atomic_compare_exchange_n(&area->inputs_clock, &clock, clock + 1, false,
                                      __ATOMIC_RELEASE, __ATOMIC_RELAXED)) {
  }
}

int IOsharemem_server::output_value(int index) {
  if (index < 0 || index >= nb_outputs) return 0;
  return __atomic_load_n(&area->output_values[index], __ATOMIC_RELAXED);
}

int IOsharemem_server::get_outputs_clock() {
  ioshare::lock_take(&area->lock, kServerLockWaitUs, false);
  const int clock = __atomic_load_n(&area->outputs_clock, __ATOMIC_RELAXED);
  ioshare::lock_give(&area->lock);
  return clock;
}

void IOsharemem_server::sharing_terminate() {
  __atomic_store_n(&area->inputs_clock, -1, __ATOMIC_RELEASE);
}
