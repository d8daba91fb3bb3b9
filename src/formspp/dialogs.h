// Message and input dialogs: string-taking wrappers of the toolkit's dialogs and widget setters.
//
// Each wrapper copies its text into a NUL-terminated array, hands that to the toolkit and releases
// it when the call returns; the toolkit copies whatever it keeps. Every message and prompt is
// passed as the argument of the format "%s", so a "%" in a text is shown, never interpreted.
// The dialogs need a display the toolkit can open.
#ifndef FORMSPP_DIALOGS_H
#define FORMSPP_DIALOGS_H

#include <string>

class Fl_Widget;

// The toolkit's modal message dialog with `text`, verbatim. Returns when it is closed.
void fl_show_Smessages(const std::string& text);

// Gives `w` a label that it copies: the first `len` characters of `text` when
// 0 <= len < text's length, else the whole text.
void fl_set_object_Slabel(Fl_Widget* w, const std::string& text, int len);

// Sets the value of the input field `input` (an Fl_Input_), which copies the text.
void fl_set_Sinput(Fl_Widget* input, const std::string& text);

#endif
