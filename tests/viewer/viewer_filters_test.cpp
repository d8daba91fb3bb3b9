// The line format, page breaking and the screen, text, PostScript and PDF filters, checked
// against hand-written golden files and real readers (qpdf, pdftotext, pdfinfo, Ghostscript).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "formspp/viewer.h"
#include "formspp/viewer_display.h"
#include "formspp/viewer_export.h"
#include "formspp/viewer_lines.h"
#include "support/child_process.h"
#include "viewer/pdf_check.h"

namespace {

using testsupport::read_file;
using testsupport::read_lines;
using testsupport::temp_dir;
using testsupport::write_file;
using viewertest::check_pdf_file;
using viewertest::pdf_text;

std::string golden(const std::string& name) {
  const char* src = std::getenv("SUDZ_SOURCE_DIR");
  return std::string(src != nullptr ? src : ".") + "/tests/viewer/golden/" + name;
}

std::string postscript(const std::vector<std::string>& lines) {
  std::ostringstream out;
  OFD_afficheur_filtre_impression(lines.data(), static_cast<int>(lines.size()))
      .imprime_postscript(out);
  return out.str();
}

std::string pdf(const std::vector<std::string>& lines) {
  std::ostringstream out;
  OFD_afficheur_filtre_impression(lines.data(), static_cast<int>(lines.size())).imprime_pdf(out);
  return out.str();
}

// The PostScript lines after the 12 header lines and before the final "showpage".
std::vector<std::string> postscript_body(const std::vector<std::string>& lines) {
  std::istringstream in(postscript(lines));
  std::vector<std::string> body;
  int n = 0;
  for (std::string l; std::getline(in, l);) {
    if (++n > 12) body.push_back(l);
  }
  if (!body.empty() && body.back() == "showpage") body.pop_back();
  return body;
}

// "n*t" is n text lines "row <i>", "C" a "#C 8 " line, "P" a "#P 8 " line, "T" a "#T" line.
std::vector<std::string> text_of(const std::vector<std::string>& recipe) {
  std::vector<std::string> lines;
  for (const std::string& s : recipe) {
    if (s == "C") {
      lines.push_back("#C 8 ");
    } else if (s == "P") {
      lines.push_back("#P 8 ");
    } else if (s == "T") {
      lines.push_back("#T");
    } else {
      const int n = std::stoi(s);
      for (int i = 0; i < n; ++i) lines.push_back("row " + std::to_string(lines.size()));
    }
  }
  return lines;
}

TEST(ViewerFormat, LineTypes) {
  const struct {
    std::string line;
    int type;
  } cases[] = {{"", kTextLine},        {"#", kTextLine},        {"C", kTextLine},
               {"#C", kColumnLine},    {"#C 10 ", kColumnLine}, {"#P", kPageLine},
               {"#T", kRuleLine},      {"#Tx", kRuleLine},      {"#c 10 ", kTextLine},
               {" #C 10 ", kTextLine}, {"#X", kTextLine},       {"ab#cd", kTextLine}};
  for (const auto& c : cases) EXPECT_EQ(viewer_line_type(c.line), c.type) << c.line;
}

TEST(ViewerFormat, ColumnSets) {
  std::string sixteen = "#C";
  for (int i = 1; i <= 16; ++i) sixteen += " " + std::to_string(i);
  sixteen += " T";
  const struct {
    std::string line;
    std::vector<int> widths;
    std::vector<int> rules;  // flagged columns
  } cases[] = {
      {"#C 20 T30 10 ", {20, 30, 10}, {1}},
      {"#C 12 8", {12}, {}},  // a width with no blank after it is not stored
      {"#P 0 5 ", {5}, {}},   // 0 makes no column
      {"#C T5 x7 ", {5, 7}, {0}},
      {"#C T", {}, {0}},
      {"#C 99999999999999999999 4 ", {kMaxColumnWidth, 4}, {}},
      {sixteen, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, {}},
  };
  for (const auto& c : cases) {
    int widths[kMaxColumns];
    bool rules[kMaxColumns];
    viewer_read_columns(c.line, widths, rules);
    std::vector<int> w(c.widths);
    w.resize(kMaxColumns, 0);
    std::vector<int> got_rules;
    for (int k = 0; k < kMaxColumns; ++k) {
      EXPECT_EQ(widths[k], w[k]) << c.line << " column " << k;
      if (rules[k]) got_rules.push_back(k);
    }
    EXPECT_EQ(got_rules, c.rules) << c.line;
  }
}

// Page starts, as every filter sees them: the screen's page count, the PostScript page
// comments, the pages Ghostscript draws and the PDF's pages.
TEST(ViewerPages, BreakingAtSeventySevenCountedLines) {
  const struct {
    std::vector<std::string> text;
    std::vector<int> starts;
  } cases[] = {
      {{}, {0}},
      {{"77"}, {0}},
      {{"78"}, {0, 77}},
      {{"77", "C", "1"}, {0, 77}},  // the column line opens the second page
      {{"77", "C"}, {0, 77}},       // ... even with nothing after it
      {{"C", "77", "P", "C", "1"}, {0, 78}},
      {{"76", "C", "1", "P", "1"}, {0, 78}},
      {{"76", "T", "1"}, {0, 77}},  // rules count
      {{"P", "38", "C", "39", "C", "1"}, {0, 79}},
      {{"155"}, {0, 77, 154}},
  };
  temp_dir dir;
  for (const auto& c : cases) {
    const std::vector<std::string> lines = text_of(c.text);
    const int count = static_cast<int>(lines.size());
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(viewer_page_starts(lines.data(), count), c.starts);
    OFD_afficheur_filtre_affichage screen(lines.data(), count);
    const int last = static_cast<int>(c.starts.size()) - 1;
    EXPECT_EQ(screen.nb_pages(), last);
    // Each page's rows: the lines from its start to the next page's start.
    for (int p = 0; p <= last && count > 0; ++p) {
      const int end = p < last ? c.starts[p + 1] : count;
      const std::string rows = screen.visu_page(p);
      EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), end - c.starts[p]) << "page " << p;
    }
    EXPECT_EQ(screen.visu_page(last + 1), "");
    EXPECT_EQ(screen.visu_page(-1), "");

