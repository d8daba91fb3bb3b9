#include "plcengine/graphic_body.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "plcengine/runtime.h"
#include "plcengine/st_reader.h"
#include "plcengine/std_blocks.h"

namespace plc {

namespace {

using namespace xml;

struct connection {
  long ref = 0;
  std::string formal;
};

struct pin {
  std::string formal;
  bool negated = false;
  std::string edge;  // "", "rising", "falling"
  std::vector<connection> from;
};

struct element {
  pugi::xml_node node;
  std::string kind;
  long id = 0;
  long order = 0;
  double x = 0, y = 0;
  int doc = 0;
  std::vector<pin> inputs;
  std::vector<pin> outputs;  // blocks only
  int state = 0;             // 0 not emitted, 1 being emitted, 2 emitted
  int network = 0;           // the network it belongs to, unique in the program
};

std::vector<connection> connections_of(const pugi::xml_node& point) {
  std::vector<connection> out;
  for (pugi::xml_node c : point.children()) {
    if (!is(c, "connection")) continue;
    connection k;
    k.ref = std::strtol(c.attribute("refLocalId").value(), nullptr, 10);
    k.formal = c.attribute("formalParameter").value();
    out.push_back(k);
  }
  return out;
}

const char* const chart_kinds[] = {"step",
                                   "macroStep",
                                   "transition",
                                   "selectionDivergence",
                                   "selectionConvergence",
                                   "simultaneousDivergence",
                                   "simultaneousConvergence",
                                   "jumpStep",
                                   "actionBlock"};

}  // namespace

bool is_chart_element(const std::string& kind) {
  return std::any_of(std::begin(chart_kinds), std::end(chart_kinds),
                     [&](const char* k) { return kind == k; });
}

namespace {

class compiler {
 public:
  compiler(const lines& ls, const std::string& file, program* p, bool in_chart = false)
      : ls_(ls), file_(file), p_(p), in_chart_(in_chart) {}

  void run(const pugi::xml_node& body) {
    int doc = 0;
    for (pugi::xml_node n : body.children()) {
      if (n.type() != pugi::node_element || is(n, "comment") || is(n, "addData") ||
          is(n, "documentation"))
        continue;
      if (in_chart_ && is_chart_element(local_name(n))) {
        chart_ids_.insert(std::strtol(n.attribute("localId").value(), nullptr, 10));
        continue;
      }
      element e;
      e.node = n;
      e.kind = local_name(n);
      e.id = std::strtol(n.attribute("localId").value(), nullptr, 10);
      e.order = std::strtol(n.attribute("executionOrderId").value(), nullptr, 10);
      const pugi::xml_node pos = child(n, "position");
      e.x = pos.attribute("x").as_double();
      e.y = pos.attribute("y").as_double();
      e.doc = doc++;
      static const char* const known[] = {
          "leftPowerRail", "rightPowerRail", "contact",   "coil",         "block", "inVariable",
          "outVariable",   "inOutVariable",  "connector", "continuation", "return"};
      if (std::none_of(std::begin(known), std::end(known),
                       [&](const char* k) { return e.kind == k; }))
        fail(e, e.kind + " is not supported");
      read_pins(e);
      if (index_.count(e.id)) fail(e, "localId " + std::to_string(e.id) + " is used twice");
      index_[e.id] = static_cast<int>(elements_.size());
      elements_.push_back(e);
    }
    // Every connection names an element of the body.
    for (element& e : elements_)
      for (const pin& p : e.inputs)
        for (const connection& c : p.from)
          if (!index_.count(c.ref))
            fail(e, "its connection names localId " + std::to_string(c.ref) +
                        (chart_ids_.count(c.ref) ? ", an element of the chart, not of a network"
                                                 : ", which is not in the body"));
    number_networks();
    std::vector<int> order(elements_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      const element &x = elements_[a], &y = elements_[b];
      const bool xo = x.order > 0, yo = y.order > 0;
      if (xo != yo) return xo;
      if (xo && x.order != y.order) return x.order < y.order;
      if (x.y != y.y) return x.y < y.y;
      if (x.x != y.x) return x.x < y.x;
      return x.doc < y.doc;
    });
    auto sink = [](const element& e) {
      return e.kind == "coil" || e.kind == "outVariable" || e.kind == "inOutVariable" ||
             e.kind == "return" || e.kind == "connector";
    };
    for (int i : order)
      if (elements_[i].order > 0 || sink(elements_[i])) emit(i, 0);
    for (int i : order) emit(i, 0);
  }

