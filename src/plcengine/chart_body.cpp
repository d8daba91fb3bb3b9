#include "plcengine/chart_body.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "plcengine/graphic_body.h"
#include "plcengine/st_reader.h"

namespace plc {

namespace {

using namespace xml;

struct node {
  pugi::xml_node xml;
  std::string kind;
  long id = 0;
  std::vector<long> from;  // every connection into the element
  // A transition's condition drawn as a network: the connections into it.
  std::vector<long> cond_from;
  std::vector<std::string> cond_formals;
  double x = 0;
  int doc = 0;
};

class chart_compiler {
 public:
  chart_compiler(const pugi::xml_node& pou, const lines& ls, const std::string& file, program* p)
      : pou_(pou), ls_(ls), file_(file), p_(p) {}

  void run(const pugi::xml_node& body) {
    int doc = 0;
    for (pugi::xml_node n : body.children()) {
      if (n.type() != pugi::node_element || is(n, "comment") || is(n, "addData") ||
          is(n, "documentation"))
        continue;
      node e;
      e.xml = n;
      e.kind = local_name(n);
      e.id = std::strtol(n.attribute("localId").value(), nullptr, 10);
      e.x = child(n, "position").attribute("x").as_double();
      e.doc = doc++;
      // Contacts, blocks, variables drawn for the conditions: a network,
      // compiled once the transitions are known.
      if (!is_chart_element(e.kind)) {
        drawn_network_ = true;
        continue;
      }
      if (e.kind == "macroStep") fail(e, e.kind + " is not supported");
      for (pugi::xml_node point : n.children())
        if (is(point, "connectionPointIn"))
          for (pugi::xml_node c : point.children())
            if (is(c, "connection"))
              e.from.push_back(std::strtol(c.attribute("refLocalId").value(), nullptr, 10));
      // A condition drawn as a network; old files link it directly under
      // <condition>.
      const pugi::xml_node cond = child(n, "condition");
      for (pugi::xml_node c : child(cond, "connectionPointIn").children())
        if (is(c, "connection")) {
          e.cond_from.push_back(std::strtol(c.attribute("refLocalId").value(), nullptr, 10));
          e.cond_formals.push_back(c.attribute("formalParameter").value());
        }
      for (pugi::xml_node c : cond.children())
        if (is(c, "connection")) {
          e.cond_from.push_back(std::strtol(c.attribute("refLocalId").value(), nullptr, 10));
          e.cond_formals.push_back(c.attribute("formalParameter").value());
        }
      if (index_.count(e.id)) fail(e, "localId " + std::to_string(e.id) + " is used twice");
      index_[e.id] = static_cast<int>(nodes_.size());
      nodes_.push_back(e);
    }
    for (const node& e : nodes_)
      for (long r : e.from)
        if (!index_.count(r))
          fail(e,
               "its connection names localId " + std::to_string(r) + ", which is not in the body");

    chart_graph& c = p_->chart;
    for (const node& e : nodes_) {
      if (e.kind != "step") continue;
      chart_step s;
      s.name = e.xml.attribute("name").value();
      s.initial = e.xml.attribute("initialStep").as_bool();
      s.line = ls_.at(e.xml);
      for (const chart_step& o : c.steps)
        if (same_name(o.name, s.name)) fail(e, "step " + s.name + " is drawn twice");
      step_of_[e.id] = static_cast<int>(c.steps.size());
      c.steps.push_back(s);
      declare("$" + s.name + ".X", type::BOOL);
      declare("$" + s.name + ".T", type::TIME);
    }
    if (!c.steps.empty() &&
        std::none_of(c.steps.begin(), c.steps.end(), [](const chart_step& s) { return s.initial; }))
      throw error{file_, ls_.at(nodes_.front().xml),
                  "POU " + p_->name + ": the chart has no initial step"};

    // Transitions, in the order they are tried.
    std::vector<const node*> ts;
    for (const node& e : nodes_)
      if (e.kind == "transition") ts.push_back(&e);
    std::stable_sort(ts.begin(), ts.end(), [](const node* a, const node* b) {
      const long pa = a->xml.attribute("priority").as_int(),
                 pb = b->xml.attribute("priority").as_int();
      if (pa != pb) return pa < pb;
      if (a->x != b->x) return a->x < b->x;
      return a->doc < b->doc;
    });
    std::vector<drawn_point> drawn;
    std::vector<int> drawn_for;
    for (const node* t : ts) {
      chart_transition tr;
      tr.line = ls_.at(t->xml);
      std::set<int> from;
      for (long r : t->from) upstream_steps(*t, r, &from, 0);
      tr.from.assign(from.begin(), from.end());
      if (is_drawn(*t)) {
        drawn.push_back({t->xml, t->cond_from, t->cond_formals});
        drawn_for.push_back(static_cast<int>(c.transitions.size()));
      } else {
        tr.condition = condition_of(*t);
      }
      transition_index_[t->id] = static_cast<int>(c.transitions.size());
      c.transitions.push_back(tr);
    }
    if (drawn_network_ || !drawn.empty()) {
      std::vector<expr> conds = compile_drawn_conditions(body, drawn, ls_, file_, p_);
      for (size_t k = 0; k < conds.size(); ++k)
        c.transitions[drawn_for[k]].condition = std::move(conds[k]);
    }
    // Following steps: the steps (and jumps) downstream of each transition.
    for (const node& e : nodes_) {
      if (e.kind != "step" && e.kind != "jumpStep") continue;
      int target = -1;
      if (e.kind == "step") {
        target = step_of_.at(e.id);
      } else {
        const std::string name = e.xml.attribute("targetName").value();
        for (size_t s = 0; s < c.steps.size(); ++s)
          if (same_name(c.steps[s].name, name)) target = static_cast<int>(s);
        if (target < 0) fail(e, "jump to " + name + ", which is not a step of the chart");
      }
      std::set<long> before;
      for (long r : e.from) upstream_transitions(e, r, &before, 0);
      for (long t : before) {
        auto& to = c.transitions[transition_index_.at(t)].to;
        if (std::find(to.begin(), to.end(), target) == to.end()) to.push_back(target);
      }
    }
    for (size_t t = 0; t < ts.size(); ++t)
      if (c.transitions[t].from.empty() || c.transitions[t].to.empty())
        fail(*ts[t], "a transition needs a step before and after it");
    // Action blocks.
    for (const node& e : nodes_) {
      if (e.kind != "actionBlock") continue;
      if (e.from.size() != 1 || !step_of_.count(e.from[0]))
        fail(e, "an action block must hang on a step");
      chart_step& s = c.steps[step_of_.at(e.from[0])];
      for (pugi::xml_node a : e.xml.children())
        if (is(a, "action")) s.actions.push_back(action_of(e, a));
    }
  }

