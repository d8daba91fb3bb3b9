#include "plcengine/binding.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace plc {

namespace {

struct address {
  bool output = false, memory = false, word = false;
  char size = 'X';
  std::vector<long> parts;
};

bool parse_address(const std::string& text, address* a) {
  if (text.size() < 3 || text[0] != '%') return false;
  const char area = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
  if (area != 'I' && area != 'Q' && area != 'M') return false;
  a->output = area == 'Q';
  a->memory = area == 'M';
  size_t i = 2;
  if (std::isalpha(static_cast<unsigned char>(text[i])))
    a->size = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
  a->word = a->size == 'W';
  std::string part;
  for (; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (part.empty() || part.size() > 6) return false;
      a->parts.push_back(std::stol(part));
      part.clear();
    } else if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      part += text[i];
    } else {
      return false;
    }
  }
  return !a->parts.empty();
}

int index_of(const std::vector<std::string>& names, const std::string& n) {
  for (size_t i = 0; i < names.size(); ++i)
    if (same_name(names[i], n)) return static_cast<int>(i);
  return -1;
}

// A place where a variable is written: the part of the program it is in
// (a text body, a drawn network, the chart's own actions) and whether it
// only latches (a set or reset coil).
struct write_site {
  std::string part;   // tells the parts apart
  std::string label;  // names it in a message
  bool latch = false;
  int line = 0;
};

void collect_writes(const program& p, const stmt_list& list, const std::string& text_part, int var,
                    std::vector<write_site>* out) {
  // A loaded program's names are resolved already.
  auto names = [&](const expr& e) {
    return e.k == expr::kind::name && (e.ref >= 0 ? e.ref : p.find(e.name)) == var;
  };
  for (const stmt& s : list) {
    if ((s.k == stmt::kind::assign || s.k == stmt::kind::for_) && names(s.target))
      out->push_back({s.network > 0 ? "network " + std::to_string(s.network) : text_part,
                      s.network > 0 ? "a network" : text_part, s.latch, s.line});
    if (s.k == stmt::kind::fb_call)
      for (const call_param& c : s.params)
        if (c.output && names(c.value)) out->push_back({text_part, text_part, false, s.line});
    for (const stmt_list& b : s.bodies) collect_writes(p, b, text_part, var, out);
  }
}

// Two parts of p writing var, unless every write but those of one part
// latches: "" if none, else the two parts.
std::string written_twice(const program& p, int var) {
  std::vector<write_site> sites;
  collect_writes(p, p.body, "the body", var, &sites);
  const chart_graph& c = p.chart;
  for (size_t b = 0; b < c.bodies.size(); ++b) {
    const std::string& name = c.body_names[b];
    collect_writes(p, c.bodies[b],
                   name.rfind("inline ", 0) == 0 ? "an inline action" : "action " + name, var,
                   &sites);
  }
  for (const chart_step& s : c.steps)
    for (const chart_action& a : s.actions)
      if (a.body < 0 && same_name(a.target, p.vars[var].name))
        sites.push_back({"chart", "step " + s.name + "'s action", false, a.line});
  for (const write_site& a : sites)
    for (const write_site& b : sites)
      if (a.part != b.part && !a.latch)
        return a.label + " (line " + std::to_string(a.line) + ") and " + b.label + " (line " +
               std::to_string(b.line) + ")";
  return "";
}

}  // namespace

std::vector<plant_signals> known_plants() {
  return {
      {"sudz",
       {"T", "Niv", "Vide", "Tr", "St", "Prel", "Lav", "Rinc", "Ess", "T1mt", "T5mt"},
       {"nF", "H", "Vo", "So", "Pw", "Vi", "AvL", "ArL", "AvR", "T1m", "T5m"}},
      {"sudz-sorter",
       {"Ent", "Fin", "Gd", "Bo", "Bf", "Wg", "Wc", "Wd", "Ch", "Egr", "Egs", "Edr"},
       {"Dem", "Tap", "BrF", "BrO", "WaG", "WaD", "EgA", "EgR", "EdA"}},
      {"sudz-gate", {"Bp", "Fo", "Ff", "Cel"}, {"Mo", "Mf", "Cl"}},
      {"sudz-tank", {"Lt", "Tt", "Ft", "Lh", "Ll", "SPl", "SPt", "Aut"}, {"Vin", "Pch", "Agi"}},
  };
}

bool plant_signals_of(const std::string& given, plant_signals* out, std::string* message) {
  for (const plant_signals& p : known_plants()) {
    if (p.plant == given) {
      *out = p;
      return true;
    }
  }
  const size_t slash = given.find('/');
  if (slash == std::string::npos) {
    *message =
        "unknown plant \"" + given +
               "\" (sudz, sudz-sorter, sudz-gate, sudz-tank, or INPUT,.../OUTPUT,...)";
    return false;
  }
  plant_signals p;
  auto split = [&](const std::string& part, std::vector<std::string>* names) {
    std::istringstream in(part);
    for (std::string n; std::getline(in, n, ',');) {
      if (n.empty()) continue;
      for (char c : n) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) {
          *message = "bad signal name \"" + n + "\" in --plant";
          return false;
        }
      }
      names->push_back(n);
    }
    return true;
  };
  if (!split(given.substr(0, slash), &p.inputs) || !split(given.substr(slash + 1), &p.outputs))
    return false;
  *out = p;
  return true;
}

std::string bit_address(bool output, int k, address_map m) {
  const int base = m == address_map::openplc ? 100 : 0;
  return std::string(output ? "%QX" : "%IX") + std::to_string(base + k / 8) + "." +
         std::to_string(k % 8);
}

