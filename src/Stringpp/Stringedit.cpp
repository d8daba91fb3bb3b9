#include "Stringpp/Stringedit.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

#include "Stringpp/Stringpp.h"

namespace {

inline int unsigned_code(char c) {
  return static_cast<unsigned char>(c);
}

inline bool is_ascii_alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Accented lower-case letters that continue a word after a token.
inline bool is_accented_lower(char c) {
  switch (unsigned_code(c)) {
    case 224:
    case 226:
    case 231:
    case 232:
    case 233:
    case 234:
    case 244:
    case 140:
      return true;
    default:
      return false;
  }
}

// Same path without doubled "/" and without a trailing "/" (the root "/" stays).
std::string clean_path(const std::string& path) {
  std::string clean;
  clean.reserve(path.size());
  for (char c : path)
    if (!(c == '/' && !clean.empty() && clean.back() == '/')) clean += c;
  if (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  return clean;
}

// The text before position p; after receives the text after it. Without a
// position, the whole text and an empty after. after may be text itself: the
// record is copied first.
std::string split_at(const std::string& text, size_t p, std::string& after) {
  std::string record = text.substr(0, p);
  if (p == std::string::npos) {
    after.clear();
  } else {
    after = text.substr(p + 1);
  }
  return record;
}

}  // namespace

// ---- Records and tokens ----

std::string next_record(const std::string& text, char separator, std::string& rest) {
  return split_at(text, text.find(separator), rest);
}

std::string next_record(const std::string& text, const char* separators, std::string& rest,
                        char& found) {
  const size_t p = (separators && *separators) ? text.find_first_of(separators) : std::string::npos;
  found = p == std::string::npos ? ' ' : text[p];
  return split_at(text, p, rest);
}

std::string last_record(const std::string& text, char separator, std::string& last) {
  return split_at(text, text.rfind(separator), last);
}

std::string next_Stringtoken(std::string text, char separator, std::string* rest) {
  if (text.empty()) {
    if (rest) rest->clear();
    return std::string();
  }
  size_t start = text.find_first_not_of(separator);
  if (start == std::string::npos) start = text.size() - 1;
  size_t end = start + 1;
  if (est_lc(text[start])) {
    while (end < text.size() && text[end] != separator && est_lc(text[end])) ++end;
  }
  if (rest) *rest = text.substr(end);
  return text.substr(start, end - start);
}

// ---- Searching ----

int find(std::string text, std::string pattern) {
  const size_t p = text.find(pattern);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}

int contains(std::string text, std::string pattern) {
  return text.find(pattern) != std::string::npos ? 1 : 0;
}

int contains_token(std::string text, std::string token) {
  const size_t p = text.find(token);
  if (p == std::string::npos) return 0;
  const size_t after = p + token.size();
  if (after == text.size()) return 1;
  const char next = text[after];
  return is_ascii_alnum(next) || is_accented_lower(next) ? 0 : 1;
}

int char_occurences(const std::string& text, char c) {
  int count = 0;
  for (char x : text)
    if (x == c) ++count;
  return count;
}

// ---- Rewriting ----

std::string substitute_string(const std::string& text, const std::string& old,
                              const std::string& replacement) {
  if (old.empty()) return text;
  std::string result;
  size_t from = 0;
  for (size_t p = text.find(old); p != std::string::npos; p = text.find(old, from)) {
    result.append(text, from, p - from);
    result += replacement;
    from = p + old.size();
  }
  result.append(text, from, std::string::npos);
  return result;
}

std::string substitute_char(const std::string& text, char c, const std::string& replacement) {
  std::string result;
  result.reserve(text.size());
  for (char x : text) {
    if (x == c)
      result += replacement;
    else
      result += x;
  }
  return result;
}

std::string substitute_char(const std::string& text, char c, char replacement) {
  std::string result = text;
  for (char& x : result)
    if (x == c) x = replacement;
  return result;
}

std::string substitute_token(const std::string& text, const std::string& token,
                             const std::string& replacement) {
  if (token.empty()) return text;
  std::string result;
  size_t rest = 0;  // the unscanned rest of the text starts here
  for (size_t p = text.find(token); p != std::string::npos; p = text.find(token, rest)) {
    result.append(text, rest, p - rest);
    const size_t after = p + token.size();
    const bool free_before = p == rest || !est_lc(text[p - 1]);
    const bool free_after = after == text.size() || !est_lc(text[after]);
    result += free_before && free_after ? replacement : token;
    rest = after;
  }
  result.append(text, rest, std::string::npos);
  return result;
}

std::string cancel_begin_end_spaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string clever_substitute_space(const std::string& text, char c) {
  return substitute_char(cancel_begin_end_spaces(text), ' ', c);
}

std::string upcase(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (char x : text) {
    if (unsigned_code(x) >= 128) continue;
    result += (x >= 'a' && x <= 'z') ? static_cast<char>(x - 'a' + 'A') : x;
  }
  return result;
}

std::string downcase(std::string text) {
  for (char& x : text)
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
  return text;
}

std::string upcase_accent(std::string text) {
  std::string result;
  result.reserve(text.size());
  for (char x : text) {
    const int code = unsigned_code(x);
    if (code < 128) {
      result += (x >= 'a' && x <= 'z') ? static_cast<char>(x - 'a' + 'A') : x;
      continue;
    }
    switch (code) {
      case 232:
      case 233:
      case 234:
        result += 'E';
        break;
      case 224:
      case 226:
        result += 'A';
        break;
      case 244:
        result += 'O';
        break;
      case 231:
        result += 'C';
        break;
      case 140:
        result += 'I';
        break;
      default:
        break;  // other 8-bit characters have no plain capital and are left out
    }
  }
  return result;
}

std::string bdelete(const std::string& text) {
  if (text.size() < 3) return std::string();
  return text.substr(1, text.size() - 2);
}

std::string latex_String_filter(const std::string& text) {
  return substitute_string(text, "_", "\\_");
}

// ---- Paths ----

std::string supress_filename_extension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t component = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < component) return path;
  if (dot == path.size() - 1) return path.substr(0, dot);
  const char next = path[dot + 1];
  if (next == '\\' || next == '/') return path;
  if (dot == 0) return std::string();
  if (path[dot - 1] == '.') return path;
  return path.substr(0, dot);
}

