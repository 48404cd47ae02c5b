#include "analyzer/opcode_ranking.h"

#include <algorithm>
#include <functional>

namespace opfreq {

OpcodeRanking rankOpcodes(const std::array<int32_t, 256>& opcodeCount) {
  // One key per opcode, count above opcode, so that ties fall back to opcode order and a plain
  // sort of distinct keys is stable. Counts are never negative.
  std::array<int64_t, 256> keys{};
  for (size_t op = 0; op < 256; ++op) {
    keys[op] = int64_t{opcodeCount[op]} * 256 + static_cast<int64_t>(255 - op);
  }
  std::sort(keys.begin(), keys.end(), std::greater<>());
  OpcodeRanking ranking;
  for (size_t rank = 0; rank < 256; ++rank) {
    ranking.opcodeCount[rank] = static_cast<int32_t>(keys[rank] / 256);
    ranking.rankOrder[rank] = static_cast<int32_t>(255 - keys[rank] % 256);
  }
  return ranking;
}

}  // namespace opfreq
