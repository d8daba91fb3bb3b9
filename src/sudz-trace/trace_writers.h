// The files written from a run's record.
//
// - VCD (Value Change Dump): one wire per signal, in the scopes "inputs"
//   (as the plant published them), "outputs", "seen" (overridden inputs as
//   the controller saw them) and "overrides" (1 while one holds); time in
//   microseconds since the start. Signals that only ever held 0 and 1 are
//   1-bit wires, others 32-bit integers.
// - SVG: a timing diagram, one row per input and output, a time axis in
//   seconds, overrides shaded on their rows (a freeze across the inputs)
//   with the value seen drawn dashed, findings as red lines.
// - Report: the run, its findings, overrides and changes as lines of the
//   paged text viewer's marked-up format (column lines, '#' fields, rules).
// - Summary: key=value lines for programs (sudz-grade).
// Each returns false when the file cannot be written.
#ifndef SUDZ_TRACE_TRACE_WRITERS_H
#define SUDZ_TRACE_TRACE_WRITERS_H

#include <string>
#include <vector>

#include "sudz-trace/trace_record.h"

bool write_vcd(const trace_record& r, const std::string& path);
bool write_svg(const trace_record& r, const std::string& path);
std::vector<std::string> report_lines(const trace_record& r);
// Text, or PDF through the viewer's print filter when path ends in ".pdf".
bool write_report(const trace_record& r, const std::string& path);
bool write_summary(const trace_record& r, const std::string& path);

#endif
