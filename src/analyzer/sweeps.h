// The sweeps that count only the code that is there, beside the legacy sweep of scanCode:
// - linear: from the start of each run of readable offsets in the region, instruction by
//   instruction, until one does not fit in the run;
// - follow (follow_sweep.h): only the instructions reached from the entry points.
// A region is a window of at most 64 KiB of image offsets, mapped to code addresses from `at`
// on; an offset is readable when it lies in the region and, with `written`, a record wrote it.
//
// A sweep reads the image and fills the counters of a RunState (opcodeCount by opcode value,
// calls, acallCount); it writes nothing. Without any sweep option, sweepImage is the legacy
// sweep itself, warnings aside.
#ifndef OPFREQ_ANALYZER_SWEEPS_H_
#define OPFREQ_ANALYZER_SWEEPS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyzer/run_state.h"
#include "filein/offset_set.h"

namespace opfreq {

// The widest region, and the address space it is mapped into.
constexpr int64_t kRegionLimit = 65536;

struct SweepOptions {
  bool follow = false;
  bool written = false;
  std::optional<int64_t> rangeFrom;  // with rangeTo: image offsets, inclusive
  int64_t rangeTo = 0;
  std::optional<uint16_t> at;  // the code address of the region's first offset
  std::vector<uint16_t> entries;
  bool any() const { return follow || written || rangeFrom || at; }
};

enum class SweepMode { Linear, Written, Range, Follow };

// What was swept.
struct SweepInfo {
  SweepMode mode = SweepMode::Linear;
  int64_t from = 0;  // the region: image offsets, inclusive
  int64_t to = 0;
  uint16_t at = 0;
  bool written = false;  // only the offsets a record text wrote were read
  int64_t bytes = 0;     // the lengths of the instructions counted, added up
  int64_t instructions = 0;
  std::vector<uint16_t> entries;  // follow: the entry points used, ascending
};

struct SweepInput {
  // The image's bytes, zeros past its end; at least up to the region's end and two more.
  std::span<const uint8_t> bytes;
  int64_t size = 0;
  const OffsetSet* written = nullptr;  // the offsets a record text wrote; null: all of them
};

// Why a region of `options` does not fit an image of `size` bytes; empty when it does.
std::string regionProblem(const SweepOptions& options, int64_t size);

// Sweeps `input` as `options` ask into `run`, which must be fresh. The region must fit.
SweepInfo sweepImage(const SweepInput& input, const SweepOptions& options, RunState& run);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_SWEEPS_H_
