// The About message: its text and the modal dialog that shows it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <FL/Fl.H>

#include "dialog_probe.h"
#include "formspp/fl_show_ms.h"

namespace {

const char* const expected_text = "sudz: lave-linge simule pour l'automatisme";

TEST(FlShowMs, AssemblesFortyTwoPlainCharactersAndANul) {
  char buf[fl_ms_length + 2];
  std::memset(buf, '#', sizeof buf);
  fl_assemble_ms(buf);
  EXPECT_EQ(buf[fl_ms_length], '\0');
  EXPECT_EQ(buf[fl_ms_length + 1], '#');  // nothing written past the NUL
  EXPECT_EQ(std::strlen(buf), 42u);
  EXPECT_STREQ(buf, expected_text);
  for (int i = 0; i < fl_ms_length; ++i) {
    EXPECT_GE(buf[i], 32) << i;  // printable ASCII: no accents, no control characters
    EXPECT_LT(buf[i], 127) << i;
  }
}

TEST(FlShowMs, ShowsTheTextVerbatimInAModalDialogAndReturnsWhenClosed) {
  dialogtest::dialog_probe p;  // closes the dialog, as its acknowledge button does
  Fl::add_timeout(0.01, dialogtest::probe, &p);
  EXPECT_EQ(fl_show_ms(), 0);
  EXPECT_TRUE(p.seen);
  EXPECT_TRUE(dialogtest::has(p.labels, expected_text));
  EXPECT_EQ(Fl::modal(), nullptr);
}

}  // namespace
