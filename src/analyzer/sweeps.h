// The sweeps, and the one place that picks one for an input:
// - without a sweep option, the legacy sweep of scanCode (code_scanner.h), which reads the first
//   64 KiB as code whatever they hold;
// - linear (--written, --range, --at): from the start of each run of readable offsets in the
//   region, instruction by instruction, until one does not fit in the run;
// - follow (follow_sweep.h): only the instructions reached from the entry points.
// A sweep reads the image and fills an Analysis's counts and the description of what it swept;
// it writes nothing.
#ifndef OPFREQ_ANALYZER_SWEEPS_H_
#define OPFREQ_ANALYZER_SWEEPS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/analysis.h"
#include "analyzer/region.h"

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
  bool functions = false;               // profile the functions of what the follow sweep reaches
  std::vector<uint16_t> symbolEntries;  // those code symbols, ascending
  bool any() const { return follow || written || rangeFrom || at; }
};

// Gives each named entry its address, and fills symbolEntries when entrySymbols asks for them,
// from `symbols` (named `symbolsName`). Why it cannot; empty when it could.
std::string resolveEntries(SweepOptions& options, const SymbolTable& symbols,
                           std::string_view symbolsName);

// The region that `options` ask for in an image of `size` bytes.
Region regionOf(const SweepOptions& options, int64_t size);

// Why the region of `options` does not fit an image of `size` bytes, or why an --entry lies
// outside it; empty when nothing is wrong. Names must be resolved.
std::string regionProblem(const SweepOptions& options, int64_t size);

// Sweeps `input` as `options` ask into `analysis` (its sweep, run and, for the legacy sweep,
// notes), which must be fresh. The region must fit; the legacy sweep needs kCodeWindow bytes.
void sweepImage(const SweepInput& input, const SweepOptions& options, Analysis& analysis);

// Why the sweep of `analysis` is no answer (a follow sweep that reached nothing), and what to
// try; empty when it is one.
std::string sweepProblem(const SweepInput& input, const SweepOptions& options,
                         const Analysis& analysis);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_SWEEPS_H_
