// writeReport: every report line from "Total size of code:" to the last call line, written
// after the sweep and the ranking. The lines before it (file name, warnings) are the driver's
// and the sweep's. The pieces that the text view of the other sweeps shares are here too, and
// the legacy report as a view (view.h).
#ifndef OPFREQ_ANALYZER_REPORT_H_
#define OPFREQ_ANALYZER_REPORT_H_

#include <string>
#include <string_view>

#include "analyzer/opcode_ranking.h"
#include "analyzer/run_state.h"
#include "textout/number_mask.h"
#include "textout/output_stream.h"

namespace opfreq {

// `run` as the legacy sweep left it, `ranking` its ranked counts.
void writeReport(const RunState& run, const OpcodeRanking& ranking, OutputStream& out,
                 MaskPrinter& masks);

// From "16 most popular codes:" to "most popular calls are:". Each share is of `denominator`
// bytes; with 0 bytes, every share is 0.
void writeOpcodeLines(const RunState& run, const OpcodeRanking& ranking, int32_t denominator,
                      OutputStream& out, MaskPrinter& masks);

// "75  MOV direct,#data        ": an opcode row's opcode and its mnemonic, padded to 24.
std::string opcodeColumns(size_t op);

// "    3 times to address 0040", then a blank and `name` when there is one.
void writeCallLine(uint16_t count, uint16_t address, std::string_view name, OutputStream& out,
                   MaskPrinter& masks);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_REPORT_H_
