#include "analyzer/call_targets.h"

#include <algorithm>
#include <new>

namespace opfreq {

namespace {

constexpr size_t kTables = 4;

// The tables in one block: large enough that the allocator takes it from the system as fresh
// zeroed pages instead of clearing reused memory.
uint16_t* allocateTables() {
  void* block = std::calloc(kTables * 65536, sizeof(uint16_t));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<uint16_t*>(block);
}

}  // namespace

CallTable::CallTable()
    : counts_(allocateTables()),
      hot_(counts_.get() + 65536),
      called_(hot_ + 65536),
      acalls_(called_ + 65536) {}

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
  std::vector<CallTarget> targets;
  targets.reserve(addresses.size());
  for (const uint16_t address : addresses) {
    const uint16_t acall = acalls_[address];
    targets.push_back({address, static_cast<uint16_t>(counts_[address] - acall), acall});
  }
  const auto mostFirst = [](const CallTarget& a, const CallTarget& b) {
    return a.count() != b.count() ? a.count() > b.count() : a.address < b.address;
  };
  if (limit < targets.size()) {
    std::partial_sort(targets.begin(), targets.begin() + static_cast<std::ptrdiff_t>(limit),
                      targets.end(), mostFirst);
    targets.resize(limit);
  } else {
    std::sort(targets.begin(), targets.end(), mostFirst);
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