 private:
  [[noreturn]] void fail(const node& e, const std::string& message) const {
    throw error{file_, ls_.at(e.xml),
                "POU " + p_->name + ", element localId " + std::to_string(e.id) + ": " + message};
  }

  void declare(const std::string& name, type t) {
    variable v;
    v.name = name;
    v.type_name = type_name(t);
    v.t = t;
    v.wire = true;
    p_->vars.push_back(v);
  }

  const node& at(const node& user, long id) const {
    (void)user;
    return nodes_[index_.at(id)];
  }

  // The steps a transition leaves, through divergences and convergences.
  void upstream_steps(const node& user, long id, std::set<int>* out, int depth) {
    const node& e = at(user, id);
    if (depth > 100) fail(user, "the chart's links go round");
    if (e.kind == "step") {
      out->insert(step_of_.at(e.id));
    } else if (e.kind == "selectionDivergence" || e.kind == "simultaneousConvergence") {
      for (long r : e.from) upstream_steps(user, r, out, depth + 1);
    } else {
      fail(user,
           "a transition must follow a step, a selection divergence or a simultaneous convergence, "
           "not " +
               e.kind);
    }
  }

  // The transitions leading into a step.
  void upstream_transitions(const node& user, long id, std::set<long>* out, int depth) {
    const node& e = at(user, id);
    if (depth > 100) fail(user, "the chart's links go round");
    if (e.kind == "transition") {
      out->insert(e.id);
    } else if (e.kind == "selectionConvergence" || e.kind == "simultaneousDivergence") {
      for (long r : e.from) upstream_transitions(user, r, out, depth + 1);
    } else {
      fail(user,
           "a step must follow a transition, a selection convergence or a simultaneous divergence, "
           "not " +
               e.kind);
    }
  }

  // Structured Text that is an expression, possibly ended by ";".
  expr st_expression(const node& e, const pugi::xml_node& st) {
    std::string text;
    int line = 0;
    collect(st, &text, &line);
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
      text.pop_back();
    expr out;
    error err;
    if (!read_st_expression(text, file_, line ? line : ls_.at(st), &out, &err))
      throw error{err.file, err.line,
                  "POU " + p_->name + ", element localId " + std::to_string(e.id) +
                      ": condition: " + err.message};
    return out;
  }

  void collect(const pugi::xml_node& n, std::string* text, int* line) {
    for (pugi::xml_node c : n.children()) {
      if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
        if (*line == 0) *line = ls_.at(c.offset_debug());
        *text += c.value();
      } else if (c.type() == pugi::node_element) {
        collect(c, text, line);
      }
    }
  }

  // A condition neither inline nor by reference, fed by the network drawn
  // into the chart.
  static bool is_drawn(const node& t) {
    const pugi::xml_node cond = child(t.xml, "condition");
    return !child(cond, "inline") && !child(cond, "reference") && !t.cond_from.empty();
  }

