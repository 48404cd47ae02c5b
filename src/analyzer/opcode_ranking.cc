#include "analyzer/opcode_ranking.h"

#include <algorithm>
#include <functional>

namespace opfreq {

void rankOpcodes(RunState& run) {
  // One key per entry, count above position, so that ties fall back to the entry order and
  // a plain sort of distinct keys is stable. Counts are never negative.
  std::array<int64_t, 256> keys{};
  for (size_t i = 0; i < 256; ++i) {
    keys[i] = int64_t{run.opcodeCount[i]} * 256 + static_cast<int64_t>(255 - i);
  }
  std::sort(keys.begin(), keys.end(), std::greater<>());
  const std::array<int32_t, 256> order = run.rankOrder;
  for (size_t rank = 0; rank < 256; ++rank) {
    const auto entry = static_cast<size_t>(255 - keys[rank] % 256);
    run.opcodeCount[rank] = static_cast<int32_t>(keys[rank] / 256);
    run.rankOrder[rank] = order[entry];
  }
}

}  // namespace opfreq