  // The value flowing into a point outside the network (a transition's
  // condition), once every element has been emitted.
  expr value_into(const drawn_point& point) {
    element user;
    user.node = point.user;
    user.kind = local_name(point.user);
    user.id = std::strtol(point.user.attribute("localId").value(), nullptr, 10);
    pin p;
    for (size_t k = 0; k < point.refs.size(); ++k) {
      if (!index_.count(point.refs[k]))
        fail(user,
             "its condition's connection names localId " + std::to_string(point.refs[k]) +
                 (chart_ids_.count(point.refs[k]) ? ", an element of the chart, not of a network"
                                                  : ", which is not in the body"));
      p.from.push_back({point.refs[k], k < point.formals.size() ? point.formals[k] : ""});
    }
    return input_of(user, p, 0);
  }

 private:
  [[noreturn]] void fail(const element& e, const std::string& message) const {
    throw error{file_, ls_.at(e.node),
                "POU " + p_->name + ", element localId " + std::to_string(e.id) + ": " + message};
  }

  // Networks: elements linked by wires, the power rails (which every rung
  // shares) left out, a connector joined to its continuations. Numbered
  // from p's count on, in the order their first element is drawn.
  void number_networks() {
    std::vector<int> up(elements_.size());
    for (size_t i = 0; i < up.size(); ++i) up[i] = static_cast<int>(i);
    auto root = [&](int i) {
      while (up[i] != i) i = up[i] = up[up[i]];
      return i;
    };
    auto rail = [](const element& e) {
      return e.kind == "leftPowerRail" || e.kind == "rightPowerRail";
    };
    for (size_t i = 0; i < elements_.size(); ++i) {
      const element& e = elements_[i];
      if (rail(e)) continue;
      for (const pin& p : e.inputs)
        for (const connection& c : p.from)
          if (!rail(elements_[index_.at(c.ref)]))
            up[root(static_cast<int>(i))] = root(index_.at(c.ref));
      if (e.kind != "continuation") continue;
      for (size_t k = 0; k < elements_.size(); ++k)
        if (elements_[k].kind == "connector" &&
            same_name(elements_[k].node.attribute("name").value(),
                      e.node.attribute("name").value()))
          up[root(static_cast<int>(i))] = root(static_cast<int>(k));
    }
    std::map<int, int> number;
    for (size_t i = 0; i < elements_.size(); ++i) {
      const int r = root(static_cast<int>(i));
      if (!number.count(r)) number[r] = ++p_->networks;
      elements_[i].network = number[r];
    }
  }

  void read_pins(element& e) {
    auto read_var_pins = [&](const char* section, std::vector<pin>* out, bool input) {
      for (pugi::xml_node v : child(e.node, section).children()) {
        if (!is(v, "variable")) continue;
        pin p;
        p.formal = v.attribute("formalParameter").value();
        p.negated = v.attribute("negated").as_bool();
        p.edge = v.attribute("edge").value();
        if (p.edge == "none") p.edge.clear();
        if (input) p.from = connections_of(child(v, "connectionPointIn"));
        out->push_back(p);
      }
    };
    if (e.kind == "block") {
      read_var_pins("inputVariables", &e.inputs, true);
      read_var_pins("outputVariables", &e.outputs, false);
      if (first_element(child(e.node, "inOutVariables")))
        fail(e, "an in-out parameter of block " +
                    std::string(e.node.attribute("typeName").value()) + " is not supported");
      return;
    }
    if (e.kind == "leftPowerRail" || e.kind == "inVariable" || e.kind == "continuation") return;
    pin p;
    p.from = connections_of(child(e.node, "connectionPointIn"));
    e.inputs.push_back(p);
  }

  // A wire: a variable of the program holding an element's output.
  // Until first written it reads as zero of type t.
  expr wire(const std::string& name, type t = type::BOOL) {
    if (p_->find(name) < 0) {
      variable v;
      v.name = name;
      v.wire = true;
      v.type_name = "BOOL";
      v.t = type::BOOL;
      v.has_initial = true;
      v.initial = convert(value::of_int(type::LINT, 0), t);
      p_->vars.push_back(v);
    }
    expr e;
    e.k = expr::kind::name;
    e.name = name;
    return e;
  }
  std::string wire_name(const element& e, const std::string& pin = "") const {
    return "$" + std::to_string(e.id) + (pin.empty() ? "" : "." + pin);
  }

