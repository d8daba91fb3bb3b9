// dtoS against snprintf and Stod against strtod on the same inputs. After the usual table the
// binary prints how many times faster the library function is than the C library one.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Stringpp/Stringpp.h"

namespace {

const size_t kInputs = 4096;

// Temperatures and similar readings: a few digits before the point.
const std::vector<double>& values() {
  static const std::vector<double> v = [] {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> d(-50.0, 1000.0);
    std::vector<double> out(kInputs);
    for (double& x : out) x = d(rng);
    return out;
  }();
  return v;
}

// The same readings written with 1 to 6 decimals.
const std::vector<std::string>& texts() {
  static const std::vector<std::string> v = [] {
    std::vector<std::string> out;
    char buf[64];
    for (size_t i = 0; i < kInputs; ++i) {
      std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(1 + i % 6), values()[i]);
      out.push_back(buf);
    }
    return out;
  }();
  return v;
}

void BM_dtoS_1(benchmark::State& state) {
  const std::vector<double>& in = values();
  size_t i = 0;
  for (auto _ : state) {
    std::string s = dtoS(in[i], 1);
    benchmark::DoNotOptimize(s.data());
    i = (i + 1) % kInputs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_dtoS_1);

void BM_snprintf_1f(benchmark::State& state) {
  const std::vector<double>& in = values();
  size_t i = 0;
  char buf[64];
  for (auto _ : state) {
    int n = std::snprintf(buf, sizeof buf, "%.1f", in[i]);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(buf);
    i = (i + 1) % kInputs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_snprintf_1f);

void BM_Stod(benchmark::State& state) {
  const std::vector<std::string>& in = texts();
  size_t i = 0;
  for (auto _ : state) {
    double x = Stod(in[i], '.');
    benchmark::DoNotOptimize(x);
    i = (i + 1) % kInputs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Stod);

void BM_strtod(benchmark::State& state) {
  const std::vector<std::string>& in = texts();
  size_t i = 0;
  for (auto _ : state) {
    double x = std::strtod(in[i].c_str(), nullptr);
    benchmark::DoNotOptimize(x);
    i = (i + 1) % kInputs;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_strtod);

// Keeps each benchmark's CPU time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> cpu_time;

  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions the mean stands for the benchmark.
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "mean")
        cpu_time[run.run_name.str()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

void print_ratio(const RatioReporter& r, const std::string& ours, const std::string& theirs,
                 const std::string& label) {
  auto a = r.cpu_time.find(ours), b = r.cpu_time.find(theirs);
  if (a == r.cpu_time.end() || b == r.cpu_time.end() || a->second <= 0) return;
  std::printf("%-32s %6.2fx faster (%.1f ns vs %.1f ns)\n", label.c_str(), b->second / a->second,
              a->second, b->second);
}

}  // namespace

int main(int argc, char** argv) {
  // Same results, checked once, before timing anything.
  for (size_t i = 0; i < kInputs; ++i) {
    if (Stod(texts()[i], '.') != std::strtod(texts()[i].c_str(), nullptr)) {
      std::cerr << "Stod and strtod differ on " << texts()[i] << "\n";
      return 1;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  print_ratio(reporter, "BM_dtoS_1", "BM_snprintf_1f", "dtoS(x, 1) vs snprintf(\"%.1f\"):");
  print_ratio(reporter, "BM_Stod", "BM_strtod", "Stod(text, '.') vs strtod:");
  return 0;
}
