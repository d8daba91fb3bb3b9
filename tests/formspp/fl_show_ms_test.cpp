// The About message: its text and the modal dialog that shows it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Window.H>

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

// Looks for a widget labelled with the About text in the modal window, then closes it.
struct dialog_probe {
  bool modal_seen = false;
  bool text_seen = false;
  int polls = 0;
};

bool has_label(Fl_Group* g, const char* text) {
  for (int i = 0; i < g->children(); ++i) {
    Fl_Widget* w = g->child(i);
    if (w->label() && std::strcmp(w->label(), text) == 0) return true;
    if (w->as_group() && has_label(w->as_group(), text)) return true;
  }
  return false;
}

void probe(void* data) {
  auto* p = static_cast<dialog_probe*>(data);
  Fl_Window* modal = Fl::modal();
  if (!modal || !modal->shown()) {
    if (++p->polls < 500) Fl::repeat_timeout(0.01, probe, data);
    return;
  }
  p->modal_seen = true;
  p->text_seen = has_label(modal, expected_text);
  modal->hide();  // what the acknowledge button does
}

TEST(FlShowMs, ShowsTheTextVerbatimInAModalDialogAndReturnsWhenClosed) {
  dialog_probe p;
  Fl::add_timeout(0.01, probe, &p);
  EXPECT_EQ(fl_show_ms(), 0);
  EXPECT_TRUE(p.modal_seen);
  EXPECT_TRUE(p.text_seen);
  EXPECT_EQ(Fl::modal(), nullptr);
}

}  // namespace
