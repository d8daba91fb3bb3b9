#include "formspp/dialogs.h"

#include <memory>

#include <FL/Fl_Input_.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>

#include "Stringpp/Stringpp.h"

namespace {

// The NUL-terminated copy of a text that a toolkit call receives, released when the call returns.
std::unique_ptr<char[]> c_copy(const std::string& text) {
  return std::unique_ptr<char[]>(Stoa(text));
}

}  // namespace

void fl_show_Smessages(const std::string& text) {
  fl_message("%s", c_copy(text).get());
}

void fl_set_object_Slabel(Fl_Widget* w, const std::string& text, int len) {
  const bool cut = len >= 0 && static_cast<std::string::size_type>(len) < text.size();
  w->copy_label(
      c_copy(cut ? text.substr(0, static_cast<std::string::size_type>(len)) : text).get());
}

void fl_set_Sinput(Fl_Widget* input, const std::string& text) {
  static_cast<Fl_Input_*>(input)->value(c_copy(text).get());
}
