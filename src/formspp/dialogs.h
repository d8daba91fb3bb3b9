// Message and input dialogs: string-taking wrappers of the toolkit's dialogs and widget setters,
// a modal notice that work is under way, a scrolling message window that can save its text, and
// a point-on-segment test.
//
// Each wrapper copies its text into a NUL-terminated array, hands that to the toolkit and releases
// it when the call returns; the toolkit copies whatever it keeps. Every message and prompt is
// passed as the argument of the format "%s", so a "%" in a text is shown, never interpreted.
// The dialogs need a display the toolkit can open. The widget-taking functions use the widget as
// the kind they name (a browser, an input field); the caller passes a widget of that kind.
#ifndef FORMSPP_DIALOGS_H
#define FORMSPP_DIALOGS_H

#include <string>

#include <FL/Enumerations.H>

class Fl_Widget;
class Fl_Window;
class Fl_FormsText;

// The toolkit's modal message dialog with `text`. Returns when it is closed.
void fl_show_Smessages(const std::string& text);
// The toolkit's modal alert dialog with `text`. Returns when it is closed.
void fl_show_Salert(const std::string& text);
// Asks `text` with the buttons "No" and "Yes": 1 for Yes, 0 for No or a dismissed dialog.
// The int is not used.
int fl_show_Squestion(const std::string& text, int);

// Asks for a whole number, the entry starting as `value` ("%d"). OK gives the number the entry
// begins with; Cancel, or an entry that does not begin with a number that fits an int, gives
// `value`.
int fl_show_int(const char* prompt, int value);
// Asks for a real number, the entry starting as `value` in fixed notation with six decimals
// ("2.500000"). OK gives the number the entry begins with; Cancel, or an entry that does not
// begin with a number, gives `value`.
double fl_show_double(const char* prompt, double value);
double fl_show_double(const std::string& prompt, double value);
// Asks for a text, the entry starting as `initial`. OK gives the entry, Cancel the empty string.
std::string fl_show_Sinput(const std::string& prompt, const std::string& initial);

// Gives `w` a label that it copies: the first `len` characters of `text` when
// 0 <= len < text's length, else the whole text.
void fl_set_object_Slabel(Fl_Widget* w, const std::string& text, int len);
// Appends `line` as a new row of `browser` (an Fl_Browser), without row data.
void fl_add_browser_Sline(Fl_Widget* browser, const std::string& line);
// Replaces the text of row `row` (counted from 1) of `browser` (an Fl_Browser); a row that does
// not exist is left alone.
void fl_replace_browser_Sline(Fl_Widget* browser, int row, const std::string& text);
// Sets the value of the input field `input` (an Fl_Input_), which copies the text.
void fl_set_Sinput(Fl_Widget* input, const std::string& text);
// A new forms text widget in the group being built: box type, position and size as given, a copy
// of `text` as its label, aligned left.
Fl_FormsText* fl_add_Stext(Fl_Boxtype box, int x, int y, int w, int h, const std::string& text);

// Shows `text` in a modal window of (6 * width + 10) x 570 pixels titled "Messages", one browser
// row per line (a final line feed adds no row; the empty text gives one empty row), and returns
// when "Quit" is pressed or the window is closed. "save" asks for a file name and writes the text
// to it byte for byte; a file that cannot be written is reported in an alert naming it and the
// reason, and the window stays open.
void fl_show_Sbigmessages(const std::string& text, int width);

// A modal notice, 600 x 60 pixels titled "travail en cours ...", showing `text` centred while the
// caller works. It is drawn before the constructor returns and has no button: it stays until the
// object is destroyed, which hides it and destroys its window.
class OFD_wait_form {
 public:
  explicit OFD_wait_form(const std::string& text);
  ~OFD_wait_form();
  OFD_wait_form(const OFD_wait_form&) = delete;
  OFD_wait_form& operator=(const OFD_wait_form&) = delete;

 private:
  Fl_Window* window_;  // owned
  Fl_Widget* text_;    // a child of window_
};

// 1 when (x, y) lies on the segment from (x1, y1) to (x2, y2) within `tolerance`, else 0.
// Vertical and horizontal segments (ends within 1e-10 on one axis) test the span along the
// segment and the distance across it; any other segment requires the point inside its bounding
// box (not widened by the tolerance) and a distance to its line below the tolerance. Every
// comparison with the tolerance is strict, so a tolerance of 0 never matches.
int point_dans_segment(double x, double y, double x1, double y1, double x2, double y2,
                       double tolerance);

#endif
