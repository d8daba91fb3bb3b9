// The marked-up line format shared by the viewer's screen, text and print filters.
//
// A text is an array of lines. A line whose first two characters are "#C" carries a column
// set, "#P" a column set that also moves printing back to the top of the page, "#T" a
// horizontal rule; every other line (and every line shorter than 2 characters) is a text line
// whose fields, separated by "#", go into the columns of the set in force.
//
// Pages hold 77 counted lines: text lines and "#T" lines count, "#C" and "#P" lines do not.
// A page is opened only when a further line exists, so exactly 77 counted lines are one page
// and the 78th opens the second, even when "#C" or "#P" lines stand between them.
#ifndef FORMSPP_VIEWER_LINES_H
#define FORMSPP_VIEWER_LINES_H

#include <string>
#include <vector>

// Line types, as typeligne returns them.
const int kTextLine = 0;
const int kColumnLine = 1;  // "#C"
const int kPageLine = 2;    // "#P"
const int kRuleLine = 3;    // "#T"

const int kMaxColumns = 15;
const int kLinesPerPage = 77;
// Widths larger than this are read as this: no column is wider than a line of any output, and
// the sums of widths stay far from overflowing.
const int kMaxColumnWidth = 1000;

int viewer_line_type(const std::string& line);

// Whether the line counts towards the 77 lines of a page (text and "#T" lines).
inline bool viewer_line_counts(const std::string& line) {
  const int type = viewer_line_type(line);
  return type == kTextLine || type == kRuleLine;
}

// Reads the column set of a "#C" or "#P" line into widths and rule flags (kMaxColumns each):
// all are cleared, then each number followed by a blank is the width of the next column (a
// width of 0 makes no column, a number at the very end of the line is not stored) and each
// "T" flags the column whose width comes next. Widths beyond the 15th are ignored.
void viewer_read_columns(const std::string& line, int* widths, bool* rules);

// Walks the lines in order and tells where pages begin.
class viewer_page_breaker {
 public:
  // True when a new page begins at this line; the line is then counted on that page. Call it
  // once for every line, in order, from the first.
  bool starts_page(const std::string& line) {
    const bool fresh = seen_ > 0 && counted_ >= kLinesPerPage;
    if (fresh) {
      ++page_;
      counted_ = 0;
    }
    ++seen_;
    if (viewer_line_counts(line)) ++counted_;
    return fresh;
  }
  // Page of the last line seen, from 0.
  int page() const { return page_; }

 private:
  int page_ = 0;
  int counted_ = 0;
  long seen_ = 0;
};

// Index of the first line of every page, in order; {0} when there are no lines.
std::vector<int> viewer_page_starts(const std::string* lines, int count);

#endif  // FORMSPP_VIEWER_LINES_H
