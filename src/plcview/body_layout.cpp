#include "plcview/body_layout.h"

#include <graphviz/gvc.h>

#include <string>

namespace plcview {

namespace {

void set(void* obj, const char* name, const std::string& value) {
  agsafeset(obj, const_cast<char*>(name), const_cast<char*>(value.c_str()), const_cast<char*>(""));
}

GVC_t* context() {
  static GVC_t* gvc = gvContext();  // one for the whole process
  return gvc;
}

}  // namespace

bool layout_body(body_model* m) {
  Agdesc_t directed = Agdirected;
  Agraph_t* g = agopen(const_cast<char*>("body"), directed, nullptr);
  const bool chart = m->language == "SFC";
  set(g, "rankdir", chart ? "TB" : "LR");
  set(g, "nodesep", "0.3");
  set(g, "ranksep", chart ? "0.4" : "0.8");  // room for the values beside the pins
  std::vector<Agnode_t*> nodes;
  for (size_t i = 0; i < m->elements.size(); ++i) {
    const element& e = m->elements[i];
    Agnode_t* n = agnode(g, const_cast<char*>(("e" + std::to_string(i)).c_str()), 1);
    set(n, "shape", "box");
    set(n, "fixedsize", "true");
    set(n, "label", "");
    // The size with room above for the texts drawn over contacts and coils.
    const double h = e.k == element::kind::contact || e.k == element::kind::coil ? e.h + 24 : e.h;
    set(n, "width", std::to_string(e.w / 72.0));
    set(n, "height", std::to_string(h / 72.0));
    nodes.push_back(n);
  }
  int rank = 0;
  for (const wire& w : m->wires) {
    Agnode_t* a = nodes[w.from];
    Agnode_t* b = nodes[w.to];
    if (m->elements[w.to].k == element::kind::action_block) {
      // Beside its step, on the same rank.
      Agraph_t* same = agsubg(g, const_cast<char*>(("r" + std::to_string(rank++)).c_str()), 1);
      set(same, "rank", "same");
      agsubnode(same, a, 1);
      agsubnode(same, b, 1);
    }
    agedge(g, a, b, nullptr, 1);
  }
  if (gvLayout(context(), g, "dot") != 0) {
    agclose(g);
    return false;
  }
  const boxf bb = GD_bb(g);
  for (size_t i = 0; i < nodes.size(); ++i) {
    element& e = m->elements[i];
    const double w = ND_width(nodes[i]) * 72.0, h = ND_height(nodes[i]) * 72.0;
    e.x = 20 + ND_coord(nodes[i]).x - bb.LL.x - w / 2;
    e.y = 20 + bb.UR.y - ND_coord(nodes[i]).y - h / 2 + (h - e.h);
  }
  gvFreeLayout(context(), g);
  agclose(g);
  return true;
}

}  // namespace plcview
