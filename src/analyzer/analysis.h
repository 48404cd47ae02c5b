// One input's analysis: what the input was, what was swept, the counts by opcode value, and what
// the passes after the sweep worked out. It owns all of it, so that it outlives the buffers it
// was read from; views take it as it is.
//
// analyse() is the one way to make one: it picks the sweep that the options ask for, runs it,
// then each pass they ask for, in order; a pass reads what the sweep and earlier passes left and
// adds its own part. Today's pass: the functions of what the follow sweep reached (functions.h).
#ifndef OPFREQ_ANALYZER_ANALYSIS_H_
#define OPFREQ_ANALYZER_ANALYSIS_H_

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "analyzer/functions.h"
#include "analyzer/problem.h"
#include "analyzer/sweeps.h"
#include "filein/hex_text.h"
#include "filein/symbol_file.h"

namespace opfreq {

struct Analysis {
  std::string name;  // as given
  HexFormat format = HexFormat::None;
  int64_t imageSize = 0;
  // The bytes the file holds: its size, or the bytes its record text wrote, where the reading
  // kept them (a sweep option).
  int64_t heldBytes = 0;
  SweepInfo sweep;
  RunState run;
  LegacyWarnings warnings;  // the legacy sweep's, which its report puts into words
  // With --functions: the functions of what was swept, ascending by address.
  std::optional<FunctionProfiles> functions;
  // Names for code addresses; an empty table when none were given.
  std::shared_ptr<const SymbolTable> symbols = std::make_shared<const SymbolTable>();
};

// One input, read.
struct AnalysisInput {
  std::string name;
  HexFormat format = HexFormat::None;
  SweepInput image;
  std::shared_ptr<const SymbolTable> symbols = std::make_shared<const SymbolTable>();
};

// The analysis of `input` that `options` ask for, their entries' names resolved; or a problem,
// with the input's name, when the options do not fit the input (a range past its end, an --entry
// outside the region: a usage error) or the result is no answer (a follow sweep that reached
// nothing, and what to try).
std::variant<Analysis, Problem> analyse(const AnalysisInput& input, const SweepOptions& options);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_ANALYSIS_H_
