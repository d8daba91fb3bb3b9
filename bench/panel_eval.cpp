// The outputs panel's eval of 41 unchanged signals, all on the page shown: the work a manual
// program does at every reading. Needs a display (scripts/run-bench starts one). The counter
// "redraws" counts evals that left anything to draw; unchanged values should leave nothing.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "formspp/simulator_output.h"

namespace {

constexpr int kSignals = 41;

void BM_OutputPanelEvalUnchanged(benchmark::State& state) {
  OFD_simulator_output panel(85 + 16 * kSignals, "bench");
  for (int i = 0; i < kSignals; ++i) panel.add("s" + std::to_string(i));
  std::vector<int> values(kSignals);
  for (int i = 0; i < kSignals; ++i) values[i] = i % 2;
  panel.eval(values.data());
  for (int i = 0; i < 100 && (!panel.window()->visible() || panel.window()->damage()); ++i)
    Fl::wait(0.02);
  Fl::flush();
  long redraws = 0;
  for (auto _ : state) {
    panel.eval(values.data());
    if (panel.window()->damage() != 0) {
      ++redraws;
      Fl::flush();
    }
  }
  state.counters["redraws"] = static_cast<double>(redraws);
}
BENCHMARK(BM_OutputPanelEvalUnchanged);

// For comparison: every eval changes every colour, so every square is redrawn once flushed.
void BM_OutputPanelEvalAllChanged(benchmark::State& state) {
  OFD_simulator_output panel(85 + 16 * kSignals, "bench");
  for (int i = 0; i < kSignals; ++i) panel.add("s" + std::to_string(i));
  std::vector<int> a(kSignals, 0), b(kSignals, 1);
  bool flip = false;
  for (auto _ : state) {
    panel.eval((flip = !flip) ? a.data() : b.data());
    Fl::flush();
  }
}
BENCHMARK(BM_OutputPanelEvalAllChanged);

}  // namespace

BENCHMARK_MAIN();
