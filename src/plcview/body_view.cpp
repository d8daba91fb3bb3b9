#include "plcview/body_view.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include "plcengine/xml_util.h"
#include "plcview/body_layout.h"

namespace plcview {

namespace {

using namespace plc::xml;

struct connection {
  long ref = 0;
  std::string formal;
  std::vector<point> points;  // as saved: from the consumer to the producer
};

// What the reader keeps of a connection point until the geometry is known.
struct raw_pin {
  pin p;
  bool has_rel = false;
  point rel;
  std::vector<connection> from;
};

struct raw_element {
  element e;
  std::vector<raw_pin> ins, outs;
};

// A coordinate or size of the file, kept within what a drawing can hold:
// a damaged or hostile file must not make the window or the SVG huge.
double bounded(const pugi::xml_attribute& a, double low, double high) {
  const double v = a.as_double();
  return std::isfinite(v) ? std::min(std::max(v, low), high) : 0;
}

point position_of(const pugi::xml_node& n) {
  point p;
  p.x = bounded(n.attribute("x"), -20000, 20000);
  p.y = bounded(n.attribute("y"), -20000, 20000);
  return p;
}

raw_pin read_point(const pugi::xml_node& point_node, const std::string& name, bool input) {
  raw_pin r;
  r.p.name = name;
  const pugi::xml_node rel = child(point_node, "relPosition");
  if (rel) r.has_rel = true, r.rel = position_of(rel);
  if (input) {
    for (pugi::xml_node c : point_node.children()) {
      if (!is(c, "connection")) continue;
      connection k;
      k.ref = std::strtol(c.attribute("refLocalId").value(), nullptr, 10);
      k.formal = c.attribute("formalParameter").value();
      for (pugi::xml_node q : c.children())
        if (is(q, "position")) k.points.push_back(position_of(q));
      r.from.push_back(k);
    }
  }
  return r;
}

// Every text below a node (bare, CDATA or wrapped in xhtml elements).
std::string all_text(const pugi::xml_node& n) {
  std::string out;
  for (pugi::xml_node c : n.children()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      out += c.value();
    else if (c.type() == pugi::node_element)
      out += all_text(c);
  }
  return out;
}

std::string trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// Where an expression written in an element reads its value: a variable,
// an instance's output or a literal; anything else shows no value.
source source_of(const std::string& expression, const plc::program& prog) {
  source s;
  const std::string t = trimmed(expression);
  if (t.empty()) return s;
  if (plc::parse_literal(t, &s.constant)) {
    s.k = source::kind::constant;
    return s;
  }
  const int v = prog.find(t);
  if (v >= 0 && !prog.vars[v].is_fb) {
    s.k = source::kind::variable;
    s.var = v;
    return s;
  }
  const size_t dot = t.find('.');
  if (dot != std::string::npos) {
    const int inst = prog.find(t.substr(0, dot));
    if (inst >= 0 && prog.vars[inst].is_fb) {
      s.k = source::kind::member;
      s.var = inst;
      s.member = plc::upper_name(t.substr(dot + 1));
    }
  }
  return s;
}

source wire_source(const plc::program& prog, const std::string& name) {
  source s;
  s.var = prog.find(name);
  if (s.var >= 0) s.k = source::kind::variable;
  return s;
}

element::kind kind_of(const std::string& tag) {
  static const std::map<std::string, element::kind> kinds = {
      {"leftPowerRail", element::kind::left_rail},
      {"rightPowerRail", element::kind::right_rail},
      {"contact", element::kind::contact},
      {"coil", element::kind::coil},
      {"block", element::kind::block},
      {"inVariable", element::kind::in_variable},
      {"outVariable", element::kind::out_variable},
      {"inOutVariable", element::kind::inout_variable},
      {"connector", element::kind::connector},
      {"continuation", element::kind::continuation},
      {"step", element::kind::step},
      {"transition", element::kind::transition},
      {"selectionDivergence", element::kind::divergence},
      {"selectionConvergence", element::kind::divergence},
      {"simultaneousDivergence", element::kind::divergence},
      {"simultaneousConvergence", element::kind::divergence},
      {"jumpStep", element::kind::jump_step},
      {"actionBlock", element::kind::action_block},
  };
  const auto it = kinds.find(tag);
  return it == kinds.end() ? element::kind::other : it->second;
}

// The size an element gets when the file gives none.
void default_size(element& e, size_t pins) {
  double w = 60, h = 24;
  switch (e.k) {
    case element::kind::left_rail:
    case element::kind::right_rail:
      w = 4, h = std::max<double>(30, 30.0 * pins);
      break;
    case element::kind::contact:
    case element::kind::coil:
      w = 24, h = 20;
      break;
    case element::kind::block:
      w = 80, h = 20.0 * (pins + 1);
      break;
    case element::kind::step:
      w = 60, h = 30;
      break;
    case element::kind::transition:
      w = 24, h = 4;
      break;
    case element::kind::divergence:
      w = 40.0 * std::max<size_t>(pins, 2), h = 4;
      break;
    case element::kind::jump_step:
      w = 16, h = 16;
      break;
    case element::kind::action_block:
      w = 120, h = 20.0 * std::max<size_t>(1, e.actions.size());
      break;
    default:
      break;
  }
  if (e.w <= 0) e.w = w;
  if (e.h <= 0) e.h = h;
}

bool chart_kind(element::kind k) {
  return k == element::kind::step || k == element::kind::transition ||
         k == element::kind::divergence || k == element::kind::jump_step;
}

// Pins without a saved point: inputs on the left and outputs on the right;
// a chart's elements take them at the top and the bottom, a step its
// actions on its right.
void place_pins(raw_element& r, bool use_saved) {
  element& e = r.e;
  auto spread = [](size_t k, size_t n, double from, double length) {
    return from + length * (static_cast<double>(k) + 1) / (static_cast<double>(n) + 1);
  };
  auto place = [&](std::vector<raw_pin>& pins, bool input) {
    const size_t n = pins.size();
    for (size_t k = 0; k < n; ++k) {
      raw_pin& p = pins[k];
      if (use_saved && p.has_rel) {
        p.p.at = {e.x + p.rel.x, e.y + p.rel.y};
      } else if (p.p.name == "action") {
        p.p.at = {e.x + e.w, e.y + e.h / 2};
      } else if (chart_kind(e.k)) {
        const size_t m = input ? n : n - (e.k == element::kind::step ? 1 : 0);
        p.p.at = {e.k == element::kind::divergence ? spread(k, m, e.x, e.w) : e.x + e.w / 2,
                  input ? e.y : e.y + e.h};
      } else if (e.k == element::kind::block) {
        p.p.at = {input ? e.x : e.x + e.w, e.y + 20.0 * (static_cast<double>(k) + 1)};
      } else {
        p.p.at = {input ? e.x : e.x + e.w, spread(k, n, e.y, e.h)};
      }
    }
  };
  place(r.ins, true);
  place(r.outs, false);
}

raw_element read_element(const pugi::xml_node& n, const plc::program& prog) {
  raw_element r;
  element& e = r.e;
  e.tag = local_name(n);
  e.k = kind_of(e.tag);
  e.id = std::strtol(n.attribute("localId").value(), nullptr, 10);
  const point at = position_of(child(n, "position"));
  e.x = at.x, e.y = at.y;
  e.w = bounded(n.attribute("width"), 0, 2000);
  e.h = bounded(n.attribute("height"), 0, 2000);
  e.negated = n.attribute("negated").as_bool();
  e.edge = n.attribute("edge").value();
  if (e.edge == "none") e.edge.clear();
  e.storage = n.attribute("storage").value();
  if (e.storage == "none") e.storage.clear();
  e.initial = n.attribute("initialStep").as_bool();
  e.simultaneous = e.tag.rfind("simultaneous", 0) == 0;
  e.instance = n.attribute("instanceName").value();
  switch (e.k) {
    case element::kind::contact:
    case element::kind::coil:
      e.text = trimmed(child(n, "variable").child_value());
      break;
    case element::kind::in_variable:
    case element::kind::out_variable:
    case element::kind::inout_variable:
      e.text = trimmed(child(n, "expression").child_value());
      e.live = source_of(e.text, prog);
      break;
    case element::kind::block:
      e.text = n.attribute("typeName").value();
      break;
    case element::kind::connector:
    case element::kind::continuation:
    case element::kind::step:
      e.text = n.attribute("name").value();
      break;
    case element::kind::jump_step:
      e.text = n.attribute("targetName").value();
      break;
    case element::kind::transition: {
      const pugi::xml_node c = child(n, "condition");
      if (const pugi::xml_node ref = child(c, "reference")) e.text = ref.attribute("name").value();
      if (const pugi::xml_node in = child(c, "inline")) e.text = trimmed(all_text(in));
      break;
    }
    case element::kind::action_block:
      for (pugi::xml_node a : n.children()) {
        if (!is(a, "action")) continue;
        std::string q = a.attribute("qualifier").value();
        if (q.empty()) q = "N";
        std::string what = child(a, "reference").attribute("name").value();
        if (what.empty() && child(a, "inline")) what = trimmed(all_text(child(a, "inline")));
        const std::string d = a.attribute("duration").value();
        e.actions.push_back(q + (d.empty() ? "" : " " + d) + "  " + what);
      }
      break;
    default:
      e.text = n.attribute("label").value();
      if (e.text.empty()) e.text = trimmed(all_text(child(n, "content")));
      if (e.text.empty()) e.text = e.tag;
      break;
  }
  const std::string wire = "$" + std::to_string(e.id);
  if (e.k == element::kind::contact || e.k == element::kind::coil ||
      e.k == element::kind::connector)
    e.live = wire_source(prog, wire);
  if (e.k == element::kind::step) e.live = wire_source(prog, "$" + e.text + ".X");
  if (e.k == element::kind::left_rail) e.live.k = source::kind::rail;

  if (e.k == element::kind::block) {
    for (pugi::xml_node v : child(n, "inputVariables").children()) {
      if (!is(v, "variable")) continue;
      raw_pin p =
          read_point(child(v, "connectionPointIn"), v.attribute("formalParameter").value(), true);
      p.p.negated = v.attribute("negated").as_bool();
      p.p.edge = v.attribute("edge").value();
      if (p.p.edge == "none") p.p.edge.clear();
      r.ins.push_back(p);
    }
    for (pugi::xml_node v : child(n, "outputVariables").children()) {
      if (!is(v, "variable")) continue;
      raw_pin p =
          read_point(child(v, "connectionPointOut"), v.attribute("formalParameter").value(), false);
      p.p.negated = v.attribute("negated").as_bool();
      p.p.live = wire_source(prog, wire + "." + plc::upper_name(p.p.name));
      r.outs.push_back(p);
    }
  } else {
    auto inputs = [&](const pugi::xml_node& holder) {
      for (pugi::xml_node c : holder.children())
        if (is(c, "connectionPointIn")) r.ins.push_back(read_point(c, "", true));
    };
    inputs(n);
    inputs(child(n, "condition"));
    for (pugi::xml_node c : n.children()) {
      if (is(c, "connectionPointOut")) {
        raw_pin p = read_point(c, c.attribute("formalParameter").value(), false);
        p.p.live = e.live;
        if (e.k == element::kind::in_variable && e.negated) p.p.negated = true;
        r.outs.push_back(p);
      }
    }
    if (const pugi::xml_node a = child(n, "connectionPointOutAction")) {
      raw_pin p = read_point(a, "action", false);
      p.p.live = e.live;
      r.outs.push_back(p);
    }
    // A rail with no saved point still gives power.
    if (e.k == element::kind::left_rail && r.outs.empty()) {
      raw_pin p;
      p.p.live = e.live;
      r.outs.push_back(p);
    }
  }
  default_size(e, std::max(r.ins.size(), r.outs.size()));
  return r;
}

double distance2(point a, point b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

bool same(const plc::value& a, const plc::value& b) {
  return a.t == b.t && a.i == b.i && (a.r == b.r || (std::isnan(a.r) && std::isnan(b.r)));
}

bool read_source(const source& s, const plc::runtime& rt, plc::value* v) {
  switch (s.k) {
    case source::kind::variable:
      *v = rt.get(s.var);
      return true;
    case source::kind::member:
      *v = rt.member(s.var, s.member);
      return true;
    case source::kind::constant:
      *v = s.constant;
      return true;
    case source::kind::rail:
      *v = plc::value::of_bool(true);
      return true;
    default:
      return false;
  }
}

// Reads s into now; true if what it shows has changed.
bool update(const source& s, const plc::runtime& rt, plc::value* now, bool* known,
            bool invert = false) {
  plc::value v;
  const bool k = read_source(s, rt, &v);
  if (k && invert) v = plc::value::of_bool(!v.truth());
  if (k == *known && (!k || same(v, *now))) return false;
  *known = k;
  *now = v;
  return true;
}

void read_text_lines(const std::string& text, const plc::program& prog, body_model* m) {
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      m->lines.push_back(line);
      line.clear();
    } else {
      line += text[i] == '\t' ? ' ' : text[i];
    }
  }
  while (!m->lines.empty() && trimmed(m->lines.back()).empty()) m->lines.pop_back();
  // The variables and instance outputs (t.Q) each line names, outside
  // comments, each once.
  bool comment = false;
  auto word_end = [](const std::string& l, size_t j) {
    while (j < l.size() && (std::isalnum(static_cast<unsigned char>(l[j])) || l[j] == '_')) ++j;
    return j;
  };
  for (const std::string& l : m->lines) {
    std::vector<text_value> values;
    for (size_t i = 0; i < l.size();) {
      if (comment) {
        const size_t end = l.find("*)", i);
        if (end == std::string::npos) break;
        comment = false;
        i = end + 2;
      } else if (l.compare(i, 2, "(*") == 0) {
        comment = true;
        i += 2;
      } else if (l.compare(i, 2, "//") == 0) {
        break;
      } else if (std::isalpha(static_cast<unsigned char>(l[i])) || l[i] == '_') {
        size_t j = word_end(l, i);
        if (j + 1 < l.size() && l[j] == '.' && std::isalpha(static_cast<unsigned char>(l[j + 1])))
          j = word_end(l, j + 1);
        text_value v;
        v.name = l.substr(i, j - i);
        v.live = source_of(v.name, prog);
        const bool seen = std::any_of(values.begin(), values.end(), [&](const text_value& o) {
          return plc::same_name(o.name, v.name);
        });
        if (!seen && (v.live.k == source::kind::variable || v.live.k == source::kind::member))
          values.push_back(v);
        i = j;
      } else {
        ++i;
      }
    }
    m->line_values.push_back(values);
  }
  m->width = text_values_x(*m) + 320;
  m->height = 40 + text_row * static_cast<double>(m->lines.size());
}

bool text_is_xml(const std::string& text) {
  size_t i = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return i < text.size() && text[i] == '<';
}

}  // namespace

