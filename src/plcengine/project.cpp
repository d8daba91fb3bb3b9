#include "plcengine/project.h"

#include <pugixml.hpp>

#include <cctype>

#include "plcengine/chart_body.h"
#include "plcengine/graphic_body.h"
#include "plcengine/st_reader.h"
#include "plcengine/xml_util.h"

namespace plc {

namespace {

using namespace xml;

// The text of an ST element in any of its wrappings, and the line of the
// file where it starts.
void st_text(const pugi::xml_node& n, const lines& ls, std::string* text, int* line) {
  for (pugi::xml_node c : n.children()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      if (*line == 0) *line = ls.at(c.offset_debug());
      // Text before this piece keeps its lines so that lines still count.
      *text += c.value();
    } else if (c.type() == pugi::node_element) {
      st_text(c, ls, text, line);
    }
  }
}

struct reader {
  const std::string& file;
  const lines& ls;

  [[noreturn]] void fail(const pugi::xml_node& n, const std::string& message) const {
    throw error{file, ls.at(n.offset_debug()), message};
  }

  variable read_variable(const pugi::xml_node& v, var_class cls, const std::string& pou) const {
    variable x;
    x.cls = cls;
    x.name = v.attribute("name").value();
    x.address = v.attribute("address").value();
    x.line = ls.at(v.offset_debug());
    const pugi::xml_node t = first_element(child(v, "type"));
    const std::string where = "POU " + pou + ": variable " + x.name;
    if (!t) fail(v, where + " has no type");
    if (is(t, "derived")) {
      x.type_name = t.attribute("name").value();
    } else {
      type known;
      x.type_name = local_name(t);
      if (!type_of_name(x.type_name, &known))
        fail(t, where + ": type " + x.type_name + " is not supported");
    }
    const pugi::xml_node init = child(v, "initialValue");
    if (init) {
      const pugi::xml_node simple = child(init, "simpleValue");
      if (!simple) fail(init, where + ": " + local_name(first_element(init)) + " is not supported");
      std::string text = simple.attribute("value").value();
      type t2;
      value lit;
      // Editors write BOOL values as 0/1 and TIME values with or without T#.
      if (type_of_name(x.type_name, &t2) && t2 == type::TIME && text.find('#') == std::string::npos)
        text = "T#" + text;
      if (!parse_literal(text, &lit)) fail(simple, where + ": bad initial value " + text);
      x.has_initial = true;
      x.initial = lit;
    }
    return x;
  }

  pou read_pou(const pugi::xml_node& n) const {
    pou p;
    p.name = n.attribute("name").value();
    p.kind = n.attribute("pouType").value();
    p.line = ls.at(n.offset_debug());
    p.prog.name = p.name;
    p.prog.file = file;
    p.prog.line = p.line;
    try {
      static const struct {
        const char* element;
        var_class cls;
      } sections[] = {{"localVars", var_class::local},  {"tempVars", var_class::temp},
                      {"inputVars", var_class::input},  {"outputVars", var_class::output},
                      {"inOutVars", var_class::in_out}, {"externalVars", var_class::external},
                      {"globalVars", var_class::global}};
      for (pugi::xml_node sec : child(n, "interface").children()) {
        if (sec.type() != pugi::node_element) continue;
        bool known = false;
        for (const auto& s : sections) {
          if (!is(sec, s.element)) continue;
          known = true;
          for (pugi::xml_node v : sec.children())
            if (is(v, "variable")) p.prog.vars.push_back(read_variable(v, s.cls, p.name));
        }
        if (!known && !is(sec, "returnType") && !is(sec, "documentation") && !is(sec, "addData"))
          fail(sec, "POU " + p.name + ": " + local_name(sec) + " is not supported");
      }
      const pugi::xml_node body = child(n, "body");
      const pugi::xml_node lang = first_element(body);
      if (!lang) fail(n, "POU " + p.name + " has no body");
      if (is(lang, "ST")) {
        std::string text;
        int line = 0;
        st_text(lang, ls, &text, &line);
        error e;
        if (!read_st_body(text, file, line ? line : ls.at(lang.offset_debug()), &p.prog.body, &e))
          throw error{e.file, e.line, "POU " + p.name + ": " + e.message};
      } else if (is(lang, "LD") || is(lang, "FBD")) {
        compile_graphic_body(lang, ls, file, &p.prog);
      } else if (is(lang, "SFC")) {
        compile_chart_body(lang, n, ls, file, &p.prog);
      } else {
        fail(lang, "POU " + p.name + ": " + local_name(lang) + " is not supported");
      }
      if (p.kind != "program") fail(n, "POU " + p.name + ": a " + p.kind + " is not supported");
      p.runnable = true;
    } catch (const error& e) {
      p.refused = e;
    }
    return p;
  }
};

}  // namespace

