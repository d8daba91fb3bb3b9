#include "formspp/viewer_display.h"

#include <algorithm>

namespace {

const char kScreenPrefix[] = "@f@S12 ";
const int kScreenRuleLength = 122;

}  // namespace

OFD_afficheur_filtre_affichage::OFD_afficheur_filtre_affichage(const std::string* lines, int count)
    : nb_lignes(lines != nullptr && count > 0 ? count : 0), lignes(lines) {
  for (int k = 0; k < kMaxColumns; ++k) {
    largeur[k] = 0;
    trait[k] = false;
  }
}

void OFD_afficheur_filtre_affichage::index_pages() {
  if (indexed_) return;
  starts_ = viewer_page_starts(lignes, nb_lignes);
  indexed_ = true;
}

int OFD_afficheur_filtre_affichage::nb_pages() {
  index_pages();
  return static_cast<int>(starts_.size()) - 1;
}

std::string OFD_afficheur_filtre_affichage::visu_ligne(const std::string& line) {
  switch (typeligne(line)) {
    case kColumnLine:
    case kPageLine:
      viewer_read_columns(line, largeur, trait);
      return std::string();
    case kRuleLine:
      return std::string(kScreenRuleLength, '-');
    default:
      break;
  }
  std::string row(kScreenPrefix);
  const size_t n = line.size();
  size_t start = 0;
  int column = 0;
  for (size_t p = 0; p < n && column < kMaxColumns - 1; ++p) {
    if (line[p] != '#') continue;
    const size_t width = static_cast<size_t>(largeur[column]);
    const size_t taken = std::min(width, p - start);
    row.append(line, start, taken);
    row.append(width - taken, ' ');
    ++column;
    start = p + 1;
  }
  row.append(line, start, std::min(static_cast<size_t>(largeur[column]), n - start));
  return row;
}

std::string OFD_afficheur_filtre_affichage::visu_page(int number) {
  page.clear();
  index_pages();
  if (number < 0 || number >= static_cast<int>(starts_.size()) || nb_lignes == 0) return page;
  int counted = 0;
  for (int i = starts_[number]; i < nb_lignes && counted < kLinesPerPage; ++i) {
    page += visu_ligne(lignes[i]);
    page += '\n';
    if (viewer_line_counts(lignes[i])) ++counted;
  }
  return page;
}
