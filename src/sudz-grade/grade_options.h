// The command line of sudz-grade and what it leads to: the plant, its
// rules and default overrides, the programs a run needs and the list of
// submissions to grade.
//
//   sudz-grade [options] CONTROLLER...
//
// A CONTROLLER is a command split at blanks, or a single word ending in
// ".sfc": a chart, run by sudz-sfc. Each word reaches the controller as it
// is (grade_run.h quotes it for the plant's shell). --dir DIR adds every executable and
// every chart found one level down in DIR, named by its folder (folder/file
// when a folder holds several).
//
// Programs are found beside sudz-grade (installed), at ../NAME/NAME from
// its folder (build tree), else on the PATH. A plant other than sudz needs
// its rules NAME.rules, found beside sudz-grade, beside the plant program
// or in ../share/sudz.
#ifndef SUDZ_GRADE_GRADE_OPTIONS_H
#define SUDZ_GRADE_GRADE_OPTIONS_H

#include <string>
#include <vector>

struct submission {
  std::string name;                // the table's controller column
  std::string text;                // as given, for messages and the files
  std::vector<std::string> words;  // the command run after sudz-trace's "--"
  std::string not_run;             // why it cannot be run; empty when it can
};

struct grade_options {
  bool help = false;
  std::string scenario, plant = "sudz", rules, out = "sudz-grade-out", csv, json;
  double minutes = 5, idle = 5;
  int jobs = 0;  // 0: the number of cores
  std::vector<std::string> controllers, dirs;

  // Resolved by prepare().
  std::string simulator, trace, xvfb, xdotool;
  std::vector<std::string> plant_args;  // overrides and rules for sudz-trace
  std::string goal_column;              // "spin" for the washing machine, else "goal"
  long seconds = 0;                     // longest run
  std::vector<submission> submissions;
};

extern const char* const grade_usage;

// Reads argv; false with *error set for a bad command line.
bool parse_grade_options(int argc, char** argv, grade_options* o, std::string* error);

// Finds the programs and files the runs need, has sudz-trace check the
// scenario and rules files, and lists the submissions; false with *error
// for what makes grading impossible ("FILE: line N: ..." for a bad file).
bool prepare(grade_options* o, std::string* error);

// A program by name: beside sudz-grade, ../NAME/NAME from its folder, else
// the PATH; "" when none is executable.
std::string find_program(const std::string& name);

#endif
