// Reading back a PDF file the viewer wrote: its cross-reference table, stream lengths and the
// text that real readers extract.
#ifndef TESTS_VIEWER_PDF_CHECK_H
#define TESTS_VIEWER_PDF_CHECK_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/child_process.h"

namespace viewertest {

// Checks what a reader relies on: startxref points at "xref", one subsection from object 0
// whose in-use entries point at "<k> 0 obj" and whose free entries form a list from 0 back to
// 0, /Size equal to the entry count, every stream's /Length up to its end of line before
// "endstream", and qpdf --check passes.
inline void check_pdf_file(const std::string& path) {
  const std::string pdf = testsupport::read_file(path);
  ASSERT_EQ(pdf.rfind("%%EOF\n"), pdf.size() - 6) << path;
  const size_t sx = pdf.rfind("startxref\n");
  ASSERT_NE(sx, std::string::npos);
  const long xref = std::atol(pdf.c_str() + sx + 10);
  ASSERT_EQ(pdf.compare(xref, 7, "xref\n0 "), 0) << "startxref " << xref;
  const char* p = pdf.c_str() + xref + 7;
  char* end = nullptr;
  const long entries = std::strtol(p, &end, 10);
  ASSERT_EQ(*end, '\n');
  const size_t table = end + 1 - pdf.c_str();
  long free_next = -1;
  int free_seen = 0, free_count = 0;
  for (long k = 0; k < entries; ++k) {
    const std::string e = pdf.substr(table + 20 * k, 20);
    ASSERT_EQ(e.size(), 20u);
    ASSERT_EQ(e.substr(18), " \n") << "entry " << k;
    const long off = std::atol(e.substr(0, 10).c_str());
    if (e[17] == 'f') {
      ++free_count;
      if (k == 0) {
        EXPECT_EQ(e.substr(11, 5), "65535");
      } else {
        EXPECT_EQ(free_next, k) << "free list skips entry " << k;
        ++free_seen;
      }
      free_next = off;
    } else {
      ASSERT_EQ(e[17], 'n') << e;
      const std::string head = std::to_string(k) + " 0 obj\n";
      EXPECT_EQ(pdf.compare(off, head.size(), head), 0) << "object " << k << " at " << off;
    }
  }
  EXPECT_EQ(free_next, 0) << "free list ends at object 0";
  EXPECT_EQ(free_seen + 1, free_count);
  EXPECT_NE(pdf.find("trailer\n  << /Size " + std::to_string(entries) + "\n"), std::string::npos);
  for (size_t s = pdf.find("\nstream\n"); s != std::string::npos;
       s = pdf.find("\nstream\n", s + 1)) {
    const size_t l = pdf.rfind("/Length ", s);
    ASSERT_NE(l, std::string::npos);
    const long length = std::atol(pdf.c_str() + l + 8);
    const size_t data = s + 8;
    const std::string after = length == 0 ? "endstream\n" : "\nendstream\n";
    EXPECT_EQ(pdf.compare(data + length, after.size(), after), 0) << "stream at " << data;
  }
  int status = 0;
  const std::string qpdf = testsupport::output_of("qpdf --check '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << qpdf;
  EXPECT_EQ(qpdf.find("WARNING"), std::string::npos) << qpdf;
}

inline std::string pdf_text(const std::string& path) {
  return testsupport::output_of("pdftotext -layout '" + path + "' - 2>&1");
}

inline int pdf_pages(const std::string& path) {
  const std::string info = testsupport::output_of("pdfinfo '" + path + "' 2>/dev/null");
  const size_t p = info.find("Pages:");
  return p == std::string::npos ? -1 : std::atoi(info.c_str() + p + 6);
}

// Pages that Ghostscript draws from a PostScript file (-1 when it fails).
inline int postscript_pages(const std::string& path, const std::string& dir) {
  int status = 0;
  testsupport::output_of("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pnggray -r10 -sOutputFile='" +
                             dir + "/gs-%03d.png' '" + path + "' >/dev/null 2>&1",
                         &status);
  if (status != 0) return -1;
  const std::string n =
      testsupport::output_of("ls '" + dir + "' | grep -c '^gs-'; rm -f '" + dir + "'/gs-*.png");
  return std::atoi(n.c_str());
}

}  // namespace viewertest

#endif
