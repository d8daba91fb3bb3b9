// Text scanning and editing on std::string: records and tokens, searching, rewriting, paths.
//
// Texts are 8-bit ISO-8859-1; code 140 is treated as an accented lower-case letter whose capital
// is "I". An identifier character is one for which est_lc gives 1 (ASCII letter, digit, "_",
// "@"). Positions count from 0. Every function returns a new text (or a number) and leaves its
// arguments unchanged, apart from the out-parameters named below; an out-parameter may be the
// same object as the text argument. Nothing reports an error: a missing separator, pattern or
// token yields the documented default.
#ifndef SUDZ_STRINGPP_STRINGEDIT_H
#define SUDZ_STRINGPP_STRINGEDIT_H

#include <string>

// ---- Records and tokens ----

// The text before the first separator; rest receives the text after it. Without a separator:
// the whole text, and rest is empty.
std::string next_record(const std::string& text, char separator, std::string& rest);
// The same with a set of separators (a NUL-terminated list): the record ends at the first
// character of the text that is in the set, and found receives that character. Without one (or
// with an empty or null list): the whole text, rest empty, found a space.
std::string next_record(const std::string& text, const char* separators, std::string& rest,
                        char& found);
// The text before the last separator; last receives the text after it. Without a separator: the
// whole text, and last is empty.
std::string last_record(const std::string& text, char separator, std::string& last);
// The next token after the leading separators: a run of identifier characters, or else one
// single character (so "a+b" gives "a", then "+"). A text of separators only gives its last
// character. *rest (when rest is not null) receives the text after the token, starting with the
// character that ended it; an empty text gives an empty token and rest.
std::string next_Stringtoken(std::string text, char separator, std::string* rest);

// ---- Searching ----

// Position of the first occurrence of pattern, -1 when absent, 0 for an empty pattern.
int find(std::string text, std::string pattern);
// 1 when pattern occurs (always for an empty pattern), else 0.
int contains(std::string text, std::string pattern);
// 1 when the first occurrence of token ends the text or is followed by a character that is not
// an ASCII letter or digit nor one of the accented lower-case codes 224, 226, 231, 232, 233, 234,
// 244 and 140; 0 otherwise or when token is absent. Only the first occurrence is examined, and
// the character before it is not.
int contains_token(std::string text, std::string token);
// Number of characters equal to c.
int char_occurences(const std::string& text, char c);

// ---- Rewriting ----

// Every occurrence of old, found left to right without overlap, replaced; an empty old gives the
// text unchanged.
std::string substitute_string(const std::string& text, const std::string& old,
                              const std::string& replacement);
// Every c replaced by the replacement text, or by the replacement character.
std::string substitute_char(const std::string& text, char c, const std::string& replacement);
std::string substitute_char(const std::string& text, char c, char replacement);
// Occurrences of token that stand as whole tokens (no identifier character just before or just
// after) replaced, scanning left to right. The character before an occurrence is looked at only
// when the occurrence does not follow the previous one directly. An empty token gives the text
// unchanged.
std::string substitute_token(const std::string& text, const std::string& token,
                             const std::string& replacement);
// The text without its leading and trailing spaces (code 32 only).
std::string cancel_begin_end_spaces(const std::string& text);
// Leading and trailing spaces removed, then every remaining space replaced by c, one for one.
std::string clever_substitute_space(const std::string& text, char c);
// "a".."z" to capitals; codes 128-255 left out; everything else kept.
std::string upcase(std::string text);
// "A".."Z" to lower case; everything else kept, codes 128-255 included.
std::string downcase(std::string text);
// As upcase, except that accented lower-case letters become their plain capital: codes 232, 233,
// 234 give "E", 224 and 226 "A", 244 "O", 231 "C", 140 "I"; other codes 128-255 are left out.
std::string upcase_accent(std::string text);
// The text without its first and last characters; empty for fewer than 3 characters.
std::string bdelete(const std::string& text);
// Every "_" preceded by a backslash, for LaTeX.
std::string latex_String_filter(const std::string& text);
// The text as one word of a shell command, in single quotes (each quote inside written '\''),
// so that the shell gives it back exactly as it is, whatever it holds: blanks, quotes, ";",
// "$( )", backticks, a leading "-".
std::string shell_word(const std::string& text);

// ---- Paths ----

// The path without the extension of its last component (after the last "/"), the extension
// starting at the last "." of that component: "dir/file.txt" gives "dir/file", "file." gives
// "file", ".profile" the empty text. The path is kept as it is when the component has no ".",
// when a backslash follows the ".", or when another "." precedes it ("a..b").
std::string supress_filename_extension(const std::string& path);
// The path that leads from directory base to target ("." when they are the same; base empty
// means the current directory). A relative target that shares nothing with base comes back as
// it is. Doubled and trailing "/" do not count. Writes three trace lines to standard error:
// "demarrage <target>|<base>", "intermediaire: <T>|<B>" with the differing remainders (left out
// when the paths are equal), and "--> <result>".
std::string relative_directory_path(const std::string& target, const std::string& base);
// The current working directory as an absolute path; the empty text when the system cannot say.
std::string my_current_directory();

#endif  // SUDZ_STRINGPP_STRINGEDIT_H
