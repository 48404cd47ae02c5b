// The legacy report: the file name line, the warnings (writeWarnings), then every line from
// "Total size of code:" to the last call line (writeReport), as a view (view.h). The pieces that
// the text view of the other sweeps shares are here too.
#ifndef OPFREQ_ANALYZER_REPORT_H_
#define OPFREQ_ANALYZER_REPORT_H_

#include <string>
#include <string_view>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_ranking.h"
#include "analyzer/run_state.h"
#include "textout/number_mask.h"
#include "textout/output_stream.h"

namespace opfreq {

// The warning lines of the legacy sweep, each that applies.
void writeWarnings(const LegacyWarnings& warnings, OutputStream& out);

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
