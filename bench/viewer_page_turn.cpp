// A page turn in a 1,000,000-line marked-up text: the screen filter builds the page's rows and
// the page list is refilled, as the viewer does on each turn (goal: at most 20 ms).
#include <benchmark/benchmark.h>

#include <FL/Fl_Browser.H>
#include <FL/Fl_Window.H>

#include <string>
#include <vector>

#include "formspp/viewer_display.h"

namespace {

const std::vector<std::string>& big_text() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> l;
    l.reserve(1000000);
    for (int i = 0; l.size() < 1000000; ++i) {
      if (i % 50 == 0) l.push_back("#C 10 T12 8 40 ");
      if (i % 20 == 0) l.push_back("#T");
      l.push_back("row " + std::to_string(i) + "# signal# " + std::to_string(i % 2) +
                  "# a comment of some length for the last column");
    }
    return l;
  }();
  return lines;
}

void fill(Fl_Browser& list, const std::string& page) {
  list.clear();
  size_t start = 0;
  while (start < page.size()) {
    size_t end = page.find('\n', start);
    list.add(page.substr(start, end - start).c_str());
    start = end + 1;
  }
}

// Turning to the next page, the pages already found once.
void BM_PageTurn(benchmark::State& state) {
  const auto& lines = big_text();
  OFD_afficheur_filtre_affichage screen(lines.data(), static_cast<int>(lines.size()));
  Fl_Window window(820, 500);
  Fl_Browser list(10, 50, 800, 370);
  window.end();
  const int last = screen.nb_pages();
  int page = last / 2;
  for (auto _ : state) {
    page = page < last ? page + 1 : 0;
    fill(list, screen.visu_page(page));
    benchmark::DoNotOptimize(screen.nb_pages());
  }
}
BENCHMARK(BM_PageTurn)->Unit(benchmark::kMillisecond);

// The first turn of an activation, to the last page: the whole text is walked once.
void BM_FirstTurnToLastPage(benchmark::State& state) {
  const auto& lines = big_text();
  Fl_Window window(820, 500);
  Fl_Browser list(10, 50, 800, 370);
  window.end();
  for (auto _ : state) {
    OFD_afficheur_filtre_affichage screen(lines.data(), static_cast<int>(lines.size()));
    fill(list, screen.visu_page(screen.nb_pages()));
  }
}
BENCHMARK(BM_FirstTurnToLastPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