  // A standard block instance of the drawn body's own (edges).
  std::string hidden_instance(const std::string& name, const char* type_name) {
    if (p_->find(name) < 0) {
      variable v;
      v.name = name;
      v.type_name = type_name;
      v.is_fb = true;
      v.wire = true;
      p_->vars.push_back(v);
    }
    return name;
  }

  static expr literal_bool(bool b) {
    expr e;
    e.lit = value::of_bool(b);
    return e;
  }
  static expr unary_not(expr a) {
    expr e;
    e.k = expr::kind::unary;
    e.op = "NOT";
    e.line = a.line;
    e.args.push_back(std::move(a));
    return e;
  }
  static expr binary(const char* op, expr a, expr b) {
    expr e;
    e.k = expr::kind::binary;
    e.op = op;
    e.line = a.line;
    e.args.push_back(std::move(a));
    e.args.push_back(std::move(b));
    return e;
  }
  stmt assign(expr target, expr v, int line) {
    stmt s;
    s.k = stmt::kind::assign;
    s.line = line;
    s.target = std::move(target);
    s.value = std::move(v);
    return s;
  }
  // Calls an edge detector on v and gives its Q.
  expr edge_of(const std::string& name, bool rising, expr v, int line) {
    const std::string inst = hidden_instance(name, rising ? "R_TRIG" : "F_TRIG");
    stmt call;
    call.k = stmt::kind::fb_call;
    call.line = line;
    call.instance = inst;
    call_param cp;
    cp.formal = "CLK";
    cp.value = std::move(v);
    call.params.push_back(std::move(cp));
    p_->body.push_back(std::move(call));
    expr q;
    q.k = expr::kind::member;
    q.name = inst;
    q.member = "Q";
    q.line = line;
    return q;
  }

  // The expression text of a variable element or of a contact or coil.
  expr expression_of(const element& e, const pugi::xml_node& holder) {
    std::string text = holder.child_value();
    if (text.empty()) fail(e, "no variable or expression given");
    expr out;
    error err;
    if (!read_st_expression(text, file_, ls_.at(holder), &out, &err))
      fail(e, "\"" + text + "\": " + err.message);
    return out;
  }
  // A contact or a coil reads or writes a BOOL: on a number it would read
  // any value but 0 as TRUE, or write 0 and 1.
  void need_bool(const element& e, const expr& v) {
    if (v.k != expr::kind::name) return;
    const int i = p_->find(v.name);
    if (i < 0 || p_->vars[i].wire) return;
    type t;
    fb_kind fb;
    const std::string& declared = p_->vars[i].type_name;
    if ((type_of_name(declared, &t) && t != type::BOOL) || fb_kind_of(declared, &fb))
      fail(e, e.kind + " on " + v.name + " (" + declared + "): a contact or a coil needs a BOOL");
  }
  expr target_of(const element& e, const pugi::xml_node& holder) {
    expr t = expression_of(e, holder);
    if (t.k != expr::kind::name && t.k != expr::kind::member)
      fail(e, "\"" + std::string(holder.child_value()) + "\" is not a variable to write");
    return t;
  }

  // What flows out of element src through a connection naming formal.
  expr source(const element& user, const connection& c, int depth) {
    const int i = index_.at(c.ref);
    element& s = elements_[i];
    if (s.state == 0) emit(i, depth + 1);
    if (s.kind == "leftPowerRail") return literal_bool(true);
    if (s.kind == "inVariable") {
      expr v = expression_of(s, child(s.node, "expression"));
      return s.node.attribute("negated").as_bool() ? unary_not(std::move(v)) : v;
    }
    if (s.kind == "inOutVariable") return expression_of(s, child(s.node, "expression"));
    if (s.kind == "continuation") {
      const std::string name = s.node.attribute("name").value();
      for (size_t k = 0; k < elements_.size(); ++k) {
        if (elements_[k].kind == "connector" &&
            same_name(elements_[k].node.attribute("name").value(), name)) {
          if (elements_[k].state == 0) emit(static_cast<int>(k), depth + 1);
          return wire(wire_name(elements_[k]));
        }
      }
      fail(s, "no connector named " + name + " for this continuation");
    }
    if (s.kind == "block") {
      std::string out = c.formal;
      if (out.empty())
        for (const pin& p : s.outputs)
          if (!same_name(p.formal, "ENO")) {
            out = p.formal;
            break;
          }
      bool found = false;
      for (const pin& p : s.outputs) found = found || same_name(p.formal, out);
      if (!found) fail(user, "block localId " + std::to_string(s.id) + " has no output " + out);
      fb_kind fb;
      type t = type::any_int;
      if (fb_kind_of(s.node.attribute("typeName").value(), &fb) && param_index(fb, out) >= 0)
        t = params_of(fb)[param_index(fb, out)].t;
      if (same_name(out, "ENO")) t = type::BOOL;
      return wire(wire_name(s, upper_name(out)), t);
    }
    if (s.kind == "contact" || s.kind == "coil" || s.kind == "connector") return wire(wire_name(s));
    fail(user, "a connection from " + s.kind + " (localId " + std::to_string(s.id) + ")");
  }

