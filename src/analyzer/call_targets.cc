#include "analyzer/call_targets.h"

#include <algorithm>

namespace opfreq {

std::vector<CallSite> CallTable::sites() const {
  std::vector<uint16_t> addresses(called_.begin(), called_.begin() + calledCount_);
  std::sort(addresses.begin(), addresses.end());
  std::vector<CallSite> result;
  result.reserve(addresses.size());
  for (uint16_t address : addresses) result.push_back({address, counts_[address]});
  return result;
}

int32_t countSubroutines(const CallTable& calls) { return calls.distinctCount(); }

HotTargets selectHotTargets(std::span<const CallSite> sites) {
  // Addresses never called cannot pass a threshold of 2 or more, so scanning only the called
  // ones gives what a scan of all 65536 counters gives.
  HotTargets hot;
  int32_t threshold = 32768;
  int32_t step = 32768;
  for (;;) {
    hot = HotTargets{};
    for (uint16_t k = 0; k < 8; ++k) hot.topCallAddress[k] = k;
    for (const CallSite& site : sites) {
      if (site.count > threshold) {
        if (hot.foundCount < 8) {
          hot.topCallCount[static_cast<size_t>(hot.foundCount)] = site.count;
          hot.topCallAddress[static_cast<size_t>(hot.foundCount)] = site.address;
        }
        ++hot.foundCount;
      }
    }
    step /= 2;  // a power of two of at least 2 here, so the halving is exact
    if (hot.foundCount < 8) threshold -= step;
    if (hot.foundCount > 8) threshold += step;
    if (hot.foundCount == 8 || step < 2) return hot;
  }
}

}  // namespace opfreq
