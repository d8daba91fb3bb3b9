// Small helpers of the PLCopen XML reader: elements by local name, lines of
// the file from byte offsets. Internal to plcengine.
#ifndef PLCENGINE_XML_UTIL_H
#define PLCENGINE_XML_UTIL_H

#include <pugixml.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace plc {
namespace xml {

inline const char* local_name(const pugi::xml_node& n) {
  const char* name = n.name();
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

inline bool is(const pugi::xml_node& n, const char* name) {
  return n.type() == pugi::node_element && std::strcmp(local_name(n), name) == 0;
}

inline pugi::xml_node child(const pugi::xml_node& n, const char* name) {
  for (pugi::xml_node c : n.children())
    if (is(c, name)) return c;
  return pugi::xml_node();
}

inline pugi::xml_node first_element(const pugi::xml_node& n) {
  for (pugi::xml_node c : n.children())
    if (c.type() == pugi::node_element) return c;
  return pugi::xml_node();
}

// Line numbers from byte offsets, counted once.
class lines {
 public:
  explicit lines(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') ends_.push_back(i);
  }
  int at(std::ptrdiff_t offset) const {
    if (offset < 0) return 0;
    size_t lo = 0, hi = ends_.size();
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (ends_[mid] < static_cast<size_t>(offset))
        lo = mid + 1;
      else
        hi = mid;
    }
    return static_cast<int>(lo) + 1;
  }
  int at(const pugi::xml_node& n) const { return at(n.offset_debug()); }

 private:
  std::vector<size_t> ends_;
};

}  // namespace xml
}  // namespace plc

#endif
