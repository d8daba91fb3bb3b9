// OFD_afficheur_filtre_affichage: the screen form of a marked-up text, page by page.
//
// The filter reads the caller's lines in place: they must outlive it and stay unchanged while
// it is used. Pages are found with the page rule of viewer_lines.h; a page's rows are laid out
// with the column set installed last while building rows, so going straight to a later page
// uses the set met last on the pages built before, not necessarily the one in force at that
// point of the text.
//
// A text row starts with "@f@S12 " (the browser's codes for the fixed font at size 12; the
// blank is shown), then each field is cut to its column's width and padded with blanks to it,
// the last field is cut but not padded; the "#" separators are not shown. A line with more than
// 15 fields keeps its 15th field and everything after it, separators included, in the last
// column. "#C" and "#P" lines show as empty rows, "#T" lines as 122 dashes without prefix.
#ifndef FORMSPP_VIEWER_DISPLAY_H
#define FORMSPP_VIEWER_DISPLAY_H

#include <string>
#include <vector>

#include "formspp/viewer_lines.h"

class OFD_afficheur_filtre_affichage {
 public:
  // Widths and flags start at 0 and clear.
  OFD_afficheur_filtre_affichage(const std::string* lines, int count);

  // The line type (viewer_lines.h).
  int typeligne(const std::string& line) { return viewer_line_type(line); }
  // Index of the last page, from 0; 0 when there are no lines.
  int nb_pages();
  // The screen form of one line; a "#C" or "#P" line installs its column set and gives "".
  std::string visu_ligne(const std::string& line);
  // The rows of one page, each followed by a newline; "" when the page does not exist.
  std::string visu_page(int page);

  const int* widths() const { return largeur; }

 private:
  void index_pages();

  std::string page;
  int largeur[kMaxColumns];
  bool trait[kMaxColumns];
  int nb_lignes;
  const std::string* lignes;
  // First line of each page, found once on first use.
  std::vector<int> starts_;
  bool indexed_ = false;
};

#endif  // FORMSPP_VIEWER_DISPLAY_H
