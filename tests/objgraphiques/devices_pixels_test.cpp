// The devices drawn into a real window of the test's X server, checked pixel by pixel.
#include <gtest/gtest.h>

#include "formspp/fl_drawing.h"
#include "formspp/window_pixels.h"
#include "objgraphiques/cuve.h"
#include "objgraphiques/melangeur.h"
#include "objgraphiques/resistor.h"
#include "objgraphiques/trappe.h"
#include "objgraphiques/vanne.h"

namespace {

// The window is white; every device erases in green, so an erase is told from the window.
const Fl_Color erase_colour = FL_GREEN;

class DevicePixels : public ::testing::Test {
 protected:
  void SetUp() override { win = shown_window(500, 560, FL_WHITE); }
  rgb at(int x, int y) { return pixel_at(win.get(), x, y); }
  int near(int x, int y, const rgb& c) { return count_near(win.get(), x, y, 1, c); }

  std::unique_ptr<Fl_Window> win;
  const rgb white = rgb_of(FL_WHITE), black = rgb_of(FL_BLACK), blue = rgb_of(FL_BLUE),
            red = rgb_of(FL_RED), green = rgb_of(erase_colour);
};

TEST_F(DevicePixels, TankMakesItsWindowCurrentAndDrawsWaterBlueUpToItsLevel) {
  auto other = shown_window(100, 100, FL_WHITE);
  cuve tank(win.get(), 20, 450, 300, 350, 1, 280, 0, 10.0, 1);
  tank.change_background(erase_colour);
  tank.change_foreground(FL_BLUE);
  tank.change_in(5.0);
  for (int i = 0; i < 200; ++i) tank.react();  // level 100.0: 100 rows of water
  other->make_current();
  tank.draw();
  EXPECT_EQ(Fl_Window::current(), win.get());
  EXPECT_EQ(at(170, 448), blue);  // just above the outline's bottom row
  EXPECT_EQ(at(170, 350), blue);  // top row of the water: y - L
  EXPECT_EQ(at(170, 349), green);
  EXPECT_EQ(at(170, 101), green);
  EXPECT_EQ(at(20, 200), black);  // lidded: closed outline, top included
  EXPECT_EQ(at(170, 100), black);
  EXPECT_EQ(at(319, 200), black);
  EXPECT_EQ(at(321, 200), white);
  EXPECT_EQ(at(170, 451), white);

  // One more cycle of 0.5 pixel does not show; the second one does.
  tank.react();
  tank.draw();
  EXPECT_EQ(at(170, 349), green);
  tank.react();
  tank.draw();
  EXPECT_EQ(at(170, 349), blue);
}

TEST_F(DevicePixels, OpenTankIsAUWithoutTopLine) {
  cuve reservoir(win.get(), 30, 90, 20, 20, 1, 20, 10, 10.0, 0);
  reservoir.change_background(erase_colour);
  reservoir.change_foreground(FL_YELLOW);
  reservoir.draw();
  EXPECT_EQ(at(40, 85), rgb_of(FL_YELLOW));
  EXPECT_EQ(at(40, 75), green);
  EXPECT_EQ(at(30, 80), black);  // left wall at x
  EXPECT_EQ(at(50, 80), black);  // right wall at x + width
  EXPECT_EQ(at(40, 90), black);  // floor
  EXPECT_EQ(at(40, 70), green);  // no top line
}

TEST_F(DevicePixels, ValveBarAndEraseOnlyAfterAChange) {
  vanne valve(win.get(), 260, 75, 50, 10, 30, 0, 0);
  valve.change_background(erase_colour);
  valve.change_foreground(FL_BLACK);
  win->make_current();
  valve.draw();
  EXPECT_EQ(at(250, 75), black);  // closed: bar across the vertical pipe
  EXPECT_EQ(at(260, 65), green);  // erased body, inside the pipe
  EXPECT_EQ(at(255, 55), black);  // pipe line outside the body
  EXPECT_EQ(at(260, 55), white);  // between the pipe lines, outside the erase square

  // A mark inside the body survives a draw without change: nothing is erased then.
  fl_rectf(248, 63, 2, 2, FL_RED);
  valve.draw();
  EXPECT_EQ(at(248, 63), red);

  valve.open();
  win->make_current();
  valve.draw();
  EXPECT_EQ(at(260, 65), black);  // open: bar along the pipe
  EXPECT_EQ(at(250, 75), green);  // old bar erased
  EXPECT_EQ(at(248, 63), green);  // mark erased with the body
  EXPECT_EQ(at(255, 65), black);  // the pipe line is drawn again over the erased square
}

TEST_F(DevicePixels, HeaterIsRedWhileHeatingAndLeavesTheDefaultLineWidth) {
  resistor heater(win.get(), 170, 400, 90, 48);
  heater.change_background(erase_colour);
  heater.change_foreground(FL_BLACK);
  win->make_current();
  heater.draw();
  EXPECT_EQ(at(190, 376), black);  // outer upper run
  EXPECT_EQ(at(190, 378), black);  // five pixels thick
  EXPECT_EQ(at(150, 408), black);  // inner lower run
  heater.heat();
  win->make_current();
  heater.draw();
  EXPECT_EQ(at(190, 376), red);
  EXPECT_EQ(at(150, 408), red);
  EXPECT_EQ(at(170, 400), white);  // inside the folds
  // A line drawn next has the default width again.
  win->make_current();
  fl_line(10, 520, 100, 520, static_cast<unsigned>(FL_BLACK));
  EXPECT_EQ(at(50, 520), black);
  EXPECT_EQ(at(50, 522), white);
  heater.unheat();
  win->make_current();
  heater.draw();
  EXPECT_EQ(at(190, 376), black);
}

TEST_F(DevicePixels, DrumErasesItsOldCrossInTheBackgroundWhileTurning) {
  melangeur drum(win.get(), 170, 250, 200);
  drum.change_background(erase_colour);
  drum.change_foreground(FL_BLACK);
  win->make_current();
  drum.draw();
  EXPECT_GT(near(130, 294, black), 0);  // on the cross at 40 radians
  EXPECT_EQ(at(170, 150), black);       // top of the circle
  EXPECT_EQ(at(70, 250), black);        // left of the circle

  drum.change_speed(1.0);
  drum.react();  // 41 radians
  win->make_current();
  drum.draw();
  EXPECT_EQ(near(130, 294, black), 0);
  EXPECT_GT(near(130, 294, green), 0);  // erased, not left blank
  EXPECT_GT(near(111, 241, black), 0);  // on the cross at 41 radians
}

TEST_F(DevicePixels, HatchSwingsOpenAndErasesItsClosedPosition) {
  trappe hatch(win.get(), 120, 100, 100, 45.0, 1, 1);
  hatch.change_background(erase_colour);
  hatch.change_foreground(FL_BLACK);
  hatch.close();
  win->make_current();
  hatch.draw();
  EXPECT_EQ(at(170, 100), black);
  EXPECT_EQ(near(146, 57, black), 0);  // nothing erased or drawn on the open position
  EXPECT_EQ(near(146, 57, green), 0);
  hatch.open();
  win->make_current();
  hatch.draw();
  EXPECT_EQ(at(170, 100), green);
  EXPECT_GT(near(146, 57, black), 0);  // half way to (172, 15)
}

}  // namespace
