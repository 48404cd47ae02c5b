// Ranks the 256 opcodes by how often the sweep met them, most frequent first. Equal counts
// keep ascending opcode order, so the result is that of any stable sort by descending count.
// opcodeCount and rankOrder are permuted together: entry i of each then describes rank i.
#ifndef OPFREQ_ANALYZER_OPCODE_RANKING_H_
#define OPFREQ_ANALYZER_OPCODE_RANKING_H_

#include "analyzer/run_state.h"

namespace opfreq {

// rankOrder must hold 0, 1, ..., 255 on entry, opcodeCount the counts by opcode value.
void rankOpcodes(RunState& run);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_OPCODE_RANKING_H_