  expr condition_of(const node& t) {
    const pugi::xml_node cond = child(t.xml, "condition");
    const pugi::xml_node inline_ = child(cond, "inline");
    if (inline_) {
      const pugi::xml_node lang =
          first_element(child(inline_, "body") ? child(inline_, "body") : inline_);
      const pugi::xml_node st = is(lang, "ST") ? lang : child(inline_, "ST");
      if (!st)
        fail(t, "a condition in " + std::string(lang ? local_name(lang) : "no language") +
                    " is not supported");
      return st_expression(t, st);
    }
    const pugi::xml_node ref = child(cond, "reference");
    if (ref) {
      const std::string name = ref.attribute("name").value();
      for (pugi::xml_node tr : child(pou_, "transitions").children()) {
        if (!is(tr, "transition") || !same_name(tr.attribute("name").value(), name)) continue;
        const pugi::xml_node lang = first_element(child(tr, "body"));
        if (!is(lang, "ST"))
          fail(t, "transition " + name + " in " + (lang ? local_name(lang) : "no language") +
                      " is not supported");
        std::string text;
        int line = 0;
        collect(lang, &text, &line);
        // Written either as an expression or as "name := expression;".
        const size_t assign = text.find(":=");
        if (assign != std::string::npos) {
          std::string head = text.substr(0, assign);
          head.erase(
              std::remove_if(head.begin(), head.end(),
                             [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
              head.end());
          if (same_name(head, name)) {
            pugi::xml_document scratch;
            const std::string rest = text.substr(assign + 2);
            int skipped = 0;
            for (size_t i = 0; i < assign; ++i) skipped += text[i] == '\n';
            expr out;
            error err;
            std::string body = rest;
            while (!body.empty() &&
                   (std::isspace(static_cast<unsigned char>(body.back())) || body.back() == ';'))
              body.pop_back();
            if (!read_st_expression(body, file_, (line ? line : ls_.at(lang)) + skipped, &out,
                                    &err))
              throw error{err.file, err.line,
                          "POU " + p_->name + ", transition " + name + ": " + err.message};
            return out;
          }
        }
        return st_expression(t, lang);
      }
      fail(t, "no transition named " + name + " in the POU");
    }
    fail(t, "a transition without a condition");
  }

  chart_action action_of(const node& block, const pugi::xml_node& a) {
    chart_action out;
    out.line = ls_.at(a);
    const std::string q = a.attribute("qualifier") ? a.attribute("qualifier").value() : "N";
    if (q.size() != 1 || std::string("NSRPLD").find(q[0]) == std::string::npos)
      fail(block, "qualifier " + q + " is not supported");
    out.qualifier = q[0];
    if (out.qualifier == 'L' || out.qualifier == 'D') {
      std::string d = a.attribute("duration").value();
      if (d.find('#') == std::string::npos) d = "T#" + d;
      value v;
      if (!parse_literal(d, &v) || v.t != type::TIME)
        fail(block, std::string("qualifier ") + q + " needs a duration such as T#5s");
      out.duration_ms = v.i;
    }
    const pugi::xml_node ref = child(a, "reference");
    if (ref) {
      out.target = ref.attribute("name").value();
      for (pugi::xml_node pa : child(pou_, "actions").children()) {
        if (!is(pa, "action") || !same_name(pa.attribute("name").value(), out.target)) continue;
        out.body = body_index(out.target, first_element(child(pa, "body")), block);
        break;
      }
      return out;
    }
    const pugi::xml_node in = child(a, "inline");
    if (!in) fail(block, "an action needs a reference or an inline body");
    const pugi::xml_node lang =
        child(in, "body") ? first_element(child(in, "body")) : first_element(in);
    out.target = "inline " + std::to_string(block.id);
    out.body = body_index(out.target + "." + std::to_string(out.line), lang, block);
    return out;
  }

  // The index of a body in the chart, read once however many steps use it.
  int body_index(const std::string& name, const pugi::xml_node& lang, const node& user) {
    chart_graph& c = p_->chart;
    for (size_t b = 0; b < c.body_names.size(); ++b)
      if (same_name(c.body_names[b], name)) return static_cast<int>(b);
    stmt_list body;
    if (is(lang, "ST")) {
      std::string text;
      int line = 0;
      collect(lang, &text, &line);
      error err;
      if (!read_st_body(text, file_, line ? line : ls_.at(lang), &body, &err))
        throw error{err.file, err.line,
                    "POU " + p_->name + ", action " + name + ": " + err.message};
    } else if (is(lang, "LD") || is(lang, "FBD")) {
      std::swap(body, p_->body);
      compile_graphic_body(lang, ls_, file_, p_);
      std::swap(body, p_->body);
    } else {
      fail(user, "an action in " + std::string(lang ? local_name(lang) : "no language") +
                     " is not supported");
    }
    c.bodies.push_back(std::move(body));
    c.body_names.push_back(name);
    return static_cast<int>(c.bodies.size()) - 1;
  }

  const pugi::xml_node pou_;
  const lines& ls_;
  const std::string& file_;
  program* p_;
  std::vector<node> nodes_;
  std::map<long, int> index_, step_of_, transition_index_;
  bool drawn_network_ = false;
};

}  // namespace

void compile_chart_body(const pugi::xml_node& body, const pugi::xml_node& pou, const lines& ls,
                        const std::string& file, program* p) {
  p->has_chart = true;
  chart_compiler c(pou, ls, file, p);
  c.run(body);
}

}  // namespace plc