std::string relative_directory_path(const std::string& target, const std::string& base) {
  const std::string from = base.empty() ? my_current_directory() : base;
  std::cerr << "demarrage " << target << "|" << from << std::endl;
  // Compared without doubled or trailing "/", so that they do not make a difference.
  const std::string whole_target = clean_path(target);
  const std::string whole_base = clean_path(from);
  std::string result = ".";
  if (whole_target != whole_base) {
    std::string t = whole_target;
    std::string b = whole_base;
    // Walk both paths a component at a time up to the first pair that differs.
    while (!(t.empty() && b.empty())) {
      std::string t_rest, b_rest;
      if (next_record(t, '/', t_rest) != next_record(b, '/', b_rest)) break;
      t = t_rest;
      b = b_rest;
    }
    std::cerr << "intermediaire: " << t << "|" << b << std::endl;
    if (b.empty()) {
      result.clear();
    } else {
      result = "..";
      for (int i = char_occurences(b, '/'); i > 0; --i) result = "../" + result;
    }
    if (t == whole_target && (whole_target.empty() || whole_target[0] != '/')) {
      result = whole_target;
    } else if (!t.empty()) {
      result = b.empty() ? t : result + "/" + t;
    }
  }
  std::cerr << "--> " << result << std::endl;
  return result;
}

std::string my_current_directory() {
  char* dir = get_current_dir_name();
  if (!dir) return std::string();
  std::string result = dir;
  std::free(dir);
  return result;
}

std::string shell_word(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
