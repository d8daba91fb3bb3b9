// The viewer's file writers: a plain-text copy, and a PostScript or PDF document laid out on
// paper, from the same marked-up lines as the screen (viewer_lines.h).
//
// Both filters read the caller's lines in place and never change them; the lines must outlive
// the filter. Every line written ends with one newline character.
//
// Paper layout (points, T the top: 800 in PostScript, 780 in PDF): row r of a page has its
// baseline at T - 10 r, and each page starts at row 1. Column k's left edge is 40 plus 5
// points per character of the widths before it; its text starts 5 points further. A "#T" line
// rules its row across all 15 widths; a column flagged T gets a vertical rule at its left edge
// from just above the row where its set began down to the last row before the set ends (next
// "#C" line, page end or document end). A "#P" line moves the next row to row 0, the very top.
//
// In print, each field is cut to its column's width and loses every "(" and ")"; the character
// right after each "#" is dropped; a field of exactly one blank is not written, an empty field
// is. A backslash is written escaped, so it prints as itself. From the 15th field on, the rest
// of the line, separators included, is the last column's field.
#ifndef FORMSPP_VIEWER_EXPORT_H
#define FORMSPP_VIEWER_EXPORT_H

#include <cstddef>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "formspp/viewer_lines.h"

// Plain text: text lines unchanged (separators included), "#C", "#P" and "#T" lines as a rule
// of 55 dashes.
class OFD_afficheur_filtre_texte {
 public:
  OFD_afficheur_filtre_texte(const std::string* lines, int count);
  int typeligne(const std::string& line) { return viewer_line_type(line); }
  void imprime(std::ostream& out);
  void imprime_ligne(std::ostream& out, const std::string& line);

 private:
  int nb_lignes;
  const std::string* lignes;
};

// PostScript and PDF. One filter can write several documents in turn: each begin piece resets
// the rows and the page counter, while the column set carries over until the next "#C" or "#P"
// line. The PDF pieces keep each page's content until the page ends, so that the stream's
// length can stand before it; every object's byte offset is recorded for the cross-reference
// table written by end_pdf.
class OFD_afficheur_filtre_impression {
 public:
  OFD_afficheur_filtre_impression(const std::string* lines, int count);
  int typeligne(const std::string& line) { return viewer_line_type(line); }

  void imprime_postscript(std::ostream& out);
  void begin_postscript(std::ostream& out);
  void postscript(std::ostream& out, const std::string& line);
  // page: 1 before the second page, 2 before the third...
  void next_page_postscript(std::ostream& out, int page);
  void end_postscript(std::ostream& out);

  void imprime_pdf(std::ostream& out);
  void begin_pdf(std::ostream& out);
  void pdf(std::ostream& out, const std::string& line);
  // The page argument is not used.
  void next_page_pdf(std::ostream& out, int page);
  void end_pdf(std::ostream& out);

 private:
  enum format { kPostScript, kPdf };
  // One line in either format, appended to buf.
  void one_line(std::string& buf, const std::string& line, format f);
  void vertical_rules(std::string& buf, format f, int indent);
  void field(std::string& buf, int column, const char* s, size_t len, format f);
  int top(format f) const { return f == kPostScript ? ps_top : pdf_top; }
  void emit(std::ostream& out, const std::string& text);
  void start_page_object(std::ostream& out, int page_object);
  void close_page_stream(std::ostream& out);

  const std::string* lignes;
  int nb_lignes;
  int ps_top;
  int pdf_top;
  int pdf_pages;
  int marge;
  int largeur[kMaxColumns];
  bool trait[kMaxColumns];
  int ligne_courante;
  int ligne_tableau;

  // PDF bookkeeping: bytes written so far, offset of each object (-1 when not written), the
  // pending content of the open page and the number of its stream object.
  long written_ = 0;
  std::vector<long> offsets_;
  std::string content_;
  int stream_object_ = 0;
};

// Whole documents written to a file: the file is created or emptied, written and closed. On
// success true; otherwise false, *reason (when given) says why ("Permission denied", "No space
// left on device"...), and a regular file left half written is removed.
bool viewer_write_file(const std::string& path, const std::function<void(std::ostream&)>& writer,
                       std::string* reason = nullptr);
bool viewer_write_text(const std::string& path, const std::string* lines, int count,
                       std::string* reason = nullptr);
bool viewer_write_postscript(const std::string& path, const std::string* lines, int count,
                             std::string* reason = nullptr);
bool viewer_write_pdf(const std::string& path, const std::string* lines, int count,
                      std::string* reason = nullptr);
inline bool viewer_write_pdf(const std::string& path, const std::vector<std::string>& lines,
                             std::string* reason = nullptr) {
  return viewer_write_pdf(path, lines.data(), static_cast<int>(lines.size()), reason);
}

#endif  // FORMSPP_VIEWER_EXPORT_H
