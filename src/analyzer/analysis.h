// One input's analysis: what the input was, what was swept, and the counts, by opcode value.
// It owns all of it, so that it outlives the buffers it was read from; views take it as it is.
#ifndef OPFREQ_ANALYZER_ANALYSIS_H_
#define OPFREQ_ANALYZER_ANALYSIS_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/functions.h"
#include "analyzer/region.h"
#include "analyzer/run_state.h"
#include "filein/hex_text.h"
#include "filein/symbol_file.h"

namespace opfreq {

struct Analysis {
  std::string name;  // as given
  HexFormat format = HexFormat::None;
  int64_t imageSize = 0;
  SweepInfo sweep;
  RunState run;
  // Lines that the legacy sweep writes for its report (its warnings), each with its line end.
  std::string notes;
  // With --functions: the functions of what was swept, ascending by address.
  std::optional<FunctionProfiles> functions;
  // Names for code addresses; an empty table when none were given.
  std::shared_ptr<const SymbolTable> symbols = std::make_shared<const SymbolTable>();
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_ANALYSIS_H_
