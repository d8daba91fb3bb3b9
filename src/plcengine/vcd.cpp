#include "plcengine/vcd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace plc {

namespace {

// VCD names are words: anything else becomes '_'.
std::string word(const std::string& s) {
  std::string w;
  for (char c : s) w += (c > ' ' && c < 127) ? c : '_';
  return w.empty() ? "_" : w;
}

}  // namespace

vcd_file::~vcd_file() {
  if (file_ != nullptr) std::fclose(file_);
}

bool vcd_file::open(const std::string& path, const std::string& module,
                    const std::vector<signal>& signals, std::string* error) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  signals_ = signals;
  std::fprintf(file_, "$timescale 1 ms $end\n$scope module %s $end\n", word(module).c_str());
  std::vector<std::string> scopes;
  for (const signal& s : signals)
    if (std::find(scopes.begin(), scopes.end(), s.scope) == scopes.end()) scopes.push_back(s.scope);
  for (size_t i = 0; i < signals.size(); ++i) {
    // Identifiers from the printable characters, shortest first.
    std::string id;
    for (size_t n = i;; n = n / 94 - 1) {
      id += static_cast<char>('!' + n % 94);
      if (n < 94) break;
    }
    ids_.push_back(id);
  }
  for (const std::string& scope : scopes) {
    std::fprintf(file_, "$scope module %s $end\n", word(scope).c_str());
    for (size_t i = 0; i < signals.size(); ++i) {
      if (signals[i].scope != scope) continue;
      const type t = signals[i].t;
      const char* kind = t == type::BOOL ? "wire 1" : is_real(t) ? "real 64" : "integer 64";
      std::fprintf(file_, "$var %s %s %s $end\n", kind, ids_[i].c_str(),
                   word(signals[i].name).c_str());
    }
    std::fputs("$upscope $end\n", file_);
  }
  std::fputs("$upscope $end\n$enddefinitions $end\n", file_);
  std::fflush(file_);
  last_.assign(signals.size(), "");
  return true;
}

std::string vcd_file::text_of(size_t i, const value& v) const {
  const type t = signals_[i].t;
  if (t == type::BOOL) return std::string(v.truth() ? "1" : "0") + ids_[i];
  if (is_real(t)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "r%.17g ", v.as_real());
    return buf + ids_[i];
  }
  std::uint64_t u = static_cast<std::uint64_t>(v.as_int());
  std::string bits;
  do {
    bits.insert(bits.begin(), static_cast<char>('0' + (u & 1)));
    u >>= 1;
  } while (u != 0);
  return "b" + bits + " " + ids_[i];
}

void vcd_file::sample(std::int64_t t_ms, const std::vector<value>& values) {
  if (file_ == nullptr) return;
  if (t_ms < last_t_) t_ms = last_t_;
  bool stamped = false;
  for (size_t i = 0; i < values.size() && i < signals_.size(); ++i) {
    std::string text = text_of(i, values[i]);
    if (text == last_[i]) continue;
    if (!stamped) std::fprintf(file_, "#%lld\n", static_cast<long long>(t_ms));
    stamped = true;
    std::fprintf(file_, "%s\n", text.c_str());
    last_[i] = std::move(text);
  }
  if (stamped) last_t_ = t_ms;
  std::fflush(file_);
}

void vcd_file::close(std::int64_t t_ms) {
  if (file_ == nullptr) return;
  if (t_ms < last_t_) t_ms = last_t_;
  std::fprintf(file_, "#%lld\n", static_cast<long long>(t_ms));
  std::fclose(file_);
  file_ = nullptr;
}

}  // namespace plc
