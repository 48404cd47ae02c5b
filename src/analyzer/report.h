// writeReport: every report line from "Total size of code:" to the last call line, written
// after the sweep and the ranking. The lines before it (file name, warnings) are the driver's
// and the sweep's.
#ifndef OPFREQ_ANALYZER_REPORT_H_
#define OPFREQ_ANALYZER_REPORT_H_

#include "analyzer/run_state.h"
#include "textout/number_mask.h"
#include "textout/output_stream.h"

namespace opfreq {

// run must be swept and ranked.
void writeReport(const RunState& run, OutputStream& out, MaskPrinter& masks);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_REPORT_H_
