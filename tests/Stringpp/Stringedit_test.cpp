#include "Stringpp/Stringedit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "Stringpp/Stringpp.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Records and tokens

TEST(NextRecord, SingleSeparator) {
  struct Case {
    std::string text;
    char separator;
    std::string record, rest;
  };
  const Case cases[] = {
      {"a\n\nb", '\n', "a", "\nb"}, {"\nb", '\n', "", "b"},
      {"b", '\n', "b", ""},         {"", '\n', "", ""},
      {"a\n", '\n', "a", ""},       {"/a/b", '/', "", "a/b"},
      {"k=v=w", '=', "k", "v=w"},   {std::string("x\0y", 3), '\0', "x", "y"},
  };
  for (const Case& c : cases) {
    std::string rest = "stale";
    EXPECT_EQ(next_record(c.text, c.separator, rest), c.record) << c.text;
    EXPECT_EQ(rest, c.rest) << c.text;
  }
}

TEST(NextRecord, RestMayBeTheTextItself) {
  // The usual loop passes the same string as text and rest.
  std::string text = "l1\nl2\n\nl4\n";
  std::vector<std::string> lines;
  lines.push_back(next_record(text, '\n', text));
  while (!text.empty()) lines.push_back(next_record(text, '\n', text));
  EXPECT_EQ(lines, (std::vector<std::string>{"l1", "l2", "", "l4"}));

  std::string last = "a/b/c";
  EXPECT_EQ(last_record(last, '/', last), "a/b");
  EXPECT_EQ(last, "c");
}

TEST(NextRecord, SeparatorSet) {
  struct Case {
    std::string text;
    const char* separators;
    std::string record, rest;
    char found;
  };
  const Case cases[] = {
      {"k=v;w", "=;", "k", "v;w", '='}, {"v;w", "=;", "v", "w", ';'},
      {"abc", "=;", "abc", "", ' '},    {"", "=;", "", "", ' '},
      {";", "=;", "", "", ';'},         {"k=v", "", "k=v", "", ' '},  // an empty set finds nothing
      {"k=v", nullptr, "k=v", "", ' '},
  };
  for (const Case& c : cases) {
    std::string rest = "stale";
    char found = 'z';
    EXPECT_EQ(next_record(c.text, c.separators, rest, found), c.record) << c.text;
    EXPECT_EQ(rest, c.rest) << c.text;
    EXPECT_EQ(found, c.found) << c.text;
  }
  char separators[] = ",";  // a modifiable list works as well
  std::string rest;
  char found;
  EXPECT_EQ(next_record("1,2", separators, rest, found), "1");
}

TEST(LastRecord, Table) {
  struct Case {
    std::string text, record, last;
  };
  const Case cases[] = {
      {"a/b/c", "a/b", "c"}, {"/abc", "", "abc"}, {"abc", "abc", ""},
      {"abc/", "abc", ""},   {"", "", ""},        {"//", "/", ""},
  };
  for (const Case& c : cases) {
    std::string last = "stale";
    EXPECT_EQ(last_record(c.text, '/', last), c.record) << c.text;
    EXPECT_EQ(last, c.last) << c.text;
  }
}

TEST(NextStringtoken, Table) {
  struct Case {
    std::string text;
    char separator;
    std::string token, rest;
  };
  const Case cases[] = {
      {"x1 +  y", ' ', "x1", " +  y"},
      {" +  y", ' ', "+", "  y"},
      {"  y", ' ', "y", ""},
      {"a+b", ' ', "a", "+b"},
      {"+b", ' ', "+", "b"},
      {"   ", ' ', " ", ""},
      {"  abc def", ' ', "abc", " def"},
      {"", ' ', "", ""},
      {"@a_1.b", ' ', "@a_1", ".b"},
      {"\xe9t\xe9", ' ', "\xe9", "t\xe9"},
      {",,ab,cd", ',', "ab", ",cd"},
      {"ab,cd", 'b', "a", "b,cd"},  // an identifier character used as separator ends a token
  };
  for (const Case& c : cases) {
    std::string rest = "stale";
    EXPECT_EQ(next_Stringtoken(c.text, c.separator, &rest), c.token) << c.text;
    EXPECT_EQ(rest, c.rest) << c.text;
  }
  EXPECT_EQ(next_Stringtoken("ab cd", ' ', nullptr), "ab");

  std::string text = "sum = a1*(b + 2)";
  std::vector<std::string> tokens;
  while (!text.empty()) tokens.push_back(next_Stringtoken(text, ' ', &text));
  EXPECT_EQ(tokens, (std::vector<std::string>{"sum", "=", "a1", "*", "(", "b", "+", "2", ")"}));
}

// ---------------------------------------------------------------------------------------------
// Searching

