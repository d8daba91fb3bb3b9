#include "plcview/body_svg.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace plcview {

namespace {

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

std::string colour(rgb c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
  return buf;
}

// Text as XML character data; bytes that are not printable ASCII are kept
// as the ISO-8859-1 characters they are.
std::string escaped(const std::string& s) {
  std::string out;
  for (unsigned char ch : s) {
    if (ch == '<')
      out += "&lt;";
    else if (ch == '>')
      out += "&gt;";
    else if (ch == '&')
      out += "&amp;";
    else if (ch == '"')
      out += "&quot;";
    else if (ch < 0x20)
      out += ' ';
    else if (ch >= 0x80)
      out += "&#" + std::to_string(ch) + ";";
    else
      out += static_cast<char>(ch);
  }
  return out;
}

void write_marks(std::string& out, const std::vector<mark>& marks) {
  for (const mark& k : marks) {
    switch (k.k) {
      case mark::kind::line:
        out += "<line x1=\"" + number(k.x1) + "\" y1=\"" + number(k.y1) + "\" x2=\"" +
               number(k.x2) + "\" y2=\"" + number(k.y2) + "\" stroke=\"" + colour(k.colour) +
               "\" stroke-width=\"" + number(k.width) + "\"/>\n";
        break;
      case mark::kind::rect:
      case mark::kind::fill:
        out += "<rect x=\"" + number(k.x1) + "\" y=\"" + number(k.y1) + "\" width=\"" +
               number(k.x2) + "\" height=\"" + number(k.y2) + "\" " +
               (k.k == mark::kind::fill ? "fill=\"" + colour(k.colour) + "\""
                                        : "fill=\"none\" stroke=\"" + colour(k.colour) +
                                              "\" stroke-width=\"" + number(k.width) + "\"") +
               "/>\n";
        break;
      case mark::kind::text:
        out += "<text x=\"" + number(k.x1) + "\" y=\"" + number(k.y1) + "\" font-size=\"" +
               number(k.size) + "\" fill=\"" + colour(k.colour) + "\"" +
               (k.fixed ? " font-family=\"monospace\" xml:space=\"preserve\"" : "") +
               (k.bold ? " font-weight=\"bold\"" : "") +
               (k.align == 0  ? " text-anchor=\"middle\""
                : k.align > 0 ? " text-anchor=\"end\""
                              : "") +
               ">" + escaped(k.text) + "</text>\n";
        break;
    }
  }
}

}  // namespace

std::string body_svg(const body_model& m, const signals& s) {
  const double rows = 3 + static_cast<double>(s.input_names.size() + s.output_names.size());
  const double height = std::max(m.height, 20 + 18 * rows + 30);
  const double width = m.width + signals_width;
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      number(width) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) + " " +
      number(height) + "\" font-family=\"Helvetica, Arial, sans-serif\">\n<title>" +
      escaped(m.pou) + "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  write_marks(out, paint_body(m));
  write_marks(out, paint_signals(s, m.width, height));
  out += "</svg>\n";
  return out;
}

bool write_body_svg(const body_model& m, const signals& s, const std::string& path,
                    std::string* error) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (f) f << body_svg(m, s);
  if (f) f.close();
  if (!f) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace plcview
