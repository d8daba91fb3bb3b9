// xbench_moving_parts: one moveredraw of a 4-element piece among 100 registered pieces, drawn
// into a shown window (run under Xvfb by scripts/run-bench). The piece steps right and back
// left by one pixel, so each move tests its 4 elements against the 99 others' 396 and paints
// 4 strips and 4 elements.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "objgraphiques/movepart.h"

namespace {

struct scene {
  std::unique_ptr<Fl_Window> window;
  movepart_manager manager;
  std::vector<std::unique_ptr<movepart>> pieces;
  movepart* moving = nullptr;

  scene() {
    window.reset(new Fl_Window(800, 600, "bench"));
    window->end();
    window->show();
    for (int i = 0; i < 100 && !window->visible(); ++i) Fl::wait(0.01);
    Fl::check();
    // 99 still pieces of 4 elements on a grid, clear of the moving one.
    for (int k = 0; k < 99; ++k) {
      pieces.emplace_back(new movepart(manager, window.get(), FL_BACKGROUND_COLOR));
      const int x = 20 + (k % 11) * 70, y = 150 + (k / 11) * 45;
      for (int e = 0; e < 4; ++e) pieces.back()->add(x + 12 * e, y, 10, 30, FL_BLUE);
      pieces.back()->draw();
    }
    pieces.emplace_back(new movepart(manager, window.get(), FL_BACKGROUND_COLOR));
    moving = pieces.back().get();
    moving->add(300, 40, 20, 20, FL_RED);
    moving->add(320, 40, 20, 10, FL_YELLOW);
    moving->add(300, 60, 40, 10, FL_BLACK);
    moving->add(340, 50, 5, 20, FL_RED);
    moving->draw();
  }
};

void BM_moveredraw_among_100(benchmark::State& state) {
  scene s;
  double step = 1.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.moving->moveredraw(step, 0.0));
    step = -step;
  }
  XSync(fl_display, False);
}
BENCHMARK(BM_moveredraw_among_100);

// The same with the drawing requests sent to the server after every move.
void BM_moveredraw_among_100_flushed(benchmark::State& state) {
  scene s;
  double step = 1.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.moving->moveredraw(step, 0.0));
    XFlush(fl_display);
    step = -step;
  }
  XSync(fl_display, False);
}
BENCHMARK(BM_moveredraw_among_100_flushed);

// The collision test alone, without drawing.
void BM_collision_among_100(benchmark::State& state) {
  scene s;
  for (auto _ : state) benchmark::DoNotOptimize(s.manager.collision(s.moving));
}
BENCHMARK(BM_collision_among_100);

}  // namespace

int main(int argc, char** argv) {
  fl_open_display();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
