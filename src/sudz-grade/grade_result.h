// One row of the grading table, made from what sudz-trace wrote for a run
// and what sudz-grade saw of it, and the table written as Markdown, CSV
// and JSON.
//
// The Markdown table has the columns controller, spin (goal for another
// plant), findings, alarm, end, vcd, svg and report. The CSV and the JSON
// carry the same cells under the same names, then the same facts as
// separate fields for programs: the goal's name, whether and when it was
// reached, every finding with its cycle, the alarm's cycle, how the run and
// the controller ended and the simulator's status, and last the figures of
// the responses to set-point steps ("responses": NAME.K=FIGURE, K counting
// the steps of the criterion's set point from 1).
#ifndef SUDZ_GRADE_GRADE_RESULT_H
#define SUDZ_GRADE_GRADE_RESULT_H

#include <string>
#include <vector>

struct finding_at {
  std::string rule;
  long cycle = 0;
  double time = 0;
};

struct grade_row {
  std::string controller, command;
  // The cells of the table.
  std::string goal_cell, findings_cell, alarm_cell, end_cell, vcd, svg, report;
  // The same facts for programs; unknown ones are empty or -1.
  std::string goal_name;
  int goal_reached = -1;  // 1, 0, or -1 when there is no summary
  std::string goal_time;  // seconds as written by sudz-trace
  long goal_cycle = -1;
  std::vector<finding_at> findings;
  long alarm_cycle = -1;
  std::string run_end, controller_end;
  int simulator_status = -1;
  // Each response criterion's figure for each step, as the summary gives them: a number,
  // "never" (not settled) or "none" (the step never came).
  std::vector<std::pair<std::string, std::string>> responses;
};

// What sudz-grade saw of a run, besides the files.
struct run_facts {
  int simulator_status = -1;  // exit status, or 128 + signal
  bool acknowledged = false;  // a box was answered
  std::string killed;         // why sudz-grade killed the simulator; empty if it did not
  int left = 0;               // processes of the run still there at its end
  std::string proxy_message;  // sudz-trace's last message on its error stream; "" for none
};

// The row of a run whose files are in dir (summary.txt, report.txt, trace.vcd, trace.svg).
// Without a summary the run could not be graded: its goal is "?" (goal_reached -1) and its
// end says why, in sudz-trace's own words when it left a message.
grade_row make_row(const std::string& controller, const std::string& command,
                   const std::string& dir, const run_facts& facts);

// A row for a submission that could not be run.
grade_row row_not_run(const std::string& controller, const std::string& command,
                      const std::string& why);

std::string markdown_table(const std::vector<grade_row>& rows, const std::string& goal_column);
std::string csv_table(const std::vector<grade_row>& rows, const std::string& goal_column);
std::string json_table(const std::vector<grade_row>& rows, const std::string& goal_column);

// Writes text to path through a temporary file renamed into place, so that
// a reader never sees half a file; false when it cannot.
bool write_whole_file(const std::string& path, const std::string& text);

#endif
