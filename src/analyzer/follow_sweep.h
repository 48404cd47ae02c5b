// The follow sweep: only the instructions that control can reach, by the rules of
// control_flow.h. Tracing starts at the reset address (0000h, or that of --vectors), then each
// extra entry point, then each interrupt vector (reset + 3 + 8k, k = 0 to 19) that holds LJMP,
// AJMP or RETI whose instruction fits, whose jump target can be read and which no instruction
// counted so far covers, then the late entry points (code symbols). Each instruction is taken
// once, at the first visit; a jump into an instruction's middle starts another one there.
#ifndef OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
#define OPFREQ_ANALYZER_FOLLOW_SWEEP_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "analyzer/region.h"
#include "analyzer/region_code.h"

namespace opfreq {

struct FollowEntries {
  uint16_t reset = 0x0000;
  std::vector<uint16_t> entries;  // traced with the reset address, before the vectors
  std::vector<uint16_t> late;     // traced after the vectors
};

// Where the follow sweep went, for what is worked out from it afterwards (functions.h).
struct FollowTrace {
  TraceMarks marks;               // kCounted where an instruction counted starts, kCovered and
                                  // kOverlapped on the bytes they cover
  std::vector<uint16_t> vectors;  // the vectors taken
  bool overlapping = false;       // some byte is covered by more than one instruction
};

// Shows `visitor` (see code_scanner.h) each instruction reached in the region of `info`, whose
// bytes, overlap, entries and tables it sets. Code that jumps into the middle of an instruction
// counts an instruction there too; a byte that two instructions cover is one byte of the code.
// Instantiated for the visitors that the sweeps use.
template <typename Visitor>
FollowTrace followCode(const SweepInput& input, const FollowEntries& entries, Visitor& visitor,
                       SweepInfo& info);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
