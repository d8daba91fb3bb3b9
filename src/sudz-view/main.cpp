// sudz-view: pages a marked-up text file in the viewer window, or writes it as a text,
// PostScript or PDF document without any window.
#include <FL/Fl.H>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <list>
#include <string>

#include "formspp/viewer.h"
#include "formspp/viewer_export.h"

namespace {

const char help_text[] =
    "usage: sudz-view [--english] [--pdf-viewer CMD] FILE\n"
    "       sudz-view [--pdf OUT] [--ps OUT] [--text OUT] FILE\n"
    "\n"
    "Pages the marked-up text FILE (standard input when FILE is -) in a window;\n"
    "its buttons write tmp.txt and tmp.pdf in the current directory.\n"
    "\n"
    "  --english         English labels and messages (French by default)\n"
    "  --pdf-viewer CMD  hand tmp.pdf to CMD and remove it afterwards\n"
    "  --pdf OUT         write FILE as a PDF document to OUT, no window\n"
    "  --ps OUT          write FILE as a PostScript document to OUT, no window\n"
    "  --text OUT        write FILE as plain text to OUT, no window\n"
    "  --help            this text\n"
    "\n"
    "Line format: \"#C w1 w2 ... \" sets column widths (T before a width asks for a\n"
    "vertical rule in print), \"#P ...\" the same from the top of the page, \"#T\" a\n"
    "horizontal rule; any other line is text whose fields, separated by #, fill the\n"
    "columns. A page holds 77 text and #T lines.\n";

int usage(const char* message) {
  std::fprintf(stderr, "sudz-view: %s\n%s", message, help_text);
  return 1;
}

// The lines of a stream; a final line feed ends the last line, a carriage return before a
// line feed is dropped.
std::list<std::string> read_lines(std::istream& in) {
  std::list<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  int language = 0;
  std::string viewer_command;
  std::string pdf_out, ps_out, text_out;
  std::string file;
  bool have_file = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return !into.empty();
    };
    if (a == "--help") {
      std::fputs(help_text, stdout);
      return 0;
    } else if (a == "--english") {
      language = 1;
    } else if (a == "--pdf-viewer") {
      if (!value(viewer_command)) return usage("--pdf-viewer needs a command");
    } else if (a == "--pdf") {
      if (!value(pdf_out)) return usage("--pdf needs a file name");
    } else if (a == "--ps") {
      if (!value(ps_out)) return usage("--ps needs a file name");
    } else if (a == "--text") {
      if (!value(text_out)) return usage("--text needs a file name");
    } else if (a.size() > 1 && a[0] == '-') {
      return usage(("unknown option " + a).c_str());
    } else if (have_file) {
      return usage("only one FILE");
    } else {
      file = a;
      have_file = true;
    }
  }
  if (!have_file) return usage("no FILE");

  std::list<std::string> lines;
  if (file == "-") {
    lines = read_lines(std::cin);
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "sudz-view: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
      return 1;
    }
    lines = read_lines(in);
    if (in.bad()) {
      std::fprintf(stderr, "sudz-view: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
      return 1;
    }
  }

  if (!pdf_out.empty() || !ps_out.empty() || !text_out.empty()) {
    const std::vector<std::string> array(lines.begin(), lines.end());
    const int count = static_cast<int>(array.size());
    int status = 0;
    auto check = [&](bool ok, const std::string& out, const std::string& reason) {
      if (ok) return;
      std::fprintf(stderr, "sudz-view: cannot write %s: %s\n", out.c_str(), reason.c_str());
      status = 1;
    };
    std::string reason;
    if (!text_out.empty())
      check(viewer_write_text(text_out, array.data(), count, &reason), text_out, reason);
    if (!ps_out.empty())
      check(viewer_write_postscript(ps_out, array.data(), count, &reason), ps_out, reason);
    if (!pdf_out.empty())
      check(viewer_write_pdf(pdf_out, array.data(), count, &reason), pdf_out, reason);
    return status;
  }

  if (lines.empty()) {
    std::fprintf(stderr, "sudz-view: %s holds no line, nothing to show\n",
                 file == "-" ? "standard input" : file.c_str());
    return 0;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr,
                 "sudz-view: cannot open the display; --pdf, --ps or --text write files without "
                 "one\n");
    return 1;
  }
  XCloseDisplay(display);
  OFD_afficheur viewer(nullptr, language);
  viewer.activation(lines, file == "-" ? std::string("-") : file, viewer_command);
  return 0;
}