    const std::string ps = postscript(lines);
    for (int p = 1; p <= last; ++p) {
      const std::string mark = "\n%%page : " + std::to_string(p) + " " + std::to_string(p) + "\n";
      EXPECT_NE(ps.find(mark), std::string::npos) << mark;
    }
    EXPECT_EQ(ps.find("%%page : " + std::to_string(last + 1)), std::string::npos);
    write_file(dir.file("t.ps"), ps);
    EXPECT_EQ(viewertest::postscript_pages(dir.file("t.ps"), dir.path()), last + 1);
    write_file(dir.file("t.pdf"), pdf(lines));
    check_pdf_file(dir.file("t.pdf"));
    EXPECT_EQ(viewertest::pdf_pages(dir.file("t.pdf")), last + 1);
  }
}

TEST(ViewerScreen, Rows) {
  const std::string many = "a#b#c#d#e#f#g#h#i#j#k#l#m#n#o#p#q";
  const struct {
    std::string columns;  // column line read first ("" for none)
    std::string line;
    std::string row;
  } cases[] = {
      {"#C 5 3 ", "ab#cdefgh", "@f@S12 ab   cde"},
      {"", "text before any column line", "@f@S12 "},
      {"#C 4 ", "abcdefgh", "@f@S12 abcd"},
      {"#C 4 4 ", "ab#", "@f@S12 ab  "},
      {"#C 2 2 ", "#", "@f@S12   "},
      {"#C 3 ", "#T", std::string(122, '-')},
      {"#C 3 ", "#C 3 ", ""},
      {"#C 3 ", "#P 3 ", ""},
      // The 15th field keeps the rest of the line, separators included.
      {"#C 1 1 1 1 1 1 1 1 1 1 1 1 1 1 9 ", many, "@f@S12 abcdefghijklmno#p#q"},
      // A row wider than the list is kept whole.
      {"#C 100 100 ", std::string(100, 'x') + "#" + std::string(100, 'y'),
       "@f@S12 " + std::string(100, 'x') + std::string(100, 'y')},
  };
  for (const auto& c : cases) {
    OFD_afficheur_filtre_affichage screen(nullptr, 0);
    if (!c.columns.empty()) screen.visu_ligne(c.columns);
    EXPECT_EQ(screen.visu_ligne(c.line), c.row) << c.columns << " | " << c.line;
  }
}

TEST(ViewerScreen, GoldenPage) {
  const std::vector<std::string> lines = read_lines(golden("small.txt"));
  OFD_afficheur_filtre_affichage screen(lines.data(), static_cast<int>(lines.size()));
  EXPECT_EQ(screen.visu_page(0), read_file(golden("small.screen")));
}

TEST(ViewerScreen, LaterPageUsesTheSetInstalledLast) {
  std::vector<std::string> lines = {"#C 3 "};
  for (int i = 0; i < 76; ++i) lines.push_back("abcdef");
  lines.push_back("#C 6 ");
  lines.push_back("abcdef");  // 77th counted line
  lines.push_back("abcdef");  // first line of page 2
  OFD_afficheur_filtre_affichage straight(lines.data(), static_cast<int>(lines.size()));
  EXPECT_EQ(straight.visu_page(1), "@f@S12 \n");  // no set installed yet
  EXPECT_EQ(straight.visu_page(0).substr(0, 18), "\n@f@S12 abc\n@f@S12");
  EXPECT_EQ(straight.visu_page(1), "@f@S12 abcdef\n");
}

