// The CSV views, for spreadsheets: RFC 4180 quoting, LF line ends, one header line for the
// whole run. The opcode view has 256 rows a file in opcode order; the call view a row for each
// called address, most called first.
#ifndef OPFREQ_ANALYZER_CSV_VIEW_H_
#define OPFREQ_ANALYZER_CSV_VIEW_H_

#include <string>

#include "analyzer/analysis.h"
#include "textout/output_stream.h"

namespace opfreq {

enum class CsvTable { Opcodes, Calls };

std::string csvHeader(CsvTable table);

// The rows of an analysed input; its counts must be by opcode value, not ranked.
void writeCsvRows(CsvTable table, const Analysis& analysis, OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CSV_VIEW_H_
