// The sorting line's model stepped without a display: its drawing goes to a recording surface
// that is emptied after each cycle. Then drawn into its window, painting only what changed.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/x.H>

#include "formspp/recording_driver.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "sudz-sorter/sorter_plant.h"
#include "sudz-sorter/sorter_window.h"
#include "support/window_pixels.h"

namespace {

using outputs = std::map<sorter_output, int>;

class SorterPlant : public ::testing::Test {
 protected:
  // Runs n cycles with these outputs (the others 0); false as soon as the alarm comes.
  bool run(sorter_plant& plant, const outputs& on, int n) {
    int out[sorter_output_count] = {};
    for (const auto& o : on) out[o.first] = o.second;
    for (int i = 0; i < n; ++i) {
      const bool safe = plant.step(out);
      surface.recorder.calls.clear();
      surface.recorder.current.clear();
      if (!safe) return false;
    }
    return true;
  }
  // Runs until the input reaches the value (at most limit cycles); the cycles it took, or -1.
  int run_until(sorter_plant& plant, const outputs& on, sorter_input in, int value,
                int limit = 2000) {
    for (int n = 0; n < limit; ++n) {
      if (input(plant, in) == value) return n;
      if (!run(plant, on, 1)) return -1;
    }
    return -1;
  }
  int input(sorter_plant& plant, sorter_input in) {
    int values[sorter_input_count];
    plant.compute_inputs(values);
    return values[in];
  }
  // Asks for one box: a rising edge of "Dem", then "Dem" back to 0.
  void ask(sorter_plant& plant, const outputs& also) {
    outputs with = also;
    with[OUT_DEM] = 1;
    run(plant, with, 1);
    run(plant, also, 1);
  }