TEST(ViewerText, GoldenFile) {
  const std::vector<std::string> lines = read_lines(golden("small.txt"));
  temp_dir dir;
  ASSERT_TRUE(viewer_write_text(dir.file("t.txt"), lines.data(), static_cast<int>(lines.size())));
  EXPECT_EQ(read_file(dir.file("t.txt")), read_file(golden("small.text")));
}

TEST(ViewerPrint, GoldenPostScript) {
  const std::vector<std::string> lines = read_lines(golden("small.txt"));
  temp_dir dir;
  ASSERT_TRUE(
      viewer_write_postscript(dir.file("t.ps"), lines.data(), static_cast<int>(lines.size())));
  EXPECT_EQ(read_file(dir.file("t.ps")), read_file(golden("small.ps")));
  EXPECT_EQ(viewertest::postscript_pages(dir.file("t.ps"), dir.path()), 1);
}

TEST(ViewerPrint, Fields) {
  const struct {
    std::string columns;
    std::string line;
    std::vector<std::string> written;
  } cases[] = {
      {"#C 10 10 ", "(a)", {"45 790 moveto (a) show"}},
      {"#C 10 10 ", " ", {}},
      {"#C 10 10 ", "( )", {}},
      {"#C 10 10 ", "", {"45 790 moveto () show"}},
      {"#C 10 10 ", "ab# cd", {"45 790 moveto (ab) show", "95 790 moveto (cd) show"}},
      {"#C 10 10 ", "ab#xcd", {"45 790 moveto (ab) show", "95 790 moveto (cd) show"}},
      {"#C 3 ", "abcdef", {"45 790 moveto (abc) show"}},
      {"#C 10 ", "a\\b\\", {"45 790 moveto (a\\\\b\\\\) show"}},
      {"#C 10 ", "50% (x)", {"45 790 moveto (50% x) show"}},
      {"#C 1 1 1 1 1 1 1 1 1 1 1 1 1 1 9 ",
       "a# b# c# d# e# f# g# h# i# j# k# l# m# n# o# p# q",
       {"45 790 moveto (a) show", "50 790 moveto (b) show", "55 790 moveto (c) show",
        "60 790 moveto (d) show", "65 790 moveto (e) show", "70 790 moveto (f) show",
        "75 790 moveto (g) show", "80 790 moveto (h) show", "85 790 moveto (i) show",
        "90 790 moveto (j) show", "95 790 moveto (k) show", "100 790 moveto (l) show",
        "105 790 moveto (m) show", "110 790 moveto (n) show", "115 790 moveto (o# p# q) show"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(postscript_body({c.columns, c.line}), c.written) << c.columns << " | " << c.line;
  }
}

TEST(ViewerPrint, PdfRulesAndPagePieces) {
  // A flagged column closed by the end of the document (six blanks), by a page break (four),
  // and a "#T" rule.
  std::vector<std::string> lines = {"#C T5 ", "#T", "x"};
  std::string doc = pdf(lines);
  EXPECT_NE(doc.find("    40 770 m\n    65 770 l\n       S\n"), std::string::npos);
  EXPECT_NE(doc.find("      40 760 m\n      40 780 l\n       S\nendstream"), std::string::npos);
  lines.clear();
  lines.push_back("#C T5 ");
  for (int i = 0; i < 78; ++i) lines.push_back("x");
  doc = pdf(lines);
  EXPECT_NE(doc.find("    40 10 m\n    40 780 l\n       S\nendstream"), std::string::npos);
  EXPECT_NE(doc.find("      40 770 m\n      40 780 l\n       S\nendstream"), std::string::npos);
  // A field, and "#P" moving the next row to the very top.
  doc = pdf({"#P 10 ", "a\\b"});
  EXPECT_NE(doc.find("   BT\n     /F1 7 Tf\n     45 780 Td\n(a\\\\b) Tj\n   ET\n"),
            std::string::npos);
}

TEST(ViewerPdf, SeventyEightLinesMakeTwoPages) {
  std::vector<std::string> lines = {"#C 10 10 "};
  for (int i = 1; i <= 78; ++i)
    lines.push_back("r" + std::to_string(i) + "# c" + std::to_string(i));
  temp_dir dir;
  ASSERT_TRUE(viewer_write_pdf(dir.file("t.pdf"), lines));
  const std::string doc = read_file(dir.file("t.pdf"));
  EXPECT_NE(doc.find("     /Kids [10 0 R\n         12 0 R\n         ]\n     /Count 2\n"),
            std::string::npos);
  EXPECT_NE(doc.find("\n10 0 obj\n"), std::string::npos);
  EXPECT_NE(doc.find("     /Contents 11 0 R\n"), std::string::npos);
  EXPECT_NE(doc.find("\n12 0 obj\n  << /Type /Page\n"), std::string::npos);
  EXPECT_NE(doc.find("     /Contents 13 0 R\n"), std::string::npos);
  EXPECT_NE(doc.find("\n13 0 obj\n  << /Length "), std::string::npos);
  EXPECT_NE(doc.find("trailer\n  << /Size 14\n     /Root 1 0 R\n  >>\nstartxref\n"),
            std::string::npos);
  EXPECT_EQ(doc.substr(0, 9), "%PDF-1.4\n");
  check_pdf_file(dir.file("t.pdf"));
  const std::string text = pdf_text(dir.file("t.pdf"));
  for (int i = 1; i <= 78; ++i) {
    const std::string row = "r" + std::to_string(i) + " ";
    EXPECT_NE(text.find(row), std::string::npos) << row;
    EXPECT_NE(text.find("c" + std::to_string(i) + "\n"), std::string::npos) << i;
  }
}

TEST(ViewerPdf, EveryDocumentReadsBack) {
  const char* src = std::getenv("SUDZ_SOURCE_DIR");
  const std::string sample =
      std::string(src != nullptr ? src : ".") + "/examples/viewer_sample.txt";
  const struct {
    std::vector<std::string> lines;
    std::vector<std::string> fields;
  } cases[] = {
      {read_lines(sample),
       {"Washing programme", "signal table", "Signal", "Meaning", "Niv", "inlet valve", "Pre-wash",
        "Spin", "max", "C:\\students\\group1", "Remarks: the door"}},
      {read_lines(golden("small.txt")), {"Name", "Qty", "bolt", "nut", "washer", "a\\b", "top"}},
      {{"#C 200 ", std::string(120, 'i') + " end"}, {std::string(120, 'i') + " end"}},
  };
  temp_dir dir;
  for (const auto& c : cases) {
    ASSERT_TRUE(viewer_write_pdf(dir.file("t.pdf"), c.lines));
    check_pdf_file(dir.file("t.pdf"));
    const std::string text = pdf_text(dir.file("t.pdf"));
    for (const std::string& f : c.fields) EXPECT_NE(text.find(f), std::string::npos) << f;
  }
}

TEST(ViewerFiles, FailuresAreReportedWithTheReason) {
  temp_dir dir;
  mkdir(dir.file("tmp.pdf").c_str(), 0700);
  mkdir(dir.file("ro").c_str(), 0500);
  const bool root = geteuid() == 0;
  const std::vector<std::string> lines = {"#C 5 ", "a"};
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {"/dev/full", "No space left on device"},
      {dir.file("tmp.pdf"), "Is a directory"},
      {dir.file("none/tmp.pdf"), "No such file or directory"},
      {root ? "" : dir.file("ro/tmp.pdf"), "Permission denied"},
  };
  for (const auto& c : cases) {
    if (c.path.empty()) continue;  // root writes in a read-only directory
    std::string reason;
    EXPECT_FALSE(viewer_write_pdf(c.path, lines, &reason)) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
    reason.clear();
    EXPECT_FALSE(viewer_write_text(c.path, lines.data(), 2, &reason)) << c.path;
    EXPECT_EQ(reason, c.reason) << c.path;
  }
}

// The PostScript conversion sequence, with stand-ins that record each call on PATH.
TEST(ViewerShell, PostScriptSequence) {
  temp_dir dir;
  const std::string bin = dir.file("bin");
  mkdir(bin.c_str(), 0700);
  const std::string log = dir.file("log");
  for (const char* name : {"ps2pdf", "acroread", "rm"}) {
    std::string body = "#!/bin/sh\necho \"" + std::string(name) + " $*\" >> '" + log + "'\n";
    if (std::string(name) == "ps2pdf") body += "echo pdf > tmp.pdf\n";
    if (std::string(name) == "rm") body += "exec /bin/rm \"$@\"\n";
    write_file(bin + "/" + name, body);
    chmod((bin + "/" + name).c_str(), 0700);
  }
  write_file(dir.file("tmp.ps"), "%!PS\n");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string path = std::getenv("PATH");
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  setenv("PATH", (bin + ":" + path).c_str(), 1);
  {
    OFD_afficheur viewer(nullptr, 0);
    viewer.imprime_tmp_ps();
  }
  setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(read_lines(log), (std::vector<std::string>{"ps2pdf tmp.ps", "acroread tmp.pdf",
                                                       "rm tmp.pdf", "rm tmp.ps"}));
  EXPECT_NE(access(dir.file("tmp.ps").c_str(), F_OK), 0);
  EXPECT_NE(access(dir.file("tmp.pdf").c_str(), F_OK), 0);
}

}  // namespace
