// libFuzzer target: any bytes, cut into lines, go through the line reader, every screen page and
// the text, PostScript and PDF writers. Besides the sanitizers' checks, the PDF's startxref and
// object offsets must point where they say.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "formspp/viewer_display.h"
#include "formspp/viewer_export.h"
#include "formspp/viewer_lines.h"

namespace {

void check_pdf(const std::string& pdf) {
  const size_t sx = pdf.rfind("startxref\n");
  if (sx == std::string::npos) std::abort();
  const long xref = std::atol(pdf.c_str() + sx + 10);
  if (pdf.compare(xref, 7, "xref\n0 ") != 0) std::abort();
  char* end = nullptr;
  const long entries = std::strtol(pdf.c_str() + xref + 7, &end, 10);
  const size_t table = end + 1 - pdf.c_str();
  for (long k = 1; k < entries; ++k) {
    const std::string e = pdf.substr(table + 20 * k, 20);
    if (e.size() != 20) std::abort();
    if (e[17] != 'n') continue;
    const std::string head = std::to_string(k) + " 0 obj\n";
    if (pdf.compare(std::atol(e.c_str()), head.size(), head) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  const int count = static_cast<int>(lines.size());

  int widths[kMaxColumns];
  bool rules[kMaxColumns];
  for (const std::string& l : lines) viewer_read_columns(l, widths, rules);

  OFD_afficheur_filtre_affichage screen(lines.data(), count);
  const int pages = screen.nb_pages();
  for (int p = -1; p <= pages + 1; ++p) screen.visu_page(p);

  std::ostringstream txt, ps, pdf;
  OFD_afficheur_filtre_texte(lines.data(), count).imprime(txt);
  OFD_afficheur_filtre_impression print(lines.data(), count);
  print.imprime_postscript(ps);
  print.imprime_pdf(pdf);
  check_pdf(pdf.str());
  return 0;
}
