// The sweeps, and the one place that picks one for an input:
// - without a sweep option, the legacy sweep of scanCode (code_scanner.h), which reads the first
//   64 KiB as code whatever they hold;
// - the region sweep (--written, --range, --at): from the start of each run of readable offsets
//   in the region, instruction by instruction, until one does not fit in the run;
// - the follow sweep (follow_sweep.h): only the instructions reached from the entry points.
// A sweep reads the image and gives the counts and the description of what it swept; it writes
// nothing. What is worked out from a sweep afterwards is a pass (analysis.h).
#ifndef OPFREQ_ANALYZER_SWEEPS_H_
#define OPFREQ_ANALYZER_SWEEPS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/code_scanner.h"
#include "analyzer/follow_sweep.h"
#include "analyzer/problem.h"
#include "analyzer/region.h"
#include "analyzer/run_state.h"
#include "filein/symbol_file.h"

namespace opfreq {

// An --entry: an address, or a name that the symbols give the address of.
struct EntryPoint {
  uint16_t address = 0;
  std::string name;  // empty when given as an address
};

struct SweepOptions {
  bool follow = false;
  bool written = false;
  std::optional<int64_t> rangeFrom;  // with rangeTo: image offsets, inclusive
  int64_t rangeTo = 0;
  std::optional<uint16_t> at;  // the code address of the region's first offset
  std::vector<EntryPoint> entries;
  std::optional<uint16_t> vectors;      // the reset address, and the vector table after it
  bool entrySymbols = false;            // every code symbol is an entry point too
  bool functions = false;               // the functions pass over what the follow sweep reaches
  bool contents = false;                // and each function's content, for a comparison
  std::vector<uint16_t> symbolEntries;  // those code symbols, ascending
  bool any() const { return follow || written || rangeFrom || at; }
};

// Gives each named entry its address, and fills symbolEntries when entrySymbols asks for them,
// from `symbols` (named `symbolsName`); or says why it cannot (a usage error, with no subject).
std::optional<Problem> resolveEntries(SweepOptions& options, const SymbolTable& symbols,
                                      std::string_view symbolsName);

// The region that `options` ask for in an image of `size` bytes.
Region regionOf(const SweepOptions& options, int64_t size);

// Why the region of `options` does not fit an image of `size` bytes, or an --entry lies outside
// it (a usage error, with no subject). Names must be resolved.
std::optional<Problem> regionProblem(const SweepOptions& options, int64_t size);

// What a sweep gives.
struct SweepResult {
  SweepInfo info;
  RunState run;
  LegacyWarnings warnings;           // the legacy sweep's
  std::optional<FollowTrace> trace;  // the follow sweep's, for the passes after it
};

// Sweeps `input` as `options` ask. The region must fit; the legacy sweep needs kCodeWindow
// bytes.
SweepResult sweep(const SweepInput& input, const SweepOptions& options);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_SWEEPS_H_
