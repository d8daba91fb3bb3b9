// Reads Structured Text: a file of PROGRAM ... END_PROGRAM units, or the
// pieces PLCopen XML holds (a body of statements, a variable list, one
// expression). Comments "(* ... *)" and "// ..." are blanks.
//
// The reader checks the form; what names mean is checked when the runtime
// compiles the program. What the language has and this system does not run
// (FUNCTION_BLOCK, arrays, strings, ...) is refused by name.
#ifndef PLCENGINE_ST_READER_H
#define PLCENGINE_ST_READER_H

#include <string>
#include <vector>

#include "plcengine/program.h"

namespace plc {

// Every PROGRAM of a text file, in order; false with the first error.
// file names the file in messages.
bool read_st_file(const std::string& text, const std::string& file, std::vector<program>* out,
                  error* err);

// A list of statements, as a PLCopen ST body holds it; first_line is the
// line of the file where text starts, so that lines count from there.
bool read_st_body(const std::string& text, const std::string& file, int first_line, stmt_list* out,
                  error* err);

// One expression ("T#500ms", "NOT a AND b").
bool read_st_expression(const std::string& text, const std::string& file, int first_line, expr* out,
                        error* err);

}  // namespace plc

#endif