double text_values_x(const body_model& m) {
  size_t longest = 0;
  for (const std::string& l : m.lines) longest = std::max(longest, l.size());
  return 20 + text_char * static_cast<double>(longest) + 30;
}

bool body_model::input_value(int el, int p, plc::value* out) const {
  bool any = false;
  bool truth = false;
  for (const wire& w : wires) {
    if (w.to != el || w.to_pin != p) continue;
    const pin& from = elements[w.from].outputs[w.from_pin];
    if (!from.known) return false;
    if (!any) *out = from.now;
    truth = truth || from.now.truth();
    if (any) *out = plc::value::of_bool(truth);  // several wires: a wired OR
    any = true;
  }
  return any;
}

bool read_body_model(const std::string& text, const plc::program& prog, body_model* out,
                     std::string* error) {
  *out = body_model();
  out->pou = prog.name;
  if (!text_is_xml(text)) {
    out->language = "ST";
    read_text_lines(text, prog, out);
    return true;
  }
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size())) {
    *error = "cannot read the file as XML";
    return false;
  }
  // The POU by name, anywhere in the project.
  struct finder : pugi::xml_tree_walker {
    const std::string* name;
    pugi::xml_node found;
    bool for_each(pugi::xml_node& n) override {
      if (is(n, "pou") && plc::same_name(n.attribute("name").value(), *name)) {
        found = n;
        return false;
      }
      return true;
    }
  } f;
  f.name = &prog.name;
  doc.traverse(f);
  const pugi::xml_node body = first_element(child(f.found, "body"));
  if (!body) {
    *error = "no body of POU " + prog.name + " in the file";
    return false;
  }
  out->language = local_name(body);
  if (out->language == "ST") {
    read_text_lines(all_text(body), prog, out);
    return true;
  }
  std::vector<raw_element> raw;
  for (pugi::xml_node n : body.children()) {
    if (n.type() != pugi::node_element || is(n, "addData") || is(n, "documentation")) continue;
    raw.push_back(read_element(n, prog));
  }
  // Every element at (0, 0): the file saved no drawing, Graphviz places it.
  bool placed = false;
  for (const raw_element& r : raw) placed = placed || r.e.x != 0 || r.e.y != 0;
  std::map<long, int> index;
  for (size_t i = 0; i < raw.size(); ++i) index[raw[i].e.id] = static_cast<int>(i);
  for (raw_element& r : raw) out->elements.push_back(r.e);
  // The wires, from each consumer's connections.
  std::vector<std::vector<point>> saved;
  for (size_t i = 0; i < raw.size(); ++i) {
    for (size_t p = 0; p < raw[i].ins.size(); ++p) {
      for (const connection& c : raw[i].ins[p].from) {
        const auto it = index.find(c.ref);
        if (it == index.end() || raw[it->second].outs.empty()) continue;
        const raw_element& src = raw[it->second];
        int pin = -1;
        for (size_t k = 0; k < src.outs.size() && pin < 0; ++k)
          if (!c.formal.empty() && plc::same_name(src.outs[k].p.name, c.formal))
            pin = static_cast<int>(k);
        if (pin < 0 && raw[i].e.k == element::kind::action_block)
          for (size_t k = 0; k < src.outs.size(); ++k)
            if (src.outs[k].p.name == "action") pin = static_cast<int>(k);
        if (pin < 0 && !c.points.empty() && src.outs.size() > 1) {
          // Several outputs and no name: the one the saved line starts at.
          double best = -1;
          for (size_t k = 0; k < src.outs.size(); ++k) {
            const raw_pin& o = src.outs[k];
            const point at = {src.e.x + o.rel.x, src.e.y + o.rel.y};
            const double d = distance2(at, c.points.back());
            if (best < 0 || d < best) best = d, pin = static_cast<int>(k);
          }
        }
        if (pin < 0)
          for (size_t k = 0; k < src.outs.size() && pin < 0; ++k)
            if (!plc::same_name(src.outs[k].p.name, "ENO") && src.outs[k].p.name != "action")
              pin = static_cast<int>(k);
        if (pin < 0) pin = 0;
        wire w;
        w.from = it->second;
        w.from_pin = pin;
        w.to = static_cast<int>(i);
        w.to_pin = static_cast<int>(p);
        out->wires.push_back(w);
        saved.push_back(std::vector<point>(c.points.rbegin(), c.points.rend()));
      }
    }
  }
  if (!placed && raw.size() > 1 && layout_body(out)) {
    out->placed_by_graphviz = true;
    for (size_t i = 0; i < raw.size(); ++i) {
      raw[i].e.x = out->elements[i].x;
      raw[i].e.y = out->elements[i].y;
    }
  }
  for (size_t i = 0; i < raw.size(); ++i) {
    place_pins(raw[i], !out->placed_by_graphviz);
    element& e = out->elements[i];
    for (const raw_pin& p : raw[i].ins) e.inputs.push_back(p.p);
    for (const raw_pin& p : raw[i].outs) e.outputs.push_back(p.p);
  }
  // An action block shows its step's state.
  for (const wire& w : out->wires)
    if (out->elements[w.to].k == element::kind::action_block)
      out->elements[w.to].live = out->elements[w.from].live;
  // Lines: as saved, else from pin to pin with right angles.
  const bool vertical = out->language == "SFC";
  for (size_t k = 0; k < out->wires.size(); ++k) {
    wire& w = out->wires[k];
    const point a = out->elements[w.from].outputs[w.from_pin].at;
    const point b = out->elements[w.to].inputs[w.to_pin].at;
    if (!out->placed_by_graphviz && saved[k].size() >= 2) {
      w.points = saved[k];
    } else if (vertical || out->elements[w.to].k == element::kind::action_block) {
      const bool side = out->elements[w.to].k == element::kind::action_block;
      const double m = side ? (a.x + b.x) / 2 : (a.y + b.y) / 2;
      w.points = side ? std::vector<point>{a, {m, a.y}, {m, b.y}, b}
                      : std::vector<point>{a, {a.x, m}, {b.x, m}, b};
    } else {
      const double m = (a.x + b.x) / 2;
      w.points = {a, {m, a.y}, {m, b.y}, b};
    }
  }
  double right = 0, bottom = 0;
  for (const element& e : out->elements) {
    right = std::max(right, e.x + e.w);
    bottom = std::max(bottom, e.y + e.h);
  }
  for (const wire& w : out->wires)
    for (const point& p : w.points) right = std::max(right, p.x), bottom = std::max(bottom, p.y);
  out->width = right + 40;  // room for the values written beside the pins
  out->height = bottom + 20;
  return true;
}

bool refresh(body_model& m, const plc::runtime& rt) {
  bool changed = false;
  for (element& e : m.elements) {
    changed = update(e.live, rt, &e.now, &e.known) || changed;
    for (pin& p : e.outputs)
      changed =
          update(p.live, rt, &p.now, &p.known, p.negated && e.k == element::kind::in_variable) ||
          changed;
  }
  for (std::vector<text_value>& line : m.line_values)
    for (text_value& v : line) changed = update(v.live, rt, &v.now, &v.known) || changed;
  return changed;
}

}  // namespace plcview