  // The OR of every connection into one point; nothing connected is FALSE.
  expr input_of(const element& e, const pin& p, int depth, bool* connected = nullptr) {
    if (connected) *connected = !p.from.empty();
    if (p.from.empty()) return literal_bool(false);
    expr v = source(e, p.from[0], depth);
    for (size_t k = 1; k < p.from.size(); ++k)
      v = binary("OR", std::move(v), source(e, p.from[k], depth));
    return v;
  }

  void emit(int i, int depth) {
    element& e = elements_[i];
    if (e.state != 0) return;  // done, or being done: a loop reads last scan's wire
    if (depth > 2000) fail(e, "the network is too deep");
    e.state = 1;
    const int line = ls_.at(e.node);
    const std::string& k = e.kind;
    if (k == "contact") {
      expr left = input_of(e, e.inputs[0], depth);
      expr v = expression_of(e, child(e.node, "variable"));
      need_bool(e, v);
      const std::string edge = e.node.attribute("edge").value();
      if (edge == "rising" || edge == "falling")
        v = edge_of(wire_name(e, "EDGE"), edge == "rising", std::move(v), line);
      if (e.node.attribute("negated").as_bool()) v = unary_not(std::move(v));
      p_->body.push_back(
          assign(wire(wire_name(e)), binary("AND", std::move(left), std::move(v)), line));
    } else if (k == "coil") {
      expr left = input_of(e, e.inputs[0], depth);
      expr power = wire(wire_name(e));
      p_->body.push_back(assign(power, std::move(left), line));
      expr target = target_of(e, child(e.node, "variable"));
      need_bool(e, target);
      const std::string storage = e.node.attribute("storage").value();
      const std::string edge = e.node.attribute("edge").value();
      const bool negated = e.node.attribute("negated").as_bool();
      if (storage == "set" || storage == "reset") {
        stmt s;
        s.k = stmt::kind::if_;
        s.line = line;
        s.conds.push_back(power);
        stmt latch = assign(std::move(target), literal_bool(storage == "set"), line);
        latch.network = e.network;
        latch.latch = true;
        s.bodies.push_back({std::move(latch)});
        p_->body.push_back(std::move(s));
      } else if (edge == "rising" || edge == "falling") {
        expr q = edge_of(wire_name(e, "EDGE"), edge == "rising", power, line);
        p_->body.push_back(assign(std::move(target), std::move(q), line));
        p_->body.back().network = e.network;
      } else {
        p_->body.push_back(assign(std::move(target), negated ? unary_not(power) : power, line));
        p_->body.back().network = e.network;
      }
    } else if (k == "outVariable" || k == "inOutVariable") {
      expr v = input_of(e, e.inputs[0], depth);
      if (e.node.attribute("negated").as_bool()) v = unary_not(std::move(v));
      if (!e.inputs[0].from.empty()) {
        p_->body.push_back(assign(target_of(e, child(e.node, "expression")), std::move(v), line));
        p_->body.back().network = e.network;
      }
    } else if (k == "connector") {
      p_->body.push_back(assign(wire(wire_name(e)), input_of(e, e.inputs[0], depth), line));
    } else if (k == "return") {
      stmt s;
      s.k = stmt::kind::if_;
      s.line = line;
      s.conds.push_back(input_of(e, e.inputs[0], depth));
      stmt r;
      r.k = stmt::kind::return_;
      r.line = line;
      s.bodies.push_back({r});
      p_->body.push_back(std::move(s));
    } else if (k == "block") {
      emit_block(e, depth, line);
    }
    e.state = 2;
  }

