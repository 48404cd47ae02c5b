// One input's analysis as the views see it: what the input was, what was swept, and the
// counts, by opcode value, that the sweep left in a RunState. The text views rank them.
#ifndef OPFREQ_ANALYZER_ANALYSIS_H_
#define OPFREQ_ANALYZER_ANALYSIS_H_

#include <string_view>

#include "analyzer/run_state.h"
#include "analyzer/sweeps.h"
#include "filein/hex_text.h"
#include "filein/symbol_file.h"

namespace opfreq {

struct Analysis {
  std::string_view name;  // as given
  HexFormat format = HexFormat::None;
  int64_t imageSize = 0;
  RunState& run;
  const SweepInfo& sweep;
  const SymbolTable& symbols;
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_ANALYSIS_H_
