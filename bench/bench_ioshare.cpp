// The exchange area's costs on the simulator's and the controller's paths.
#include <benchmark/benchmark.h>

#include <list>
#include <string>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/IOsharemem_server.h"

namespace {

const std::list<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                        "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::list<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                         "AvL", "ArL", "AvR", "T1m", "T5m"};

IOsharemem_server& server() {
  static IOsharemem_server s(kInputs, kOutputs);
  return s;
}

// One simulator cycle's exchange: 11 inputs written under the lock, the input
// clock raised, 11 outputs read.
void BM_SimulatorCycleExchange(benchmark::State& state) {
  IOsharemem_server& s = server();
  int actionneur[11];
  int cycle = 0;
  for (auto _ : state) {
    ++cycle;
    for (int i = 0; i < 11; ++i) s.setreset_input(i, (cycle >> i) & 1);
    s.inputs_go();
    for (int k = 0; k < 11; ++k) actionneur[k] = s.output_value(k);
    benchmark::DoNotOptimize(actionneur);
  }
}
BENCHMARK(BM_SimulatorCycleExchange);

// One setreset_input alone: a lock taken and given around one word.
void BM_SetresetInput(benchmark::State& state) {
  IOsharemem_server& s = server();
  int v = 0;
  for (auto _ : state) s.setreset_input(3, v ^= 1);
}
BENCHMARK(BM_SetresetInput);

// The controller's snapshot: a new input clock each time, so that receive
// takes the lock and copies the inputs instead of pausing. The inputs_go
// that makes the new clock, and one name lookup, are part of the loop.
void BM_ControllerSnapshot(benchmark::State& state) {
  IOsharemem_server& s = server();
  static IOsharemem_client c(s.memory_ident());  // attached once: it reports on stderr
  int sum = 0;
  for (auto _ : state) {
    s.inputs_go();
    if (c.receive() != 1) state.SkipWithError("no new snapshot");
    sum += c.input_is_set("Niv");
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_ControllerSnapshot);

}  // namespace

BENCHMARK_MAIN();