  void emit_block(element& e, int depth, int line) {
    const std::string type_name = e.node.attribute("typeName").value();
    const std::string instance = e.node.attribute("instanceName").value();
    fb_kind fb;
    const bool is_fb = fb_kind_of(type_name, &fb);
    expr en = literal_bool(true);
    bool has_en = false;
    // The inputs, with their negation and edges applied.
    std::vector<std::pair<std::string, expr>> args;
    for (size_t n = 0; n < e.inputs.size(); ++n) {
      const pin& p = e.inputs[n];
      bool connected = false;
      expr v = input_of(e, p, depth, &connected);
      if (same_name(p.formal, "EN")) {
        if (connected) en = std::move(v), has_en = true;
        continue;
      }
      if (!connected) {
        if (!is_fb) fail(e, "input " + p.formal + " of " + type_name + " is not connected");
        continue;
      }
      if (p.edge == "rising" || p.edge == "falling")
        v = edge_of(wire_name(e, upper_name(p.formal) + ".EDGE"), p.edge == "rising", std::move(v),
                    line);
      if (p.negated) v = unary_not(std::move(v));
      args.emplace_back(p.formal, std::move(v));
    }
    stmt_list body;
    if (is_fb) {
      const int var = p_->find(instance);
      if (instance.empty() || var < 0)
        fail(e, "block " + type_name + ": no instance named \"" + instance + "\" is declared");
      fb_kind declared;
      if (!fb_kind_of(p_->vars[var].type_name, &declared) || declared != fb)
        fail(e,
             "block " + type_name + ": " + instance + " is declared as " + p_->vars[var].type_name);
      stmt call;
      call.k = stmt::kind::fb_call;
      call.line = line;
      call.instance = instance;
      for (auto& a : args) {
        if (param_index(fb, a.first) < 0) fail(e, type_name + " has no input " + a.first);
        call_param cp;
        cp.formal = a.first;
        cp.value = std::move(a.second);
        call.params.push_back(std::move(cp));
      }
      body.push_back(std::move(call));
      for (const pin& p : e.outputs) {
        if (same_name(p.formal, "ENO")) continue;
        if (param_index(fb, p.formal) < 0) fail(e, type_name + " has no output " + p.formal);
        expr m;
        m.k = expr::kind::member;
        m.name = instance;
        m.member = p.formal;
        m.line = line;
        const type t = params_of(fb)[param_index(fb, p.formal)].t;
        body.push_back(assign(wire(wire_name(e, upper_name(p.formal)), t),
                              p.negated ? unary_not(m) : m, line));
      }
    } else {
      expr call;
      call.k = expr::kind::call;
      call.name = type_name;
      call.line = line;
      for (auto& a : args) {
        call.formals.push_back(a.first);
        call.args.push_back(std::move(a.second));
      }
      if (!is_function(type_name)) fail(e, "block " + type_name + " is not supported");
      for (const pin& p : e.outputs) {
        if (same_name(p.formal, "ENO")) continue;
        expr w = wire(wire_name(e, upper_name(p.formal)), type::any_int);
        body.push_back(assign(w, p.negated ? unary_not(call) : call, line));
        break;  // a function has one result
      }
    }
    expr eno = wire(wire_name(e, "ENO"));
    if (has_en) {
      stmt s;
      s.k = stmt::kind::if_;
      s.line = line;
      s.conds.push_back(en);
      s.bodies.push_back(std::move(body));
      p_->body.push_back(std::move(s));
      p_->body.push_back(assign(eno, en, line));
    } else {
      for (stmt& s : body) p_->body.push_back(std::move(s));
      p_->body.push_back(assign(eno, literal_bool(true), line));
    }
  }

  const lines& ls_;
  const std::string& file_;
  program* p_;
  const bool in_chart_;
  std::set<long> chart_ids_;  // in a chart: the chart's own elements, left to it
  std::vector<element> elements_;
  std::map<long, int> index_;
};

}  // namespace

void compile_graphic_body(const pugi::xml_node& body, const lines& ls, const std::string& file,
                          program* p) {
  compiler c(ls, file, p);
  c.run(body);
}

std::vector<expr> compile_drawn_conditions(const pugi::xml_node& body,
                                           const std::vector<drawn_point>& points, const lines& ls,
                                           const std::string& file, program* p) {
  compiler c(ls, file, p, true);
  c.run(body);
  std::vector<expr> out;
  for (const drawn_point& point : points) out.push_back(c.value_into(point));
  return out;
}

}  // namespace plc
