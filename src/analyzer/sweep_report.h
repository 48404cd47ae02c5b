// The text view of a sweep other than the legacy one: the legacy report's layout, line for
// line with CR LF, except that line 2 says what was swept (in place of the warnings), the size
// and every share are of the bytes swept, and the call lines are the eight most called
// addresses, most first, each with its name when there is one.
#ifndef OPFREQ_ANALYZER_SWEEP_REPORT_H_
#define OPFREQ_ANALYZER_SWEEP_REPORT_H_

#include "analyzer/analysis.h"
#include "textout/output_stream.h"

namespace opfreq {

// Ranks analysis.run, then writes the report.
void writeSweepReport(const Analysis& analysis, OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_SWEEP_REPORT_H_
