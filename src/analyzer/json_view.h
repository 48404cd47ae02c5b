// The JSON view: one object a file on one line (JSON Lines), UTF-8 with an LF line end, with
// every opcode and every called address and exact integer counts, for scripts and CI.
#ifndef OPFREQ_ANALYZER_JSON_VIEW_H_
#define OPFREQ_ANALYZER_JSON_VIEW_H_

#include <string_view>

#include "analyzer/analysis.h"
#include "textout/output_stream.h"

namespace opfreq {

// The line of an analysed input; its counts must be by opcode value, not ranked.
void writeJsonLine(const Analysis& analysis, OutputStream& out);

// The line that stands in for an input that could not be analysed.
void writeJsonError(std::string_view name, std::string_view problem, OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_JSON_VIEW_H_
