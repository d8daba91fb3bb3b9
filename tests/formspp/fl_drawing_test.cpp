// The drawing primitives, recorded through a graphics driver that needs no display.
// GoogleTest comes before the toolkit: the X11 headers define a macro None that it also uses.
#include <gtest/gtest.h>

#include "formspp/fl_drawing.h"

#include <string>
#include <vector>

#include <FL/Enumerations.H>

#include "formspp/recording_driver.h"

using calls = std::vector<std::string>;

TEST(FlDrawing, RectboundFillsThenOutlinesInBlackInBothForms) {
  recording_surface rec;
  fl_rectbound(1, 2, 30, 40, 216);
  int x = 5, y = 6, w = 0, h = 7;
  unsigned c = 95u;
  fl_rectbound(x, y, w, h, c);
  EXPECT_EQ(rec.recorder.calls,
            (calls{"color 216", "rectf 1 2 30 40", "color 56", "rect 1 2 30 40",  //
                   "color 95", "rectf 5 6 0 7", "color 56", "rect 5 6 0 7"}));
  // The box colour does not survive: the next colourless call draws in black.
  EXPECT_EQ(fl_color(), FL_BLACK);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(c, 95u);
}

TEST(FlDrawing, LineFormsSetTheColourThenDrawOneLine) {
  recording_surface rec;
  unsigned variable = 88u;
  const unsigned constant = 95u;
  int as_int = 255;
  fl_line(35, 100, 35, 90, 56u);    // literal: value form
  fl_line(1, 2, 3, 4, variable);    // modifiable variable: reference form
  fl_line(5, 6, 7, 8, constant);    // constant: value form
  fl_line(9, 10, 11, 12, FL_BLUE);  // toolkit constant
  fl_line(13, 14, 15, 16, as_int);  // int converts to the colour index
  fl_line(-3, 0, 0, -3, static_cast<unsigned>(FL_BLACK));
  EXPECT_EQ(rec.recorder.calls,
            (calls{"color 56", "line 35 100 35 90", "color 88", "line 1 2 3 4", "color 95",
                   "line 5 6 7 8", "color 216", "line 9 10 11 12", "color 255", "line 13 14 15 16",
                   "color 56", "line -3 0 0 -3"}));
  EXPECT_EQ(variable, 88u);
}

TEST(FlDrawing, OvalAndDiscAreFullPiesOfTheirBox) {
  struct row {
    const char* what;
    void (*draw)();
    calls expected;
  };
  const row rows[] = {
      {"ovalf unsigned",
       [] { fl_ovalf(1, 2, 30, 10, 216u); },
       {"color 216", "pie 1 2 30 10 0 360"}},
      {"ovalf int", [] { fl_ovalf(1, 2, 30, 10, 88); }, {"color 88", "pie 1 2 30 10 0 360"}},
      // The disc of diameter 20 at (10, 10) is centred on (20, 20).
      {"circf unsigned", [] { fl_circf(10, 10, 20, 95u); }, {"color 95", "pie 10 10 20 20 0 360"}},
      {"circf int", [] { fl_circf(10, 10, 20, 56); }, {"color 56", "pie 10 10 20 20 0 360"}},
      {"zero box", [] { fl_ovalf(4, 4, 0, 0, 56); }, {"color 56", "pie 4 4 0 0 0 360"}},
  };
  for (const row& r : rows) {
    recording_surface rec;
    r.draw();
    EXPECT_EQ(rec.recorder.calls, r.expected) << r.what;
  }
}

TEST(FlDrawing, DrwStringSetsFontFaceAndSizeThenColourThenDrawsTheText) {
  recording_surface rec;
  fl_drw_String(FL_ALIGN_LEFT, 345, 100, 100, 30, 56u, 16, FL_TIMES, std::string("10.0 deg"));
  ASSERT_GE(rec.recorder.calls.size(), 3u);
  EXPECT_EQ(rec.recorder.calls[0], "font 8 16");  // face 8, size 16
  EXPECT_EQ(rec.recorder.calls[1], "color 56");
  EXPECT_EQ(rec.recorder.calls.back(), "text 10.0 deg");
}

TEST(FlDrawing, DrwStringDrawsSymbolsAndStopsAtAnEmbeddedNul) {
  recording_surface rec;
  // '@' starts a symbol: with symbols enabled "@@" draws a single '@'.
  fl_drw_String(FL_ALIGN_LEFT, 0, 0, 200, 30, 56u, 12, FL_HELVETICA, "a@@b");
  fl_drw_String(FL_ALIGN_LEFT, 0, 0, 200, 30, 56u, 12, FL_HELVETICA, std::string("ab\0cd", 5));
  calls texts;
  for (const std::string& c : rec.recorder.calls)
    if (c.rfind("text ", 0) == 0) texts.push_back(c);
  EXPECT_EQ(texts, (calls{"text a@b", "text ab"}));
}
