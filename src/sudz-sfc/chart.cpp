#include "sudz-sfc/chart.h"

#include <sstream>

namespace sfc {

const char* qualifier_name(qualifier q) {
  switch (q) {
    case qualifier::N: return "N";
    case qualifier::S: return "S";
    case qualifier::R: return "R";
    case qualifier::P: return "P";
    case qualifier::L: return "L";
    case qualifier::D: return "D";
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

int chart::step_index(const std::string& n) const { return index_by_name(steps, n); }
int chart::action_index(const std::string& n) const { return index_by_name(actions, n); }
int chart::variable_index(const std::string& n) const { return index_by_name(variables, n); }

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

std::vector<plant_names> known_plants() {
  return {
      {"sudz",
       {"T", "Niv", "Vide", "Tr", "St", "Prel", "Lav", "Rinc", "Ess", "T1mt", "T5mt"},
       {"nF", "H", "Vo", "So", "Pw", "Vi", "AvL", "ArL", "AvR", "T1m", "T5m"}},
      {"sudz-sorter",
       {"Ent", "Fin", "Gd", "Bo", "Bf", "Wg", "Wc", "Wd", "Ch", "Egr", "Egs", "Edr"},
       {"Dem", "Tap", "BrF", "BrO", "WaG", "WaD", "EgA", "EgR", "EdA"}},
  };
}

bool plant_names_of(const std::string& given, plant_names* out, std::string* error) {
  for (const plant_names& p : known_plants()) {
    if (p.plant == given) {
      *out = p;
      return true;
    }
  }
  const size_t slash = given.find('/');
  if (slash == std::string::npos) {
    *error = "unknown plant \"" + given + "\" (sudz, sudz-sorter, or INPUT,.../OUTPUT,...)";
    return false;
  }
  plant_names p;
  auto split = [&](const std::string& part, std::vector<std::string>* names) {
    std::istringstream in(part);
    for (std::string n; std::getline(in, n, ',');) {
      if (n.empty()) continue;
      for (char c : n) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) {
          *error = "bad signal name \"" + n + "\" in --plant";
          return false;
        }
      }
      names->push_back(n);
    }
    return true;
  };
  if (!split(given.substr(0, slash), &p.inputs) || !split(given.substr(slash + 1), &p.outputs))
    return false;
  *out = p;
  return true;
}

}  // namespace sfc
