#include "formspp/viewer_lines.h"

int viewer_line_type(const std::string& line) {
  if (line.size() < 2 || line[0] != '#') return kTextLine;
  switch (line[1]) {
    case 'C':
      return kColumnLine;
    case 'P':
      return kPageLine;
    case 'T':
      return kRuleLine;
    default:
      return kTextLine;
  }
}

void viewer_read_columns(const std::string& line, int* widths, bool* rules) {
  for (int k = 0; k < kMaxColumns; ++k) {
    widths[k] = 0;
    rules[k] = false;
  }
  int number = 0;
  int next = 0;  // the column whose width is stored next
  for (const char c : line) {
    if (c >= '0' && c <= '9') {
      number = number * 10 + (c - '0');
      if (number > kMaxColumnWidth) number = kMaxColumnWidth;
    } else if (c == ' ') {
      if (number != 0) {
        if (next < kMaxColumns) widths[next] = number;
        ++next;
        number = 0;
      }
    } else if (c == 'T') {
      if (next < kMaxColumns) rules[next] = true;
    }
  }
}

std::vector<int> viewer_page_starts(const std::string* lines, int count) {
  std::vector<int> starts{0};
  viewer_page_breaker breaker;
  for (int i = 0; i < count; ++i) {
    if (breaker.starts_page(lines[i])) starts.push_back(i);
  }
  return starts;
}
