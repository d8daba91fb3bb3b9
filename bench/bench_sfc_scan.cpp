// One scan of a large chart: 100 steps in a ring of 50 parallel pairs, half
// of them active, 50 transitions each joining a pair and opening the next,
// conditions with edges, step times and comparisons, an action per step;
// every input changes at every scan.
#include <benchmark/benchmark.h>

#include <string>

#include "plcengine/sfc_chart.h"
#include "plcengine/sfc_reader.h"
#include "plcengine/sfc_scan.h"

namespace {

std::string large_chart(const sfc::plant_names& p) {
  std::string t = "PROGRAM large\nVAR n : INT; END_VAR\nACTION count: n := n + 1; END_ACTION\n";
  const int pairs = 50;
  for (int k = 0; k < pairs; ++k) {
    const char* kind = k % 2 == 0 ? "INITIAL_STEP" : "STEP";
    const std::string out = p.outputs[k % p.outputs.size()];
    t += std::string(kind) + " A" + std::to_string(k) + ": " + out + "(N); count(N); END_STEP\n";
    t += std::string(kind) + " B" + std::to_string(k) + ": " + out + "(L, T#2s); END_STEP\n";
  }
  for (int k = 0; k < pairs; ++k) {
    const int j = (k + 1) % pairs;
    const std::string a = p.inputs[k % p.inputs.size()], b = p.inputs[(k + 3) % p.inputs.size()];
    t += "TRANSITION FROM (A" + std::to_string(k) + ", B" + std::to_string(k) + ") TO (A" +
         std::to_string(j) + ", B" + std::to_string(j) + ") := RE(" + a + ") AND NOT " + b +
         " OR A" + std::to_string(k) + ".T >= T#1s AND n MOD 7 <> 3; END_TRANSITION\n";
  }
  return t + "END_PROGRAM\n";
}

void BM_ScanLargeChart(benchmark::State& state) {
  const sfc::plant_names p = sfc::known_plants().front();
  sfc::chart c;
  sfc::chart_error e;
  if (!sfc::read_chart(large_chart(p), &c, &e)) {
    state.SkipWithError(e.message.c_str());
    return;
  }
  sfc::chart_scan scan(c, p);
  int inputs[2][11];
  for (int i = 0; i < 11; ++i) {
    inputs[0][i] = i % 2;
    inputs[1][i] = 1 - i % 2;
  }
  long long t = 0;
  int k = 0;
  for (auto _ : state) {
    scan.scan(inputs[k], t);
    benchmark::DoNotOptimize(scan.outputs().data());
    k = 1 - k;
    t += 5;
  }
  state.counters["steps"] = static_cast<double>(c.steps.size());
  state.counters["transitions"] = static_cast<double>(c.transitions.size());
}
BENCHMARK(BM_ScanLargeChart);

}  // namespace

BENCHMARK_MAIN();
