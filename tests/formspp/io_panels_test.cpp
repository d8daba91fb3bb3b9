// The outputs and inputs panels on the test's own X server, operated with xdotool as a person
// would and checked by their pixels and results.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "formspp/simulator_input.h"
#include "formspp/simulator_output.h"
#include "formspp/window_pixels.h"

namespace {

// Handles events until pred holds; bounded so that a broken panel fails instead of hanging.
template <typename Pred>
bool pump_until(Pred pred, double seconds = 20.0) {
  for (int i = 0; i < seconds * 50; ++i) {
    if (pred()) return true;
    Fl::wait(0.02);
  }
  return pred();
}

// Handles events until w has been drawn on the screen (the white inside of its list at (100,
// 150) stands there) and nothing is left to draw.
void settle(Fl_Window* w) {
  const rgb white = rgb_of(FL_WHITE);
  pump_until([w, white] {
    if (!w->shown() || w->damage() != 0) return false;
    XWindowAttributes a;
    XGetWindowAttributes(fl_display, fl_xid(w), &a);
    return a.map_state == IsViewable && pixel_at(w, 100, 150) == white;
  });
  Fl::check();
  XSync(fl_display, False);
}

// A click at (x, y) of w, as a person makes it; the events wait in the queue until handled.
void click(Fl_Window* w, int x, int y) {
  XSync(fl_display, False);
  const std::string cmd = "xdotool mousemove --sync 0 0 mousemove --sync --window " +
                          std::to_string(fl_xid(w)) + " " + std::to_string(x) + " " +
                          std::to_string(y) + " click 1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

const rgb kBlue = rgb_of(216), kYellow = rgb_of(95), kRed = rgb_of(88);

// Colour of the square of a line when all its 10 by 12 pixels share one, else {-1, -1, -1}.
rgb square_colour(Fl_Window* w, int x0, int line) {
  settle(w);
  const window_image img = read_box(w, x0 + 7, 34 + 16 * line, 10, 12);
  const rgb first = img.at(x0 + 7, 34 + 16 * line);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 10; ++x)
      if (!(img.at(x0 + 7 + x, 34 + 16 * line + y) == first)) return {-1, -1, -1};
  return first;
}

TEST(OutputPanel, SquaresShowValuesByColourAtTheirPlaces) {
  OFD_simulator_output out(200, "outputs");
  Fl_Window* w = out.window();
  EXPECT_EQ(out.lines_per_page(), 7);
  out.add("first");
  EXPECT_EQ(square_colour(w, 0, 0), kRed);  // not evaluated yet
  const rgb background = square_colour(w, 0, 1);
  EXPECT_FALSE(background == kRed);

  struct {
    int value;
    rgb colour;
  } cases[] = {{1, kBlue}, {0, kYellow}, {2, kRed}, {-1, kRed}, {1, kBlue}};
  for (const auto& c : cases) {
    out.eval(&c.value);
    EXPECT_EQ(square_colour(w, 0, 0), c.colour) << c.value;
  }

  // Seven lines, 16 pixels apart from y 34 to 130; the browser ends at 30 + 132.
  for (int i = 1; i < 7; ++i) out.add("s" + std::to_string(i));
  const int values[7] = {1, 0, 7, 1, 0, 0, 1};
  out.eval(values);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(square_colour(w, 0, i), values[i] == 1   ? kBlue
                                      : values[i] == 0 ? kYellow
                                                       : kRed)
        << i;
  }
}

TEST(OutputPanel, UnchangedValuesRedrawNothing) {
  OFD_simulator_output out(200, "outputs");
  for (int i = 0; i < 7; ++i) out.add("s" + std::to_string(i));
  const int values[7] = {1, 0, 1, 0, 1, 0, 1};
  out.eval(values);
  settle(out.window());
  out.eval(values);
  EXPECT_EQ(out.window()->damage(), 0);
}

TEST(OutputPanel, PagesFollowAddsAndTheButtons) {
  OFD_simulator_output out(200, "outputs");
  Fl_Window* w = out.window();
  for (int i = 0; i < 7; ++i) out.add("s" + std::to_string(i));
  EXPECT_EQ(out.page(), 0);
  out.add("s7");  // the eighth moves to page 1, which shows it alone
  EXPECT_EQ(out.page(), 1);
  EXPECT_EQ(square_colour(w, 0, 0), kRed);
  const rgb background = square_colour(w, 0, 1);
  EXPECT_FALSE(background == kRed);

  // "-" is at (30, 170), "+" at (70, 170): each click is one page, none past either end.
  const int minus_x = 40, plus_x = 80, buttons_y = 180;
  struct {
    int x;
    int page;
  } clicks[] = {{minus_x, 0}, {minus_x, 0}, {plus_x, 1}, {plus_x, 1}};
  for (const auto& c : clicks) {
    click(w, c.x, buttons_y);
    EXPECT_TRUE(pump_until([&] { return out.page() == c.page; })) << c.x;
    settle(w);
  }
  // Page 0 again: seven squares.
  click(w, minus_x, buttons_y);
  ASSERT_TRUE(pump_until([&] { return out.page() == 0; }));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(square_colour(w, 0, i), kRed) << i;

  for (int i = 8; i < 14; ++i) out.add("s" + std::to_string(i));
  EXPECT_EQ(out.page(), 1);  // one page at most per add
  out.next_page();
  EXPECT_EQ(out.page(), 1);  // 14 signals: page 1 is the last
  out.previous_page();
  out.previous_page();
  EXPECT_EQ(out.page(), 0);
}

