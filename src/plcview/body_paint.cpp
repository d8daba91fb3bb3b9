#include "plcview/body_paint.h"

#include <algorithm>
#include <cmath>

namespace plcview {

namespace {

class painter {
 public:
  std::vector<mark> out;

  void line(double x1, double y1, double x2, double y2, rgb c = black, double w = 1) {
    mark k;
    k.x1 = x1, k.y1 = y1, k.x2 = x2, k.y2 = y2, k.colour = c, k.width = w;
    out.push_back(k);
  }
  void rect(double x, double y, double w, double h, rgb c = black, double width = 1) {
    mark k;
    k.k = mark::kind::rect;
    k.x1 = x, k.y1 = y, k.x2 = w, k.y2 = h, k.colour = c, k.width = width;
    out.push_back(k);
  }
  void fill(double x, double y, double w, double h, rgb c) {
    mark k;
    k.k = mark::kind::fill;
    k.x1 = x, k.y1 = y, k.x2 = w, k.y2 = h, k.colour = c;
    out.push_back(k);
  }
  void text(const std::string& t, double x, double y, int align = -1, rgb c = black,
            double size = 11, bool bold = false, bool fixed = false) {
    if (t.empty()) return;
    mark k;
    k.k = mark::kind::text;
    k.x1 = x, k.y1 = y, k.text = t, k.align = align, k.colour = c, k.size = size, k.bold = bold;
    k.fixed = fixed;
    out.push_back(k);
  }
  // A half ellipse of the coil: the left one opens to the right.
  void bracket(double x, double y, double w, double h, bool left) {
    double px = 0, py = 0;
    for (int i = 0; i <= 8; ++i) {
      const double a = M_PI / 2 + M_PI * i / 8;
      const double cx = left ? x + w : x, dx = (left ? 1 : -1) * w * std::cos(a);
      const double nx = cx + dx, ny = y + h / 2 - h / 2 * std::sin(a);
      if (i > 0) line(px, py, nx, ny, black, 1.5);
      px = nx, py = ny;
    }
  }
  void circle(double cx, double cy, double r) {
    double px = cx + r, py = cy;
    for (int i = 1; i <= 12; ++i) {
      const double a = 2 * M_PI * i / 12;
      line(px, py, cx + r * std::cos(a), cy + r * std::sin(a));
      px = cx + r * std::cos(a), py = cy + r * std::sin(a);
    }
  }
};

// A wire not yet written by any scan has no type yet: it shows nothing.
std::string value_text(const plc::value& v) {
  if (v.t == plc::type::any_int || v.t == plc::type::any_real) return "";
  return plc::to_text(v);
}

bool bool_true(const pin& p) {
  return p.known && p.now.t == plc::type::BOOL && p.now.truth();
}

void paint_element(painter& p, const body_model& m, int index) {
  const element& e = m.elements[index];
  const double x = e.x, y = e.y, w = e.w, h = e.h, mx = x + w / 2, my = y + h / 2;
  switch (e.k) {
    case element::kind::left_rail:
      p.fill(x, y, std::max(w, 3.0), h, on_wire);
      break;
    case element::kind::right_rail:
      p.fill(x, y, std::max(w, 3.0), h, black);
      break;
    case element::kind::contact: {
      if (e.on()) p.fill(x + 5, y, w - 10, h, on_fill);
      p.line(x, my, x + 4, my);
      p.line(x + w - 4, my, x + w, my);
      p.line(x + 4, y, x + 4, y + h, black, 2);
      p.line(x + w - 4, y, x + w - 4, y + h, black, 2);
      if (e.negated) p.line(x + 7, y + h - 2, x + w - 7, y + 2);
      if (!e.edge.empty()) p.text(e.edge == "rising" ? "P" : "N", mx, my + 4, 0);
      p.text(e.text, mx, y - 4, 0);
      break;
    }
    case element::kind::coil: {
      if (e.on()) p.fill(x + 6, y + 2, w - 12, h - 4, on_fill);
      p.bracket(x, y, 5, h, true);
      p.bracket(x + w - 5, y, 5, h, false);
      if (e.negated) p.line(x + 7, y + h - 2, x + w - 7, y + 2);
      std::string mark = e.storage == "set" ? "S" : e.storage == "reset" ? "R" : "";
      if (!e.edge.empty()) mark = e.edge == "rising" ? "P" : "N";
      p.text(mark, mx, my + 4, 0);
      p.text(e.text, mx, y - 4, 0);
      break;
    }
    case element::kind::block: {
      p.fill(x, y, w, h, white);
      p.rect(x, y, w, h);
      p.text(e.text, mx, y + 12, 0, black, 11, true);
      p.text(e.instance, mx, y - 4, 0);
      for (size_t k = 0; k < e.inputs.size(); ++k) {
        const pin& q = e.inputs[k];
        p.text(q.name, x + 3, q.at.y + 4, -1, black, 9);
        if (q.negated) p.circle(x - 3, q.at.y, 3);
        plc::value v;
        if (m.input_value(index, static_cast<int>(k), &v))
          p.text(value_text(v), x - 3, q.at.y + 10, 1, value_ink, 9);  // under the wire
      }
      for (const pin& q : e.outputs) {
        p.text(q.name, x + w - 3, q.at.y + 4, 1, black, 9);
        if (q.negated) p.circle(x + w + 3, q.at.y, 3);
        if (q.known) p.text(value_text(q.now), x + w + 3, q.at.y - 3, -1, value_ink, 9);
      }
      break;
    }
    case element::kind::in_variable:
    case element::kind::out_variable:
    case element::kind::inout_variable:
    case element::kind::connector:
    case element::kind::continuation: {
      const bool lit = e.known && e.now.t == plc::type::BOOL && e.now.truth();
      p.fill(x, y, w, h, lit ? on_fill : white);
      p.rect(x, y, w, h);
      p.text(e.text, mx, my + 4, 0);
      if (e.known && e.live.k != source::kind::constant)
        p.text(value_text(e.now), mx, y - 3, 0, value_ink, 9);
      if (e.negated) p.circle(e.k == element::kind::in_variable ? x + w + 3 : x - 3, my, 3);
      break;
    }
    case element::kind::step:
      p.fill(x, y, w, h, e.on() ? on_fill : white);
      p.rect(x, y, w, h);
      if (e.initial) p.rect(x + 3, y + 3, w - 6, h - 6);
      p.text(e.text, mx, my + 4, 0);
      break;
    case element::kind::transition:
      p.fill(x, my - 2, w, 4, black);
      p.text(e.text, x + w + 6, my + 4);
      break;
    case element::kind::divergence:
      p.line(x, y, x + w, y, black, 1.5);
      if (e.simultaneous) p.line(x, y + 3, x + w, y + 3, black, 1.5);
      break;
    case element::kind::jump_step:
      p.line(x, y, x + w, y);
      p.line(x, y, mx, y + h);
      p.line(x + w, y, mx, y + h);
      p.text(e.text, x + w + 4, my + 4);
      break;
    case element::kind::action_block: {
      p.fill(x, y, w, h, e.on() ? on_fill : white);
      p.rect(x, y, w, h);
      const double row = e.actions.empty() ? h : h / static_cast<double>(e.actions.size());
      for (size_t k = 0; k < e.actions.size(); ++k) {
        if (k > 0) p.line(x, y + row * k, x + w, y + row * k);
        p.text(e.actions[k], x + 4, y + row * k + row / 2 + 4);
      }
      break;
    }
    case element::kind::other:
      p.rect(x, y, w, h, grey);
      p.text(e.text, x + 4, y + 14, -1, grey);
      break;
  }
}

// Structured Text: the lines, each followed by the values of the
// variables it names.
void paint_text(painter& p, const body_model& m) {
  const double values_x = text_values_x(m);
  for (size_t k = 0; k < m.lines.size(); ++k) {
    const double y = 20 + text_row * static_cast<double>(k + 1);
    p.text(m.lines[k], 20, y, -1, black, 11, false, true);
    std::string values;
    for (const text_value& v : m.line_values[k]) {
      if (!v.known) continue;
      if (!values.empty()) values += ", ";
      values += v.name + " = " + value_text(v.now);
    }
    p.text(values, values_x, y, -1, value_ink);
  }
}

}  // namespace

std::vector<mark> paint_body(const body_model& m) {
  painter p;
  p.fill(0, 0, m.width, m.height, white);
  if (m.language == "ST") {
    paint_text(p, m);
    return p.out;
  }
  for (const wire& w : m.wires) {
    const bool lit = bool_true(m.elements[w.from].outputs[w.from_pin]);
    for (size_t k = 1; k < w.points.size(); ++k)
      p.line(w.points[k - 1].x, w.points[k - 1].y, w.points[k].x, w.points[k].y,
             lit ? on_wire : black, lit ? 2 : 1);
  }
  for (size_t i = 0; i < m.elements.size(); ++i) paint_element(p, m, static_cast<int>(i));
  return p.out;
}

std::vector<mark> paint_signals(const signals& s, double x, double height) {
  painter p;
  p.fill(x, 0, signals_width, height, panel);
  p.line(x, 0, x, height);
  double y = 10;
  auto column = [&](const char* title, const std::vector<std::string>& names,
                    const std::vector<int>& values) {
    p.text(title, x + 10, y + 13, -1, black, 13, true);
    y += 22;
    for (size_t i = 0; i < names.size() && y + 18 < height; ++i) {
      const int v = i < values.size() ? values[i] : 0;
      p.fill(x + 10, y + 3, 12, 12, v != 0 ? on_fill : white);
      p.rect(x + 10, y + 3, 12, 12);
      p.text(names[i] + "  " + std::to_string(v), x + 30, y + 13, -1, black, 12);
      y += 18;
    }
    y += 9;
  };
  column("Entrees", s.input_names, s.inputs);
  column("Sorties", s.output_names, s.outputs);
  return p.out;
}

}  // namespace plcview