std::string word_address(bool output, int k, address_map m) {
  const int base = m == address_map::openplc ? 100 : 0;
  return std::string(output ? "%QW" : "%IW") + std::to_string(base + k);
}

bool bind(const program& p, const plant_signals& plant, address_map m, binding* out, error* err) {
  *out = binding();
  std::vector<int> writer(plant.outputs.size(), -1);
  const long base = m == address_map::openplc ? 100 : 0;
  for (size_t v = 0; v < p.vars.size(); ++v) {
    const variable& d = p.vars[v];
    if (d.wire) continue;
    auto fail = [&](const std::string& message) {
      *err = {p.file, d.line, "POU " + p.name + ": variable " + d.name + ": " + message};
      return false;
    };
    int signal = -1;
    bool output = false;
    address a;
    const bool located = !d.address.empty();
    if (located && !parse_address(d.address, &a)) return fail("bad address " + d.address);
    if (located && !a.memory && a.size != 'X' && a.size != 'W')
      return fail("address " + d.address +
                  " is not supported (bits %IX/%QX and words %IW/%QW are)");
    // An input and an output may differ only by case (the sorting line's
    // Egr and EgR): the name written exactly as the signal decides.
    const int in = index_of(plant.inputs, d.name), out_k = index_of(plant.outputs, d.name);
    if (in >= 0 && out_k >= 0) {
      const bool exact_in = plant.inputs[in] == d.name, exact_out = plant.outputs[out_k] == d.name;
      if (exact_in == exact_out)
        return fail("the name is both the plant's input " + plant.inputs[in] + " and its output " +
                    plant.outputs[out_k] +
                    ": write it as one of them, or rename it and give it "
                    "an address");
      output = exact_out;
      signal = exact_out ? out_k : in;
    } else if (in >= 0) {
      signal = in;
    } else if (out_k >= 0) {
      signal = out_k;
      output = true;
    }
    if (signal >= 0 && located) {
      // The name decides; an address saying otherwise is worth a warning.
      const std::string bit = bit_address(output, signal, m),
                        word = word_address(output, signal, m);
      std::string given = d.address;
      for (char& c : given) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (given != bit && given != word)
        out->warnings.push_back({p.file, d.line,
                                 "warning: variable " + d.name + " is the plant's " +
                                     (output ? "output " : "input ") +
                                     (output ? plant.outputs : plant.inputs)[signal] +
                                     " by its name, but its address " + d.address + " is " + bit +
                                     " or " + word + " under this map"});
    }
    if (signal < 0 && located && !a.memory) {
      output = a.output;
      long k = -1;
      if (a.size == 'W' && a.parts.size() == 1) k = a.parts[0] - base;
      if (a.size == 'X' && a.parts.size() == 2 && a.parts[1] < 8)
        k = (a.parts[0] - base) * 8 + a.parts[1];
      if (a.size == 'X' && a.parts.size() == 1) k = a.parts[0] - base;
      const size_t count = output ? plant.outputs.size() : plant.inputs.size();
      if (k < 0 || k >= static_cast<long>(count))
        return fail("address " + d.address + " is outside the plant (" + std::to_string(count) +
                    (output ? " outputs" : " inputs") + ")");
      signal = static_cast<int>(k);
      if (d.is_fb || (a.size == 'X') != (d.t == type::BOOL))
        return fail(std::string("address ") + d.address +
                    (a.size == 'X' ? " needs a BOOL" : " needs a number, not a BOOL"));
    }
    if (signal < 0) continue;
    if (d.is_fb) return fail("a function block instance cannot be a plant signal");
    if (d.cls == var_class::temp) return fail("a VAR_TEMP variable cannot be a plant signal");
    if (output) {
      if (writer[signal] >= 0)
        return fail("the plant's output " + plant.outputs[signal] +
                    " is already written by variable " + p.vars[writer[signal]].name);
      writer[signal] = static_cast<int>(v);
      const std::string twice = written_twice(p, static_cast<int>(v));
      if (!twice.empty())
        return fail("the plant's output " + plant.outputs[signal] +
                    " is written by two parts of the program: " + twice);
      out->outputs.push_back({static_cast<int>(v), signal});
    } else {
      out->inputs.push_back({static_cast<int>(v), signal});
    }
  }
  return true;
}

std::string describe(const program& p, const plant_signals& plant, address_map m,
                     const binding& b) {
  std::string text = "sudz-plc: program " + p.name + ", map " +
                     (m == address_map::flat ? "flat" : "openplc") + "\n";
  char line[256];
  auto row = [&](bool output, int k, const std::string& name, const std::vector<link>& links) {
    std::string vars;
    for (const link& l : links)
      if (l.signal == k) vars += (vars.empty() ? "" : ", ") + p.vars[l.var].name;
    std::snprintf(line, sizeof line, "  %-6s %2d  %-8s %-9s %-7s %s\n", output ? "output" : "input",
                  k, name.c_str(), bit_address(output, k, m).c_str(),
                  word_address(output, k, m).c_str(), vars.empty() ? "-" : vars.c_str());
    text += line;
  };
  for (size_t k = 0; k < plant.inputs.size(); ++k)
    row(false, static_cast<int>(k), plant.inputs[k], b.inputs);
  for (size_t k = 0; k < plant.outputs.size(); ++k)
    row(true, static_cast<int>(k), plant.outputs[k], b.outputs);
  return text;
}

}  // namespace plc
