// A project: the programs of a Structured Text file or of a PLCopen XML
// file, and the choice of the one to run.
//
// PLCopen XML is read in any of its namespaces, elements matched by their
// local name, without validation. Structured Text bodies are read in their
// three wrappings (bare text, <xhtml:p> with CDATA, an <xhtml> element).
// A POU whose body this system does not run yet is kept with the reason,
// which is only an error if that POU is the one chosen.
#ifndef PLCENGINE_PROJECT_H
#define PLCENGINE_PROJECT_H

#include <string>
#include <vector>

#include "plcengine/program.h"

namespace plc {

struct pou {
  std::string name;
  std::string kind;  // "program", "functionBlock", "function"
  int line = 0;
  bool runnable = false;  // false: refused says why
  error refused;
  program prog;
};

struct project {
  std::string file;
  std::vector<pou> pous;
  std::vector<std::string> task_pous;  // POU types named by the configuration's instances
};

// Reads a file's text as PLCopen XML when it starts with "<" (after blanks
// and a byte-order mark), as Structured Text otherwise.
bool read_project(const std::string& text, const std::string& file, project* out, error* err);
bool read_plcopen(const std::string& text, const std::string& file, project* out, error* err);

// The program to run: the one given (name, any case), else the one the
// configuration's instance names, else the only program. False with a
// message listing the programs when there is no single choice.
bool choose_program(const project& p, const std::string& given, const program** out, error* err);

}  // namespace plc

#endif
