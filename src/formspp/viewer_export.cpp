#include "formspp/viewer_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

const char kTextRule[] = "-------------------------------------------------------";  // 55
const int kLeft = 40;     // left margin, points
const int kRowStep = 10;  // points per row
const int kCharStep = 5;  // points per character of width

void append_int(std::string& buf, long value) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, value);
  buf.append(digits, r.ptr);
}

// Zero-padded decimal of exactly `width` digits.
void append_padded(std::string& buf, long value, int width) {
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, value);
  const int n = static_cast<int>(r.ptr - digits);
  if (n < width) buf.append(width - n, '0');
  buf.append(digits, r.ptr);
}

void blanks(std::string& buf, int n) {
  buf.append(n, ' ');
}

// "x y", the coordinate pair both formats write.
void append_point(std::string& buf, long x, long y) {
  append_int(buf, x);
  buf += ' ';
  append_int(buf, y);
}

// A stroked line from (x1, y1) to (x2, y2) in PostScript.
void postscript_segment(std::string& buf, long x1, long y1, long x2, long y2) {
  buf += "newpath ";
  append_point(buf, x1, y1);
  buf += " moveto ";
  append_point(buf, x2, y2);
  buf += " lineto stroke \n";
}

// The same line in a PDF content stream, its two points indented by `indent`.
void pdf_segment(std::string& buf, int indent, long x1, long y1, long x2, long y2) {
  blanks(buf, indent);
  append_point(buf, x1, y1);
  buf += " m\n";
  blanks(buf, indent);
  append_point(buf, x2, y2);
  buf += " l\n       S\n";
}