bool read_plcopen(const std::string& text, const std::string& file, project* out, error* err) {
  pugi::xml_document doc;
  const pugi::xml_parse_result r =
      doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  const lines ls(text);
  out->file = file;
  if (!r) {
    *err = {file, ls.at(r.offset), std::string("not readable as XML: ") + r.description()};
    return false;
  }
  const pugi::xml_node root = doc.document_element();
  if (!is(root, "project")) {
    *err = {file, ls.at(root.offset_debug()), "not a PLCopen project (its root is not <project>)"};
    return false;
  }
  reader rd{file, ls};
  for (pugi::xml_node p : child(child(root, "types"), "pous").children())
    if (is(p, "pou")) out->pous.push_back(rd.read_pou(p));
  for (pugi::xml_node conf : child(child(root, "instances"), "configurations").children()) {
    if (!is(conf, "configuration")) continue;
    for (pugi::xml_node res : conf.children()) {
      if (!is(res, "resource")) continue;
      auto add = [&](const pugi::xml_node& inst) {
        const char* t = inst.attribute("typeName") ? inst.attribute("typeName").value()
                                                   : inst.attribute("type").value();
        out->task_pous.push_back(t);
      };
      for (pugi::xml_node c : res.children()) {
        if (is(c, "pouInstance")) add(c);
        if (is(c, "task"))
          for (pugi::xml_node i : c.children())
            if (is(i, "pouInstance")) add(i);
      }
    }
  }
  return true;
}

bool read_project(const std::string& text, const std::string& file, project* out, error* err) {
  size_t i = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '<') return read_plcopen(text, file, out, err);
  std::vector<program> programs;
  out->file = file;
  if (!read_st_file(text, file, &programs, err)) return false;
  for (program& p : programs) {
    pou x;
    x.name = p.name;
    x.kind = "program";
    x.line = p.line;
    x.runnable = true;
    x.prog = std::move(p);
    out->pous.push_back(std::move(x));
  }
  return true;
}

bool choose_program(const project& p, const std::string& given, const program** out, error* err) {
  std::vector<const pou*> programs;
  for (const pou& x : p.pous)
    if (x.kind == "program") programs.push_back(&x);
  auto list = [&]() {
    std::string names;
    for (const pou* x : programs) names += (names.empty() ? "" : ", ") + x->name;
    return names.empty() ? std::string("none") : names;
  };
  const pou* chosen = nullptr;
  std::string wanted = given;
  if (wanted.empty() && p.task_pous.size() == 1) wanted = p.task_pous[0];
  if (wanted.empty() && p.task_pous.size() > 1) {
    *err = {p.file, 0,
            "several program instances in the configuration (several tasks are not supported); "
            "choose one with --pou among: " +
                list()};
    return false;
  }
  if (!wanted.empty()) {
    for (const pou* x : programs)
      if (same_name(x->name, wanted)) chosen = x;
    if (!chosen) {
      *err = {p.file, 0, "no program named " + wanted + " (programs: " + list() + ")"};
      return false;
    }
  } else if (programs.size() == 1) {
    chosen = programs[0];
  } else {
    *err = {p.file, 0,
            programs.empty() ? "no program to run (a function or function block alone does not run)"
                             : "several programs: " + list() + "; choose one with --pou NAME"};
    return false;
  }
  if (!chosen->runnable) {
    *err = chosen->refused;
    return false;
  }
  *out = &chosen->prog;
  return true;
}

}  // namespace plc
