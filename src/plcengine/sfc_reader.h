// Reads a chart written in text: the grammar of the chart language, its
// comments "(* ... *)" and "// ...", and the errors a student gets.
//
// The reader checks the form only (a missing END_STEP, a bad qualifier, an
// L or D association without its duration); what the names mean is the
// checker's job (chart_check.h).
#ifndef PLCENGINE_SFC_READER_H
#define PLCENGINE_SFC_READER_H

#include <string>

#include "plcengine/sfc_chart.h"

namespace sfc {

// Reads text (the whole file). True with the chart in *out; false with the
// first syntax error in *error (line and column from 1, message in words).
bool read_chart(const std::string& text, chart* out, chart_error* error);

// Reads a TIME literal's text ("T#1m30s", "TIME#250ms", "t#1.5s") into
// milliseconds; false if it is not one or overflows.
bool parse_time_literal(const std::string& text, std::int64_t* ms);

}  // namespace sfc

#endif
