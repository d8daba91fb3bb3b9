#include "sudz-sfc/vcd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sfc {

namespace {

// Short identifiers made of the printable characters '!' to '~'.
std::string vcd_id(size_t n) {
  std::string id;
  do {
    id += static_cast<char>('!' + n % 94);
    n /= 94;
  } while (n > 0);
  return id;
}

// Names in a VCD are single words: blanks become '_'.
std::string vcd_name(const std::string& n) {
  std::string out = n.empty() ? std::string("_") : n;
  for (char& c : out)
    if (static_cast<unsigned char>(c) <= ' ' || c == 127) c = '_';
  return out;
}

}  // namespace

vcd_writer::~vcd_writer() {
  if (file_ != nullptr) std::fclose(file_);
}

bool vcd_writer::open(const std::string& path, const std::string& program,
                      const std::vector<std::string>& steps,
                      const std::vector<std::string>& inputs,
                      const std::vector<std::string>& outputs, std::string* error) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::fprintf(file_, "$version sudz-sfc $end\n$timescale 1ms $end\n");
  std::fprintf(file_, "$scope module %s $end\n", vcd_name(program).c_str());
  size_t n = 0;
  auto scope = [&](const char* name, const std::vector<std::string>& names) {
    std::fprintf(file_, "$scope module %s $end\n", name);
    for (const std::string& s : names) {
      ids_.push_back(vcd_id(n++));
      std::fprintf(file_, "$var wire 1 %s %s $end\n", ids_.back().c_str(), vcd_name(s).c_str());
    }
    std::fprintf(file_, "$upscope $end\n");
  };
  scope("steps", steps);
  scope("inputs", inputs);
  scope("outputs", outputs);
  std::fprintf(file_, "$upscope $end\n$enddefinitions $end\n");
  std::fflush(file_);
  last_.assign(ids_.size(), -1);
  return true;
}

void vcd_writer::sample(std::int64_t t_ms, const std::vector<int>& values) {
  if (file_ == nullptr) return;
  if (t_ms < last_t_) t_ms = last_t_;
  bool stamped = false;
  const size_t n = std::min(values.size(), ids_.size());
  for (size_t i = 0; i < n; ++i) {
    const int v = values[i] != 0 ? 1 : 0;
    if (v == last_[i]) continue;
    if (!stamped) {
      if (t_ms != last_t_) std::fprintf(file_, "#%lld\n", static_cast<long long>(t_ms));
      if (last_t_ < 0) std::fprintf(file_, "$dumpvars\n");
      stamped = true;
    }
    std::fprintf(file_, "%d%s\n", v, ids_[i].c_str());
    last_[i] = v;
  }
  if (!stamped) return;
  if (last_t_ < 0) std::fprintf(file_, "$end\n");
  last_t_ = t_ms;
  std::fflush(file_);
}

void vcd_writer::close(std::int64_t t_ms) {
  if (file_ == nullptr) return;
  if (t_ms > last_t_) std::fprintf(file_, "#%lld\n", static_cast<long long>(t_ms));
  std::fclose(file_);
  file_ = nullptr;
}

}  // namespace sfc