void write(std::ostream& out, const std::string& text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

// ---- plain text ----

OFD_afficheur_filtre_texte::OFD_afficheur_filtre_texte(const std::string* lines, int count)
    : nb_lignes(lines != nullptr && count > 0 ? count : 0), lignes(lines) {}

void OFD_afficheur_filtre_texte::imprime(std::ostream& out) {
  for (int i = 0; i < nb_lignes; ++i) imprime_ligne(out, lignes[i]);
}

void OFD_afficheur_filtre_texte::imprime_ligne(std::ostream& out, const std::string& line) {
  if (typeligne(line) == kTextLine) {
    write(out, line);
  } else {
    out << kTextRule;
  }
  out << '\n';
}

// ---- PostScript and PDF ----

OFD_afficheur_filtre_impression::OFD_afficheur_filtre_impression(const std::string* lines,
                                                                 int count)
    : lignes(lines),
      nb_lignes(lines != nullptr && count > 0 ? count : 0),
      ps_top(800),
      pdf_top(780),
      pdf_pages(0),
      marge(kLeft),
      ligne_courante(1),
      ligne_tableau(1) {
  for (int k = 0; k < kMaxColumns; ++k) {
    largeur[k] = 0;
    trait[k] = false;
  }
}

void OFD_afficheur_filtre_impression::vertical_rules(std::string& buf, format f, int indent) {
  const int t = top(f);
  const int bottom = t + kRowStep - kRowStep * ligne_courante;
  const int upper = t + kRowStep - kRowStep * ligne_tableau;
  int x = marge;
  for (int k = 0; k < kMaxColumns; ++k) {
    if (trait[k]) {
      if (f == kPostScript) {
        postscript_segment(buf, x, bottom, x, upper);
      } else {
        pdf_segment(buf, indent, x, bottom, x, upper);
      }
    }
    x += kCharStep * largeur[k];
  }
}

void OFD_afficheur_filtre_impression::field(std::string& buf, int column, const char* s, size_t len,
                                            format f) {
  len = std::min(len, static_cast<size_t>(largeur[column]));
  std::string text;
  text.reserve(len);
  for (size_t i = 0; i < len; ++i) {
    const char c = s[i];
    if (c == '(' || c == ')') continue;
    if (c == '\\') text += '\\';
    text += c;
  }
  if (text == " ") return;
  int x = marge + kCharStep;
  for (int k = 0; k < column; ++k) x += kCharStep * largeur[k];
  const int y = top(f) - kRowStep * ligne_courante;
  if (f == kPostScript) {
    append_point(buf, x, y);
    buf += " moveto (";
    buf += text;
    buf += ") show\n";
  } else {
    buf += "   BT\n     /F1 7 Tf\n     ";
    append_point(buf, x, y);
    buf += " Td\n(";
    buf += text;
    buf += ") Tj\n   ET\n";
  }
}

void OFD_afficheur_filtre_impression::one_line(std::string& buf, const std::string& line,
                                               format f) {
  switch (typeligne(line)) {
    case kPageLine:
      ligne_courante = 0;
      viewer_read_columns(line, largeur, trait);
      return;
    case kColumnLine:
      vertical_rules(buf, f, 4);
      ligne_tableau = ligne_courante;
      viewer_read_columns(line, largeur, trait);
      return;
    case kRuleLine: {
      const int y = top(f) - kRowStep * ligne_courante;
      int end = marge;
      for (int k = 0; k < kMaxColumns; ++k) end += kCharStep * largeur[k];
      if (f == kPostScript) {
        postscript_segment(buf, marge, y, end, y);
      } else {
        pdf_segment(buf, 4, marge, y, end, y);
      }
      ++ligne_courante;
      return;
    }
    default:
      break;
  }
  const char* s = line.data();
  const size_t n = line.size();
  size_t start = 0;
  int column = 0;
  for (size_t p = 0; p < n && column < kMaxColumns - 1; ++p) {
    if (s[p] != '#') continue;
    field(buf, column, s + start, p > start ? p - start : 0, f);
    ++column;
    start = p + 2;  // the character after the separator is dropped
  }
  field(buf, column, s + std::min(start, n), start < n ? n - start : 0, f);
  ++ligne_courante;
}

// -- PostScript --

void OFD_afficheur_filtre_impression::begin_postscript(std::ostream& out) {
  ligne_courante = 1;
  ligne_tableau = 1;
  write(out,
        "%!PS-Adobe-2.0\n"
        "%%Creator: quillmap\n"
        "%%Title: tmp.ps\n"
        "%%Pages: 1\n"
        "%%PageOrder: Ascend\n"
        "%%BoundingBox: 0 0 612 792\n"
        "%%DocumentPaperSizes: a4\n"
        "%%EndComments\n"
        "a4\n"
        "/Times-Roman findfont\n"
        "7 scalefont\n"
        "setfont\n");
}

void OFD_afficheur_filtre_impression::postscript(std::ostream& out, const std::string& line) {
  std::string buf;
  one_line(buf, line, kPostScript);
  write(out, buf);
}

void OFD_afficheur_filtre_impression::next_page_postscript(std::ostream& out, int page) {
  std::string buf;
  vertical_rules(buf, kPostScript, 0);
  buf += "showpage\n%%page : ";
  append_int(buf, page);
  buf += ' ';
  append_int(buf, page);
  buf += "\na4\n/Times-Roman findfont\n7 scalefont\nsetfont\n";
  write(out, buf);
  ligne_courante = 1;
  ligne_tableau = 1;
}

void OFD_afficheur_filtre_impression::end_postscript(std::ostream& out) {
  std::string buf;
  vertical_rules(buf, kPostScript, 0);
  buf += "showpage\n";
  write(out, buf);
}

void OFD_afficheur_filtre_impression::imprime_postscript(std::ostream& out) {
  begin_postscript(out);
  viewer_page_breaker breaker;
  std::string buf;
  for (int i = 0; i < nb_lignes; ++i) {
    if (breaker.starts_page(lignes[i])) {
      write(out, buf);
      buf.clear();
      next_page_postscript(out, breaker.page());
    }
    one_line(buf, lignes[i], kPostScript);
    if (buf.size() > 65536) {
      write(out, buf);
      buf.clear();
    }
  }
  write(out, buf);
  end_postscript(out);
}

// -- PDF --

void OFD_afficheur_filtre_impression::emit(std::ostream& out, const std::string& text) {
  write(out, text);
  written_ += static_cast<long>(text.size());
}

void OFD_afficheur_filtre_impression::start_page_object(std::ostream& out, int page_object) {
  if (static_cast<int>(offsets_.size()) < page_object + 2) offsets_.resize(page_object + 2, -1);
  std::string buf;
  append_int(buf, page_object);
  buf +=
      " 0 obj\n"
      "  << /Type /Page\n"
      "     /Parent 3 0 R\n"
      "     /MediaBox [0 0 612 792]\n"
      "     /Contents ";
  append_int(buf, page_object + 1);
  buf +=
      " 0 R\n"
      "     /Resources << /ProcSet 4 0 R\n"
      "                   /Font << /F1 5 0 R >>\n"
      "                >>\n"
      "  >>\n"
      "endobj\n"
      "\n";
  offsets_[page_object] = written_;
  emit(out, buf);
  buf.clear();
  append_int(buf, page_object + 1);
  buf += " 0 obj\n";
  offsets_[page_object + 1] = written_;
  emit(out, buf);
  stream_object_ = page_object + 1;
  content_.clear();
}

void OFD_afficheur_filtre_impression::close_page_stream(std::ostream& out) {
  // The end of line before "endstream" is not part of the data.
  const long length = content_.empty() ? 0 : static_cast<long>(content_.size()) - 1;
  std::string buf = "  << /Length ";
  append_int(buf, length);
  buf += " >>\nstream\n";
  emit(out, buf);
  emit(out, content_);
  emit(out, "endstream\nendobj\n\n");
  content_.clear();
}

void OFD_afficheur_filtre_impression::begin_pdf(std::ostream& out) {
  const int pages = static_cast<int>(viewer_page_starts(lignes, nb_lignes).size());
  ligne_courante = 1;
  ligne_tableau = 1;
  pdf_pages = 0;
  written_ = 0;
  offsets_.assign(12, -1);
  content_.clear();

  emit(out, "%PDF-1.4\n");
  offsets_[1] = written_;
  emit(out,
       "1 0 obj\n"
       "  << /Type /Catalog\n"
       "     /Outlines 2 0 R\n"
       "     /Pages 3 0 R\n"
       "  >>\n"
       "endobj\n"
       "\n");
  offsets_[2] = written_;
  emit(out,
       "2 0 obj\n"
       "  << /Type /Outlines\n"
       "     /Count 0\n"
       "  >>\n"
       "endobj\n"
       "\n");
  offsets_[3] = written_;
  std::string buf =
      "3 0 obj\n"
      "  << /Type /Pages\n"
      "     /Kids [";
  for (int m = 0; m < pages; ++m) {
    if (m > 0) blanks(buf, 9);
    append_int(buf, 10 + 2 * m);
    buf += " 0 R\n";
  }
  buf += "         ]\n     /Count ";
  append_int(buf, pages);
  buf += "\n  >>\nendobj\n\n";
  emit(out, buf);
  offsets_[4] = written_;
  emit(out, "4 0 obj\n   [/PDF /Text]\nendobj\n\n");
  offsets_[5] = written_;
  emit(out,
       "5 0 obj\n"
       "  << /Type /Font\n"
       "     /Subtype /Type1\n"
       "     /Name /F1\n"
       "     /BaseFont /Times-Roman\n"
       "     /Encoding /WinAnsiEncoding\n"
       "  >>\n"
       "endobj\n"
       "\n");
  start_page_object(out, 10);
}

void OFD_afficheur_filtre_impression::pdf(std::ostream&, const std::string& line) {
  one_line(content_, line, kPdf);
}

void OFD_afficheur_filtre_impression::next_page_pdf(std::ostream& out, int) {
  vertical_rules(content_, kPdf, 4);
  close_page_stream(out);
  ++pdf_pages;
  start_page_object(out, 10 + 2 * pdf_pages);
  ligne_courante = 1;
  ligne_tableau = 1;
}

void OFD_afficheur_filtre_impression::end_pdf(std::ostream& out) {
  vertical_rules(content_, kPdf, 6);
  close_page_stream(out);
  const long xref = written_;
  const int size = static_cast<int>(offsets_.size());
  std::string buf = "xref\n0 ";
  append_int(buf, size);
  buf += '\n';
  // Free entries form a list from object 0 through every unused number back to 0.
  auto next_free = [&](int after) {
    for (int k = after + 1; k < size; ++k) {
      if (offsets_[k] < 0) return k;
    }
    return 0;
  };
  for (int k = 0; k < size; ++k) {
    if (k == 0) {
      append_padded(buf, next_free(0), 10);
      buf += " 65535 f \n";
    } else if (offsets_[k] < 0) {
      append_padded(buf, next_free(k), 10);
      buf += " 00000 f \n";
    } else {
      append_padded(buf, offsets_[k], 10);
      buf += " 00000 n \n";
    }
  }
  buf += "\ntrailer\n  << /Size ";
  append_int(buf, size);
  buf += "\n     /Root 1 0 R\n  >>\nstartxref\n";
  append_int(buf, xref);
  buf += "\n%%EOF\n";
  emit(out, buf);
}

void OFD_afficheur_filtre_impression::imprime_pdf(std::ostream& out) {
  begin_pdf(out);
  viewer_page_breaker breaker;
  for (int i = 0; i < nb_lignes; ++i) {
    if (breaker.starts_page(lignes[i])) next_page_pdf(out, breaker.page());
    one_line(content_, lignes[i], kPdf);
  }
  end_pdf(out);
}

// ---- files ----

bool viewer_write_file(const std::string& path, const std::function<void(std::ostream&)>& writer,
                       std::string* reason) {
  std::vector<char> buffer(1 << 16);
  std::fstream out;
  out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  errno = 0;
  out.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out.is_open()) {
    if (reason != nullptr) *reason = std::strerror(errno != 0 ? errno : EIO);
    return false;
  }
  writer(out);
  out.flush();
  int error = out.fail() ? errno : 0;
  out.close();
  if (error == 0 && out.fail()) error = errno != 0 ? errno : EIO;
  if (!out.fail() && error == 0) return true;
  if (reason != nullptr) *reason = std::strerror(error != 0 ? error : EIO);
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
  return false;
}

bool viewer_write_text(const std::string& path, const std::string* lines, int count,
                       std::string* reason) {
  return viewer_write_file(
      path, [&](std::ostream& out) { OFD_afficheur_filtre_texte(lines, count).imprime(out); },
      reason);
}

bool viewer_write_postscript(const std::string& path, const std::string* lines, int count,
                             std::string* reason) {
  return viewer_write_file(
      path,
      [&](std::ostream& out) {
        OFD_afficheur_filtre_impression(lines, count).imprime_postscript(out);
      },
      reason);
}

bool viewer_write_pdf(const std::string& path, const std::string* lines, int count,
                      std::string* reason) {
  return viewer_write_file(
      path,
      [&](std::ostream& out) { OFD_afficheur_filtre_impression(lines, count).imprime_pdf(out); },
      reason);
}
