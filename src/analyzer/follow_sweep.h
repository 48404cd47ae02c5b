// The follow sweep: only the instructions that control can reach, traced from address 0000h, the
// extra entry points and then each interrupt vector (0003h + 8k, k = 0 to 19) whose byte is a
// jump or RETI that no instruction counted so far covers. Each instruction is counted once,
// at the first visit; a jump into an instruction's middle starts another one there. Tracing
// stops at a byte that is not readable, an instruction that does not fit, RET, RETI,
// JMP @A+DPTR and the undefined A5h, whose successors cannot be known.
#ifndef OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
#define OPFREQ_ANALYZER_FOLLOW_SWEEP_H_

#include "analyzer/sweeps.h"

namespace opfreq {

// Counts into `run` what is reached in the region of `info` (from, to, at set) and sets its
// bytes and entries.
void followCode(const SweepInput& input, std::span<const uint16_t> entries, RunState& run,
                SweepInfo& info);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