  recording_surface surface;
};

TEST_F(SorterPlant, TheFirstInputsDescribeTheLineAtRest) {
  sorter_plant plant(nullptr, 49u);
  int in[sorter_input_count];
  plant.compute_inputs(in);
  const int expected[sorter_input_count] = {0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1};
  for (int i = 0; i < sorter_input_count; ++i) EXPECT_EQ(in[i], expected[i]) << sorter_signals[i];
}

TEST_F(SorterPlant, BoxesWaitAtTheClosedGateWithoutOverlapAndTheirKindIsSensed) {
  sorter_plant plant(nullptr, 49u);
  // "BrF" only until "Bf": held on, the arm would turn on past the belt.
  ASSERT_GE(run_until(plant, {{OUT_BRF, 1}}, IN_BF, 1), 0);
  const outputs closing{{OUT_TAP, 1}};
  ask(plant, closing);
  EXPECT_EQ(input(plant, IN_ENT), 1);
  // Two more boxes as soon as the entry is free: they queue behind the first.
  for (int k = 0; k < 2; ++k) {
    ASSERT_GE(run_until(plant, closing, IN_ENT, 0), 0);
    ask(plant, closing);
  }
  ASSERT_GE(run_until(plant, closing, IN_FIN, 1), 0);
  EXPECT_EQ(input(plant, IN_GD), 1) << "the fixed sequence starts with a large box";
  ASSERT_TRUE(run(plant, closing, 400));
  EXPECT_EQ(plant.boxes_present(), 3);
  // The queue: each box's right edge at most the left edge of the box ahead of it. Boxes are
  // the last parts registered, in the order fed; every one starts at the belt's entry.
  std::vector<double> shift;
  std::istringstream lines(plant.positions());
  for (std::string l; std::getline(lines, l) && l.rfind("belt", 0) != 0;)
    shift.push_back(std::stod(l));
  ASSERT_GE(shift.size(), 3u);
  box_sequence kinds;
  double ahead_left = 1e9;
  for (size_t i = shift.size() - 3; i < shift.size(); ++i) {
    const int w = kinds.next() == box_kind::large ? sorter_plant::large_w : sorter_plant::small_w;
    const double left = sorter_plant::entry_x + shift[i];
    EXPECT_LE(left + w, ahead_left + 1e-9) << "box " << i << " overlaps the box ahead";
    ahead_left = left;
  }
  EXPECT_EQ(input(plant, IN_FIN), 1);
  EXPECT_EQ(input(plant, IN_GD), 1);
  EXPECT_EQ(plant.deliveries().size(), 0u);
}

// Wherever the arm stands while "Bf" reads 1, including held closing against its stop, it bars
// a box of either kind where "Fin" (and "Gd" for a large one) sees it: a controller that stops
// the arm late still gets its box at the sensors.
TEST_F(SorterPlant, AnywhereTheGateReadsClosedItHoldsTheBoxAtTheSensors) {
  struct row {
    int closing_cycles;  // "BrF" held from open, 3 degrees a cycle
    double angle;
  };
  const row rows[] = {{30, 90.0}, {31, 93.0}, {32, 96.0}, {33, 96.0}, {200, 96.0}};
  int small_first = 1;
  while (box_sequence(static_cast<std::uint32_t>(small_first)).next() != box_kind::small)
    ++small_first;
  for (const row& r : rows) {
    for (const bool large : {true, false}) {
      SCOPED_TRACE("BrF for " + std::to_string(r.closing_cycles) + " cycles, " +
                   (large ? "large" : "small") + " box");
      sorter_plant plant(nullptr, 49u, large ? box_sequence() : box_sequence(small_first));
      ASSERT_TRUE(run(plant, {{OUT_BRF, 1}}, r.closing_cycles));
      EXPECT_EQ(plant.gate_angle(), r.angle);
      EXPECT_EQ(input(plant, IN_BF), 1);
      ask(plant, {{OUT_TAP, 1}});
      ASSERT_TRUE(run(plant, {{OUT_TAP, 1}}, 400));
      EXPECT_EQ(input(plant, IN_FIN), 1);
      EXPECT_EQ(input(plant, IN_GD), large ? 1 : 0);
      EXPECT_EQ(input(plant, IN_CH), 0);
      EXPECT_EQ(plant.boxes_present(), 1);
    }
  }
}

TEST_F(SorterPlant, ABoxTakenToTheLeftBinIsCountedThere) {
  sorter_plant plant(nullptr, 49u);
  ask(plant, {{OUT_TAP, 1}, {OUT_BRF, 1}});
  ASSERT_GE(run_until(plant, {{OUT_TAP, 1}, {OUT_BRF, 1}}, IN_FIN, 1), 0);
  ASSERT_GE(run_until(plant, {{OUT_TAP, 1}, {OUT_BRO, 1}}, IN_CH, 1), 0) << "onto the wagon";
  const int to_left = run_until(plant, {{OUT_WAG, 1}}, IN_WG, 1);
  EXPECT_EQ(to_left,
            (sorter_plant::load_x - sorter_plant::wagon_length / 2 - sorter_plant::left_limit) / 2);
  ASSERT_GE(run_until(plant, {{OUT_EGA, 1}}, IN_EGS, 1), 0);
  EXPECT_EQ(input(plant, IN_CH), 0) << "the ejector took the box off";
  ASSERT_TRUE(run(plant, {{OUT_EGR, 1}}, 300));
  ASSERT_EQ(plant.deliveries().size(), 1u);
  EXPECT_EQ(plant.deliveries()[0].bin, bin_side::left);
  EXPECT_EQ(plant.count(bin_side::left, box_kind::large), 1);
  EXPECT_EQ(plant.boxes_present(), 0);
  EXPECT_EQ(input(plant, IN_EGR), 1);
}

TEST_F(SorterPlant, AGateSwungOntoAPassingBoxJamsWithoutOverlapUntilOpened) {
  sorter_plant plant(nullptr, 49u);
  ask(plant, {{OUT_TAP, 1}});
  ASSERT_GE(run_until(plant, {{OUT_TAP, 1}}, IN_FIN, 1), 0);
  // The box is under the gate's sweep: the arm stops on it and holds it back.
  ASSERT_TRUE(run(plant, {{OUT_TAP, 1}, {OUT_BRF, 1}}, 100));
  EXPECT_LT(plant.gate_angle(), 90.0);
  EXPECT_EQ(input(plant, IN_BF), 0);
  EXPECT_EQ(input(plant, IN_FIN), 1);
  EXPECT_EQ(input(plant, IN_CH), 0);
  // Opened, it lets the box go on to the wagon.
  ASSERT_GE(run_until(plant, {{OUT_TAP, 1}, {OUT_BRO, 1}}, IN_BO, 1), 0);
  EXPECT_GT(run_until(plant, {{OUT_TAP, 1}}, IN_CH, 1), 0);
}

TEST_F(SorterPlant, KindsFollowTheFixedOrSeededSequence) {
  box_sequence fixed, again, seeded(7), same_seed(7), other_seed(8);
  std::string a, b, s1, s2, s3;
  for (int i = 0; i < 32; ++i) {
    a += fixed.next() == box_kind::large ? 'G' : 'P';
    b += again.next() == box_kind::large ? 'G' : 'P';
    s1 += seeded.next() == box_kind::large ? 'G' : 'P';
    s2 += same_seed.next() == box_kind::large ? 'G' : 'P';
    s3 += other_seed.next() == box_kind::large ? 'G' : 'P';
  }
  EXPECT_EQ(a.substr(0, 8), "GPPGGPGP");
  EXPECT_EQ(a, b);
  EXPECT_EQ(s1, s2);
  EXPECT_NE(s1, s3);
  EXPECT_NE(s1.find('G'), std::string::npos);
  EXPECT_NE(s1.find('P'), std::string::npos);
}

// FNV-1a of a text, for a short golden value.
std::uint64_t fnv(const std::string& s) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// Two boxes sorted by a fixed timetable of outputs, with a gate swing, both ejectors and wagon
// runs both ways, in 1800 cycles.
struct phase {
  int cycles;
  outputs on;
};
const phase two_deliveries[] = {
    {30, {{OUT_BRF, 1}}},                 // gate closed
    {1, {{OUT_DEM, 1}, {OUT_TAP, 1}}},    // a large box
    {300, {{OUT_TAP, 1}}},                // waits at the gate
    {30, {{OUT_BRO, 1}, {OUT_TAP, 1}}},   // let through
    {200, {{OUT_TAP, 1}}},                // onto the wagon
    {30, {{OUT_BRF, 1}}},                 // gate closed
    {1, {{OUT_DEM, 1}, {OUT_TAP, 1}}},    // a small box
    {150, {{OUT_WAG, 1}, {OUT_TAP, 1}}},  // wagon to the left
    {70, {{OUT_EGA, 1}, {OUT_TAP, 1}}},   // pushed off
    {180, {{OUT_EGR, 1}, {OUT_TAP, 1}}},  // ejector in
    {147, {{OUT_WAD, 1}, {OUT_TAP, 1}}},  // wagon back under the belt
    {30, {{OUT_BRO, 1}, {OUT_TAP, 1}}},   // second box through
    {200, {{OUT_TAP, 1}}},                // onto the wagon
    {117, {{OUT_WAD, 1}}},                // wagon to the right
    {70, {{OUT_EDA, 1}}},                 // pushed off
    {244, {}},                            // into the bin
};

TEST_F(SorterPlant, AFixedScriptOfOutputsAlwaysLeavesThePartsInTheSamePlaces) {
  // Every part's position after the two deliveries.
  std::string first;
  for (int run_number = 0; run_number < 2; ++run_number) {
    sorter_plant plant(nullptr, 49u);
    int total = 0;
    for (const phase& p : two_deliveries) {
      ASSERT_TRUE(run(plant, p.on, p.cycles)) << "after " << total;
      total += p.cycles;
    }
    EXPECT_EQ(total, 1800);
    const std::string positions = plant.positions();
    if (run_number == 0) {
      first = positions;
      ASSERT_EQ(plant.deliveries().size(), 2u) << positions;
      EXPECT_EQ(plant.deliveries()[0].bin, bin_side::left);
      EXPECT_EQ(plant.deliveries()[1].bin, bin_side::right);
      EXPECT_EQ(plant.count(bin_side::right, box_kind::small), 1);
      EXPECT_EQ(fnv(positions), 10134021366822966081ull) << positions;
    } else {
      EXPECT_EQ(positions, first);
    }
  }
}

// A sorting line's window shown at y, first painted.
sorter_window shown_line(int y) {
  sorter_window w = build_sorter_window();
  w.window->position(0, y);
  w.window->show();
  while (!w.window->shown() || w.window->damage()) Fl::wait(0.01);
  return w;
}

// Two lines take the two deliveries, then stand still: one paints only the parts that changed,
// the other all of them every cycle. After every cycle both windows show the same pixels; a
// cycle with nothing to show sends no request to the server.
TEST(SorterDrawing, PaintingOnlyWhatChangedShowsTheFullPaintingAlongTwoDeliveries) {
  fl_open_display();
  sorter_window w = shown_line(0), v = shown_line(460);
  sorter_plant plant(w.window, w.window_colour), full(v.window, v.window_colour);
  plant_drawing drawing, redrawing;
  add_sorter_parts(drawing, plant);
  add_sorter_parts(redrawing, full);
  w.window->on_repaint([&] { drawing.paint(true, w.window); });
  v.window->on_repaint([&] { redrawing.paint(true, v.window); });

  int cycle = 0, unchanged = 0;
  unsigned long idle_requests = 0;
  std::string first_difference;
  std::vector<phase> script(std::begin(two_deliveries), std::end(two_deliveries));
  script.push_back({400, {}});
  for (const phase& p : script) {
    int out[sorter_output_count] = {};
    for (const auto& o : p.on) out[o.first] = o.second;
    for (int i = 0; i < p.cycles; ++i, ++cycle) {
      Fl::check();
      const unsigned long before = NextRequest(fl_display);
      ASSERT_TRUE(plant.step(out)) << "after " << cycle;
      if (drawing.paint(false, w.window) == 0) {
        ++unchanged;
        idle_requests += NextRequest(fl_display) - before;
      }
      ASSERT_TRUE(full.step(out));
      redrawing.paint(true, v.window);
      if (first_difference.empty() &&
          testsupport::window_pixels(w.window) != testsupport::window_pixels(v.window))
        first_difference = "cycle " + std::to_string(cycle);
    }
  }
  EXPECT_EQ(first_difference, "");
  EXPECT_EQ(plant.deliveries().size(), 2u);
  EXPECT_GT(unchanged, 100);
  EXPECT_EQ(idle_requests, 0u) << "a cycle with nothing to show sent requests";
  w.window->on_repaint(nullptr);
  v.window->on_repaint(nullptr);
}

}  // namespace