TEST(OutputPanel, HeightsOutsideTheSquaresStaySafe) {
  // Too short for a line: one signal a page. Taller than the squares: at most max_lines.
  struct {
    int height;
    int lines;
    int signals;
    int last_page;
  } cases[] = {{100, 1, 3, 2}, {90, 1, 2, 1},
               {40, 1, 3, 2},  {101, 1, 2, 1},
               {117, 2, 3, 1}, {85 + 16 * 40000, OFD_simulator_output::max_lines, 3, 0}};
  for (const auto& c : cases) {
    Fl_Window holder(300, 100);
    OFD_simulator_output out(&holder, 0, c.height, "short");
    holder.end();
    EXPECT_EQ(out.lines_per_page(), c.lines) << c.height;
    for (int i = 0; i < c.signals; ++i) out.add("s" + std::to_string(i));
    EXPECT_EQ(out.page(), c.last_page) << c.height;
    out.next_page();
    EXPECT_EQ(out.page(), c.last_page) << c.height;
    std::vector<int> values(c.signals, 1);
    out.eval(values.data());
    out.internal_colorise(-1);
    out.internal_colorise(c.lines);
    for (int i = 0; i < c.signals; ++i) out.previous_page();
    EXPECT_EQ(out.page(), 0) << c.height;
  }
}

// The inputs panel in a window of its own, 300 high, with three signals.
struct InputPanel : ::testing::Test {
  OFD_simulator_input in{300};
  Fl_Window* w = in.window();
  // Item i (from 0) of a column: its check box, 16 pixels a line from y 40.
  void tick(int column_x, int i) { click(w, column_x, 40 + 16 * i); }
  void tick_signal(int i) { tick(20, i); }
  void tick_sticky(int i) { tick(220, i); }
  void press(Fl_Button* b) { click(w, b->x() + b->w() / 2, b->y() + b->h() / 2); }
  void SetUp() override {
    for (const char* name : {"A", "B", "C"}) in.add(name);
    settle(w);
  }
  int init = -1, quit = -1;
  int values[3] = {7, 7, 7};
};

TEST_F(InputPanel, GoSendsTicksAndKeepsOnlyTheStickyOnes) {
  tick_signal(0);
  tick_signal(2);
  tick_sticky(2);
  press(in.go_button());
  in.check(&init, &quit, values);
  EXPECT_EQ(quit, 0);
  EXPECT_EQ(init, 0);
  EXPECT_EQ(std::vector<int>(values, values + 3), std::vector<int>({1, 0, 1}));
  EXPECT_FALSE(in.ticked(0));
  EXPECT_FALSE(in.ticked(1));
  EXPECT_TRUE(in.ticked(2));

  // Sent again: the sticky one stays 1, the one sent once is 0 now.
  press(in.go_button());
  in.check(&init, &quit, values);
  EXPECT_EQ(std::vector<int>(values, values + 3), std::vector<int>({0, 0, 1}));
}

TEST_F(InputPanel, InitUnticksWithoutSending) {
  tick_signal(0);
  tick_signal(1);
  tick_sticky(1);
  press(in.init_button());
  in.check(&init, &quit, values);
  EXPECT_EQ(init, 1);
  EXPECT_EQ(quit, 0);
  EXPECT_EQ(std::vector<int>(values, values + 3), std::vector<int>({7, 7, 7}));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(in.ticked(i)) << i;
  EXPECT_TRUE(in.sticky(1));
}

TEST_F(InputPanel, QuitAndEval) {
  const int shown[3] = {0, 1, 0};
  in.eval(&quit, shown);
  EXPECT_EQ(quit, 0);
  EXPECT_FALSE(in.ticked(0));
  EXPECT_TRUE(in.ticked(1));
  EXPECT_FALSE(in.ticked(2));

  // "QUIT" pending: eval reports it and leaves the ticks.
  press(in.quit_button());
  const int other[3] = {1, 0, 1};
  ASSERT_TRUE(pump_until([&] {
    in.eval(&quit, other);
    return quit == 1;
  }));
  EXPECT_TRUE(in.ticked(1));
  EXPECT_FALSE(in.ticked(0));

  press(in.quit_button());
  in.check(&init, &quit, values);
  EXPECT_EQ(quit, 1);
  EXPECT_EQ(std::vector<int>(values, values + 3), std::vector<int>({7, 7, 7}));
}

TEST_F(InputPanel, ClosedWindowEndsTheWait) {
  w->hide();
  in.check(&init, &quit, values);
  EXPECT_EQ(quit, 1);
}

}  // namespace
