// The follow sweep: only the instructions that control can reach, traced from address 0000h, the
// extra entry points and then each interrupt vector (0003h + 8k, k = 0 to 19) whose byte is a
// jump or RETI that no instruction counted so far covers. Each instruction is taken once, at
// the first visit; a jump into an instruction's middle starts another one there. Tracing stops
// at a byte that is not readable, an instruction that does not fit, and where the opcode table
// says control goes nowhere that can be known (RET, RETI, JMP @A+DPTR, A5h).
#ifndef OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
#define OPFREQ_ANALYZER_FOLLOW_SWEEP_H_

#include <span>

#include "analyzer/region.h"

namespace opfreq {

// Shows `visitor` (see code_scanner.h) each instruction reached in the region of `info`, whose
// bytes and entries it sets. Instantiated for the visitors that the sweeps use.
template <typename Visitor>
void followCode(const SweepInput& input, std::span<const uint16_t> entries, Visitor& visitor,
                SweepInfo& info);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_FOLLOW_SWEEP_H_
