// The string-taking wrappers: labels, input values and messages reach the toolkit verbatim.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>

#include "formspp/dialogs.h"

namespace {

TEST(Dialogs, LabelIsTheFirstLenCharactersOrTheWholeText) {
  struct row {
    const char* text;
    int len;
    const char* label;
  } rows[] = {
      {"abcdef", 3, "abc"},
      {"abcdef", 0, ""},
      {"abcdef", 6, "abcdef"},
      {"abcdef", 7, "abcdef"},
      {"abcdef", -1, "abcdef"},
      {"50% %s", 4, "50% "},
      {"", 2, ""},
  };
  for (const row& r : rows) {
    Fl_Box box(0, 0, 10, 10);
    std::string text = r.text;
    fl_set_object_Slabel(&box, text, r.len);
    text.assign("changed");  // the widget keeps its own copy
    ASSERT_NE(box.label(), nullptr);
    EXPECT_STREQ(box.label(), r.label) << r.text << " " << r.len;
  }
}

TEST(Dialogs, InputValueIsCopiedVerbatim) {
  Fl_Input input(0, 0, 100, 20);
  std::string text = "100% %d %s\tx";
  fl_set_Sinput(&input, text);
  text.clear();
  EXPECT_STREQ(input.value(), "100% %d %s\tx");
  fl_set_Sinput(&input, "");
  EXPECT_STREQ(input.value(), "");
}

bool has_label(Fl_Group* g, const char* text) {
  for (int i = 0; i < g->children(); ++i) {
    Fl_Widget* w = g->child(i);
    if (w->label() && std::strcmp(w->label(), text) == 0) return true;
    if (w->as_group() && has_label(w->as_group(), text)) return true;
  }
  return false;
}

struct modal_probe {
  const char* expected;
  bool seen = false;
  int polls = 0;
};

void probe(void* data) {
  auto* p = static_cast<modal_probe*>(data);
  Fl_Window* modal = Fl::modal();
  if (!modal || !modal->shown()) {
    if (++p->polls < 500) Fl::repeat_timeout(0.01, probe, data);
    return;
  }
  p->seen = has_label(modal, p->expected);
  modal->hide();
}

TEST(Dialogs, MessageShowsPercentSignsVerbatim) {
  modal_probe p{"100% %d %s %n"};
  Fl::add_timeout(0.01, probe, &p);
  fl_show_Smessages("100% %d %s %n");
  EXPECT_TRUE(p.seen);
}

}  // namespace
