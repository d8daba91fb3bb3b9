#include "plcview/chart_layout.h"

#include <graphviz/gvc.h>

#include <cstdio>
#include <memory>

namespace sfc {

namespace {

int precedence(expr::op k) {
  switch (k) {
    case expr::op::or_: return 1;
    case expr::op::xor_: return 2;
    case expr::op::and_: return 3;
    case expr::op::eq: case expr::op::ne: case expr::op::lt:
    case expr::op::le: case expr::op::gt: case expr::op::ge: return 4;
    case expr::op::add: case expr::op::sub: return 5;
    case expr::op::mul: case expr::op::div: case expr::op::mod: return 6;
    case expr::op::not_: case expr::op::neg: return 7;
    default: return 8;
  }
}

const char* op_text(expr::op k) {
  switch (k) {
    case expr::op::or_: return " OR ";
    case expr::op::xor_: return " XOR ";
    case expr::op::and_: return " AND ";
    case expr::op::eq: return " = ";
    case expr::op::ne: return " <> ";
    case expr::op::lt: return " < ";
    case expr::op::le: return " <= ";
    case expr::op::gt: return " > ";
    case expr::op::ge: return " >= ";
    case expr::op::add: return " + ";
    case expr::op::sub: return " - ";
    case expr::op::mul: return " * ";
    case expr::op::div: return " / ";
    case expr::op::mod: return " MOD ";
    default: return " ? ";
  }
}

std::string time_text(std::int64_t ms) {
  if (ms == 0) return "T#0s";
  std::string out = "T#";
  const std::int64_t units[] = {86400000, 3600000, 60000, 1000, 1};
  const char* names[] = {"d", "h", "m", "s", "ms"};
  for (int k = 0; k < 5; ++k) {
    if (ms >= units[k]) {
      out += std::to_string(ms / units[k]) + names[k];
      ms %= units[k];
    }
  }
  return out;
}

// Text with the parentheses needed at the given outer precedence.
std::string text_at(const expr& e, int outer) {
  const int p = precedence(e.kind);
  std::string t;
  switch (e.kind) {
    case expr::op::constant: t = std::to_string(e.value); break;
    case expr::op::name: t = e.name; break;
    case expr::op::step_x: t = e.name + ".X"; break;
    case expr::op::step_t: t = e.name + ".T"; break;
    case expr::op::re: t = "RE(" + text_at(e.args[0], 0) + ")"; break;
    case expr::op::fe: t = "FE(" + text_at(e.args[0], 0) + ")"; break;
    case expr::op::not_: t = "NOT " + text_at(e.args[0], p); break;
    case expr::op::neg: t = "-" + text_at(e.args[0], p); break;
    default:
      // A step's time compared with a constant: the constant is a duration.
      if (p == 4 && e.args[0].kind == expr::op::step_t && e.args[1].kind == expr::op::constant)
        t = text_at(e.args[0], p) + op_text(e.kind) + time_text(e.args[1].value);
      else
        t = text_at(e.args[0], p) + op_text(e.kind) + text_at(e.args[1], p + 1);
      break;
  }
  return p < outer ? "(" + t + ")" : t;
}

std::string conditions_text(const expr& e) { return text_at(e, 0); }

void set(void* obj, const char* name, const std::string& value) {
  agsafeset(obj, const_cast<char*>(name), const_cast<char*>(value.c_str()),
            const_cast<char*>(""));
}

// The chart as a Graphviz graph, with the nodes of each element by index.
struct chart_graph {
  Agraph_t* g = nullptr;
  std::vector<Agnode_t*> steps, actions, bars, joins, splits;
  std::vector<Agedge_t*> edges;
};

Agnode_t* node(Agraph_t* g, const std::string& name) {
  return agnode(g, const_cast<char*>(name.c_str()), 1);
}

Agedge_t* link(chart_graph& cg, Agnode_t* a, Agnode_t* b) {
  Agedge_t* e = agedge(cg.g, a, b, nullptr, 1);
  cg.edges.push_back(e);
  return e;
}

std::string actions_label(const step& s) {
  std::string label;
  for (const association& a : s.actions) {
    label += a.target + " (" + qualifier_name(a.qual);
    if (a.duration_ms >= 0) label += ", " + time_text(a.duration_ms);
    label += ")\\l";
  }
  return label;
}

chart_graph build_graph(const chart& c) {
  chart_graph cg;
  Agdesc_t directed = Agdirected;
  cg.g = agopen(const_cast<char*>("chart"), directed, nullptr);
  set(cg.g, "nodesep", "0.3");
  set(cg.g, "ranksep", "0.25");
  set(cg.g, "forcelabels", "true");
  agattr(cg.g, AGNODE, const_cast<char*>("fontname"), const_cast<char*>("Helvetica"));
  agattr(cg.g, AGNODE, const_cast<char*>("fontsize"), const_cast<char*>("12"));
  agattr(cg.g, AGEDGE, const_cast<char*>("arrowhead"), const_cast<char*>("none"));
  for (size_t s = 0; s < c.steps.size(); ++s) {
    Agnode_t* n = node(cg.g, "s" + std::to_string(s));
    set(n, "shape", "box");
    set(n, "label", c.steps[s].name);
    if (c.steps[s].initial) set(n, "peripheries", "2");
    cg.steps.push_back(n);
    Agnode_t* a = nullptr;
    if (!c.steps[s].actions.empty()) {
      // Beside its step: same rank, joined by a short line.
      Agraph_t* rank = agsubg(cg.g, const_cast<char*>(("r" + std::to_string(s)).c_str()), 1);
      set(rank, "rank", "same");
      a = node(rank, "a" + std::to_string(s));
      agsubnode(rank, n, 1);
      set(a, "shape", "box");
      set(a, "label", actions_label(c.steps[s]));
      set(a, "fontsize", "11");
      Agedge_t* e = link(cg, n, a);
      set(e, "minlen", "1");
    }
    cg.actions.push_back(a);
  }
  for (size_t t = 0; t < c.transitions.size(); ++t) {
    const transition& tr = c.transitions[t];
    Agnode_t* bar = node(cg.g, "t" + std::to_string(t));
    set(bar, "shape", "box");
    set(bar, "style", "filled");
    set(bar, "fillcolor", "black");
    set(bar, "label", "");
    set(bar, "width", "0.5");
    set(bar, "height", "0.05");
    set(bar, "xlabel", conditions_text(tr.condition));
    set(bar, "fontsize", "11");
    cg.bars.push_back(bar);
    auto double_line = [&](const std::string& name, size_t branches) {
      Agnode_t* d = node(cg.g, name);
      set(d, "shape", "box");
      set(d, "label", "");
      set(d, "peripheries", "2");
      set(d, "height", "0.02");
      set(d, "width", std::to_string(0.9 * static_cast<double>(branches)));
      return d;
    };
    Agnode_t* join = nullptr;
    Agnode_t* split = nullptr;
    if (tr.from.size() > 1) join = double_line("j" + std::to_string(t), tr.from.size());
    if (tr.to.size() > 1) split = double_line("d" + std::to_string(t), tr.to.size());
    cg.joins.push_back(join);
    cg.splits.push_back(split);
    for (const std::string& f : tr.from) {
      const int s = c.step_index(f);
      if (s >= 0) link(cg, cg.steps[s], join ? join : bar);
    }
    if (join) link(cg, join, bar);
    if (split) link(cg, bar, split);
    for (const std::string& n : tr.to) {
      const int s = c.step_index(n);
      if (s >= 0) link(cg, split ? split : bar, cg.steps[s]);
    }
  }
  return cg;
}

GVC_t* context() {
  static GVC_t* gvc = gvContext();  // one for the whole process
  return gvc;
}

layout_box box_of(Agnode_t* n, double top) {
  if (n == nullptr) return layout_box();
  layout_box b;
  b.w = ND_width(n) * 72.0;
  b.h = ND_height(n) * 72.0;
  b.x = ND_coord(n).x - b.w / 2;
  b.y = top - ND_coord(n).y - b.h / 2;
  return b;
}

}  // namespace

std::string expr_text(const expr& e) { return conditions_text(e); }

chart_layout layout_chart(const chart& c) {
  chart_layout out;
  chart_graph cg = build_graph(c);
  if (gvLayout(context(), cg.g, "dot") != 0) {
    agclose(cg.g);
    return out;
  }
  const boxf bb = GD_bb(cg.g);
  const double top = bb.UR.y;
  out.width = bb.UR.x - bb.LL.x;
  out.height = bb.UR.y - bb.LL.y;
  for (size_t s = 0; s < c.steps.size(); ++s) {
    out.steps.push_back(box_of(cg.steps[s], top));
    out.actions.push_back(box_of(cg.actions[s], top));
    std::string text;
    for (const association& a : c.steps[s].actions) {
      text += a.target + " (" + qualifier_name(a.qual);
      if (a.duration_ms >= 0) text += ", " + time_text(a.duration_ms);
      text += ")\n";
    }
    out.action_text.push_back(text);
  }
  for (size_t t = 0; t < c.transitions.size(); ++t) {
    out.bars.push_back(box_of(cg.bars[t], top));
    out.joins.push_back(box_of(cg.joins[t], top));
    out.splits.push_back(box_of(cg.splits[t], top));
    out.conditions.push_back(conditions_text(c.transitions[t].condition));
  }
  for (Agedge_t* e : cg.edges) {
    std::vector<std::pair<double, double>> line;
    const splines* spl = ED_spl(e);
    if (spl != nullptr && spl->size > 0) {
      const bezier& bz = spl->list[0];
      // Cubic pieces: points 0..3, 3..6, ...; each sampled in 8 segments.
      for (int k = 0; k + 3 < bz.size; k += 3) {
        for (int i = (k == 0 ? 0 : 1); i <= 8; ++i) {
          const double u = i / 8.0, v = 1 - u;
          const pointf* p = bz.list + k;
          const double x = v * v * v * p[0].x + 3 * v * v * u * p[1].x + 3 * v * u * u * p[2].x +
                           u * u * u * p[3].x;
          const double y = v * v * v * p[0].y + 3 * v * v * u * p[1].y + 3 * v * u * u * p[2].y +
                           u * u * u * p[3].y;
          line.emplace_back(x, top - y);
        }
      }
    }
    out.links.push_back(line);
  }
  gvFreeLayout(context(), cg.g);
  agclose(cg.g);
  return out;
}

bool write_chart_svg(const chart& c, const std::string& path, std::string* error) {
  chart_graph cg = build_graph(c);
  bool ok = gvLayout(context(), cg.g, "dot") == 0;
  if (ok) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ok = f != nullptr && gvRender(context(), cg.g, "svg", f) == 0;
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    gvFreeLayout(context(), cg.g);
  }
  agclose(cg.g);
  if (!ok) *error = "cannot write the chart to " + path;
  return ok;
}

}  // namespace sfc
