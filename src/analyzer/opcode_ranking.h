// Ranks the 256 opcodes by how often the sweep met them, most frequent first. Equal counts
// keep ascending opcode order, so the result is that of any stable sort by descending count.
#ifndef OPFREQ_ANALYZER_OPCODE_RANKING_H_
#define OPFREQ_ANALYZER_OPCODE_RANKING_H_

#include <array>
#include <cstdint>

namespace opfreq {

// Entry i of each table describes rank i.
struct OpcodeRanking {
  std::array<int32_t, 256> opcodeCount{};
  std::array<int32_t, 256> rankOrder{};  // the opcode value
};

// `opcodeCount` is by opcode value; the counts themselves are left as they are.
OpcodeRanking rankOpcodes(const std::array<int32_t, 256>& opcodeCount);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_OPCODE_RANKING_H_