TEST(Searching, FindAndContains) {
  struct Case {
    std::string text, pattern;
    int position;
  };
  const Case cases[] = {
      {"hello", "ll", 2}, {"hello", "lo", 3}, {"hello", "x", -1}, {"hello", "", 0},
      {"", "", 0},        {"", "a", -1},      {"abab", "ab", 0},  {"hello", "hello!", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find(c.text, c.pattern), c.position) << c.text << "/" << c.pattern;
    EXPECT_EQ(contains(c.text, c.pattern), c.position >= 0 ? 1 : 0) << c.text << "/" << c.pattern;
  }
  EXPECT_EQ(char_occurences("a/b//c", '/'), 3);
  EXPECT_EQ(char_occurences("", '/'), 0);
  EXPECT_EQ(char_occurences(std::string("a\0\0", 3), '\0'), 2);
}

TEST(Searching, ContainsToken) {
  struct Case {
    std::string text, token;
    int result;
  };
  const Case cases[] = {
      {"speed=1", "speed", 1},
      {"speedy", "speed", 0},
      {"speed\xe9", "speed", 0},
      {"speed\xe0", "speed", 0},
      {"speed\x8c", "speed", 0},
      {"speed\xc9", "speed", 1},  // capital accented letters do not continue the word
      {"speed_x", "speed", 1},
      {"speed2", "speed", 0},
      {"a speed", "speed", 1},
      {"myspeed", "speed", 1},       // the character before is not examined
      {"speedy speed", "speed", 0},  // only the first occurrence counts
      {"slow", "speed", 0},
      {"", "speed", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(contains_token(c.text, c.token), c.result) << c.text;
  for (int code = 0; code < 256; ++code) {
    const bool word = (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z') ||
                      (code >= '0' && code <= '9') || code == 224 || code == 226 || code == 231 ||
                      code == 232 || code == 233 || code == 234 || code == 244 || code == 140;
    EXPECT_EQ(contains_token("v" + std::string(1, static_cast<char>(code)), "v"), word ? 0 : 1)
        << code;
  }
}

// ---------------------------------------------------------------------------------------------
// Rewriting

TEST(Rewriting, Substitutions) {
  struct Case {
    std::string text, old, replacement, result;
  };
  const Case strings[] = {
      {"aaa", "aa", "b", "ba"}, {"a.b.c", ".", "::", "a::b::c"}, {"abc", "", "X", "abc"},
      {"", "a", "b", ""},       {"abc", "abc", "", ""},          {"aXa", "a", "aa", "aaXaa"},
      {"abc", "d", "X", "abc"},
  };
  for (const Case& c : strings)
    EXPECT_EQ(substitute_string(c.text, c.old, c.replacement), c.result) << c.text;

  const Case tokens[] = {
      {"a+ab+a", "a", "X", "X+ab+X"},
      {"ab", "a", "X", "ab"},
      {"ba", "a", "X", "ba"},
      {"x a_b a", "a", "y", "x a_b y"},
      {"@a a@", "a", "X", "@a a@"},
      {"aa", "a", "X", "aX"},  // the second occurrence directly follows the first
      {"a.a", "a", "bb", "bb.bb"},
      {"", "a", "X", ""},
      {"a b", "", "X", "a b"},
      {"speed*speed", "speed", "v", "v*v"},
  };
  for (const Case& c : tokens)
    EXPECT_EQ(substitute_token(c.text, c.old, c.replacement), c.result) << c.text;

  EXPECT_EQ(substitute_char("a,b,,c", ',', std::string("; ")), "a; b; ; c");
  EXPECT_EQ(substitute_char("a,b", ',', std::string()), "ab");
  EXPECT_EQ(substitute_char("a,b,,c", ',', ';'), "a;b;;c");
  EXPECT_EQ(substitute_char("", ',', ';'), "");
  EXPECT_EQ(latex_String_filter("a_b_c"), "a\\_b\\_c");
  EXPECT_EQ(latex_String_filter("a_b_c").size(), 7u);
  EXPECT_EQ(latex_String_filter("abc"), "abc");
}

TEST(Rewriting, Spaces) {
  struct Case {
    std::string text, trimmed, clever;
  };
  const Case cases[] = {
      {"  a b  c  ", "a b  c", "a_b__c"},
      {"   ", "", ""},
      {"", "", ""},
      {"abc", "abc", "abc"},
      {"\t a \t", "\t a \t", "\t_a_\t"},  // only the space character is trimmed
      {" x", "x", "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cancel_begin_end_spaces(c.text), c.trimmed) << c.text;
    EXPECT_EQ(clever_substitute_space(c.text, '_'), c.clever) << c.text;
  }
}

TEST(Rewriting, CaseChangesOnEveryCode) {
  for (int code = 0; code < 256; ++code) {
    const std::string one(1, static_cast<char>(code));
    std::string up, down, accent;
    if (code >= 'a' && code <= 'z') {
      up = accent = std::string(1, static_cast<char>(code - 32));
    } else if (code < 128) {
      up = accent = one;
    }
    down = code >= 'A' && code <= 'Z' ? std::string(1, static_cast<char>(code + 32)) : one;
    if (code == 232 || code == 233 || code == 234) accent = "E";
    if (code == 224 || code == 226) accent = "A";
    if (code == 244) accent = "O";
    if (code == 231) accent = "C";
    if (code == 140) accent = "I";
    EXPECT_EQ(upcase(one), up) << code;
    EXPECT_EQ(downcase(one), down) << code;
    EXPECT_EQ(upcase_accent(one), accent) << code;
  }
  EXPECT_EQ(upcase("\xe9t\xe9"), "T");
  EXPECT_EQ(upcase_accent("\xe9t\xe9"), "ETE");
  EXPECT_EQ(downcase("\xc9T\xc9"), "\xc9t\xc9");
  EXPECT_EQ(upcase("Mix3d_Case!"), "MIX3D_CASE!");
  EXPECT_EQ(downcase("Mix3d_Case!"), "mix3d_case!");
  EXPECT_EQ(upcase_accent(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Rewriting, Bdelete) {
  EXPECT_EQ(bdelete("(x)"), "x");
  EXPECT_EQ(bdelete("\"quoted text\""), "quoted text");
  EXPECT_EQ(bdelete("ab"), "");
  EXPECT_EQ(bdelete("a"), "");
  EXPECT_EQ(bdelete(""), "");
}

// ---------------------------------------------------------------------------------------------
// Paths

TEST(Paths, SupressFilenameExtension) {
  struct Case {
    std::string path, result;
  };
  const Case cases[] = {
      {"dir/file.txt", "dir/file"},
      {"archive.tar.gz", "archive.tar"},
      {"file.", "file"},
      {"dir.d/file", "dir.d/file"},
      {"a..b", "a..b"},
      {".profile", ""},
      {"dir/.profile", "dir/"},
      {"a.\\b", "a.\\b"},
      {"noext", "noext"},
      {"", ""},
      {".", ""},
      {"/x/y.c", "/x/y"},
  };
  for (const Case& c : cases) EXPECT_EQ(supress_filename_extension(c.path), c.result) << c.path;
}

struct RelativeCase {
  std::string target, base, result, intermediate;  // intermediate "" when the paths are equal
};

void expect_relative(const RelativeCase& c, const std::string& shown_base) {
  testing::internal::CaptureStderr();
  const std::string result = relative_directory_path(c.target, c.base);
  const std::string trace = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, c.result) << c.target << " from " << c.base;
  std::string expected = "demarrage " + c.target + "|" + shown_base + "\n";
  if (!c.intermediate.empty()) expected += "intermediaire: " + c.intermediate + "\n";
  expected += "--> " + c.result + "\n";
  EXPECT_EQ(trace, expected) << c.target << " from " << c.base;
}

TEST(Paths, RelativeDirectoryPath) {
  const RelativeCase cases[] = {
      {"/a/b/c", "/a/b", "c", "c|"},
      {"/a/b", "/a/b/c", "..", "|c"},
      {"/a/x/y", "/a/b/c", "../../x/y", "x/y|b/c"},
      {"/x", "/a", "../x", "x|a"},
      {"x/y", "/a", "x/y", "x/y|/a"},
      {"/a/b", "/a/b", ".", ""},
      {"/a/b/c/d", "/a/b", "c/d", "c/d|"},
      {"/a/b", "/a/b/c/d", "../..", "|c/d"},
      {"/", "/a", "..", "|a"},
      {"x/y", "x/z", "../y", "y|z"},
      // Doubled and trailing "/" give the result of the clean paths.
      {"/a/b/", "/a/b", ".", ""},
      {"/a//b/c", "/a/b/", "c", "c|"},
      {"/a/b", "/a/b//c/", "..", "|c"},
  };
  for (const RelativeCase& c : cases) expect_relative(c, c.base);
}

// Runs the body with the given directory as the current one, then restores the previous one.
template <typename F>
void in_directory(const std::string& dir, F body) {
  char* previous = getcwd(nullptr, 0);
  ASSERT_NE(previous, nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  body();
  ASSERT_EQ(chdir(previous), 0);
  std::free(previous);
}

TEST(Paths, CurrentDirectory) {
  char tmpl[] = "/tmp/sudz_stringedit_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  in_directory(dir, [&] {
    char* real = getcwd(nullptr, 0);
    ASSERT_NE(real, nullptr);
    const std::string cwd = real;
    std::free(real);
    setenv("PWD", cwd.c_str(), 1);
    EXPECT_EQ(my_current_directory(), cwd);
    // An empty base means the current directory.
    expect_relative({cwd + "/sub/x", "", "sub/x", "sub/x|"}, cwd);
    std::string up = "..";
    for (size_t i = 1; i < cwd.size(); ++i)
      if (cwd[i] == '/') up = "../" + up;
    expect_relative({"/", "", up, "|" + cwd.substr(1)}, cwd);
  });
  ASSERT_EQ(rmdir(dir.c_str()), 0);
}

TEST(Paths, CurrentDirectoryUnknown) {
  // A removed current directory has no path the system can give.
  char tmpl[] = "/tmp/sudz_stringedit_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const char* pwd = std::getenv("PWD");
  const std::string saved_pwd = pwd ? pwd : "";
  in_directory(tmpl, [&] {
    ASSERT_EQ(rmdir(tmpl), 0);
    unsetenv("PWD");
    EXPECT_EQ(my_current_directory(), "");
  });
  if (pwd) setenv("PWD", saved_pwd.c_str(), 1);
}

}  // namespace
