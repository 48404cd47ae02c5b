#include "analyzer/call_targets.h"

#include <algorithm>
#include <new>

namespace opfreq {

namespace {

constexpr size_t kTables = 4;

// The tables in one block: large enough that the allocator takes it from the system as fresh
// zeroed pages instead of clearing reused memory.
uint16_t* allocateTables() {
  void* block = std::calloc(kTables * kCodeSpace, sizeof(uint16_t));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<uint16_t*>(block);
}

}  // namespace

CallTable::CallTable()
    : counts_(allocateTables()),
      hot_(counts_.get() + kCodeSpace),
      called_(hot_ + kCodeSpace),
      acalls_(called_ + kCodeSpace) {}

std::vector<CallSite> CallTable::hotSites() const {
  std::vector<uint16_t> addresses(hot_, hot_ + hotCount_);
  std::sort(addresses.begin(), addresses.end());
  std::vector<CallSite> result;
  result.reserve(addresses.size());
  for (uint16_t address : addresses) result.push_back({address, counts_[address]});
  return result;
}

std::vector<CallTarget> CallTable::byCount(size_t limit) const {
  // When enough addresses are called kHotMinimum times or more, the most called are among them.
  const bool hotSuffice = limit <= static_cast<size_t>(hotCount_);
  const std::span<const uint16_t> addresses(
      hotSuffice ? hot_ : called_, static_cast<size_t>(hotSuffice ? hotCount_ : calledCount_));
  // Each target as one number whose order is the list's: fewer calls above, then the address.
  // A random image has thousands of targets, and numbers sort several times faster than records.
  std::vector<uint32_t> keys(addresses.size());
  for (size_t i = 0; i < addresses.size(); ++i)
    keys[i] = uint32_t{static_cast<uint16_t>(~counts_[addresses[i]])} << 16 | addresses[i];
  const size_t kept = std::min(limit, keys.size());
  const auto keptEnd = keys.begin() + static_cast<std::ptrdiff_t>(kept);
  if (kept < keys.size()) {
    std::partial_sort(keys.begin(), keptEnd, keys.end());
  } else {
    std::sort(keys.begin(), keys.end());
  }
  std::vector<CallTarget> targets(kept);
  for (size_t i = 0; i < kept; ++i) {
    const auto address = static_cast<uint16_t>(keys[i]);
    const uint16_t acall = acalls_[address];
    targets[i] = {address, static_cast<uint16_t>(counts_[address] - acall), acall};
  }
  return targets;
}

int32_t countSubroutines(const CallTable& calls) { return calls.distinctCount(); }

HotTargets selectHotTargets(std::span<const CallSite> sites) {
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
