#include "plcengine/sfc_chart.h"

#include <sstream>

namespace sfc {

const char* qualifier_name(qualifier q) {
  switch (q) {
    case qualifier::N:
      return "N";
    case qualifier::S:
      return "S";
    case qualifier::R:
      return "R";
    case qualifier::P:
      return "P";
    case qualifier::L:
      return "L";
    case qualifier::D:
      return "D";
  }
  return "?";
}

namespace {
template <typename T>
int index_by_name(const std::vector<T>& v, const std::string& n) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i].name == n) return static_cast<int>(i);
  return -1;
}
}  // namespace

int chart::step_index(const std::string& n) const {
  return index_by_name(steps, n);
}
int chart::action_index(const std::string& n) const {
  return index_by_name(actions, n);
}
int chart::variable_index(const std::string& n) const {
  return index_by_name(variables, n);
}

std::string format_error(const std::string& file, const std::string& text, const chart_error& e) {
  std::ostringstream out;
  out << file << ':' << e.pos.line << ':' << e.pos.column << ": " << e.message << '\n';
  // The line itself, found by counting line ends.
  size_t start = 0;
  for (int l = 1; l < e.pos.line && start != std::string::npos; ++l) {
    start = text.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos || start > text.size()) return out.str();
  size_t end = text.find('\n', start);
  std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  out << line << '\n';
  std::string caret;
  for (int c = 1; c < e.pos.column; ++c) {
    const size_t k = static_cast<size_t>(c - 1);
    caret += k < line.size() && line[k] == '\t' ? '\t' : ' ';
  }
  out << caret << "^\n";
  return out.str();
}

}  // namespace sfc
