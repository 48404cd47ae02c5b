// Call targets: how often each 16-bit code address is called (LCALL and ACALL), how many
// distinct addresses are called, and the short list of frequently called ones.
//
// The list is not a sort by count. A threshold starts at 32768 and moves by halving steps
// (16384, 8192, ..., 2) towards the point where exactly eight addresses are called more often
// than it; the list is whatever lies above the last threshold scanned, in ascending address
// order, cut after eight. That can list fewer than eight, none, or drop the hottest address in
// favour of eight lower ones; stored reports rely on exactly this behaviour.
#ifndef OPFREQ_ANALYZER_CALL_TARGETS_H_
#define OPFREQ_ANALYZER_CALL_TARGETS_H_

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "analyzer/opcode_table.h"

namespace opfreq {

// The fewest calls that can pass a threshold of the search; sites called less can be left out.
constexpr uint16_t kHotMinimum = 3;

struct CallSite {
  uint16_t address;
  uint16_t count;
  friend bool operator==(const CallSite&, const CallSite&) = default;
};

// One called address with its calls by form.
struct CallTarget {
  uint16_t address;
  uint16_t lcall;
  uint16_t acall;
  int32_t count() const { return int32_t{lcall} + acall; }
};

// The 65536 per-address counters, plus the addresses as they reach kHotMinimum calls, so that
// the hot-call search never has to walk all 65536 counters, and as they are first called, so
// that listing every target does not either.
//
// A counter cannot wrap: a sweep covers at most 65536 offsets and counts at most one instruction
// at each, an LCALL's three bytes fit at 65534 of them at most, and the ACALLs that reach one
// address all lie in one 2 KiB page.
class CallTable {
 public:
  CallTable();
  void count(uint16_t target) {
    const uint16_t before = counts_[target]++;
    if (before == 0) {
      called_[static_cast<size_t>(calledCount_++)] = target;
    } else if (before == kHotMinimum - 1) {
      hot_[static_cast<size_t>(hotCount_++)] = target;
    }
  }
  void countAcall(uint16_t target) {
    ++acalls_[target];
    count(target);
  }
  uint16_t countOf(uint16_t address) const { return counts_[address]; }
  // Every address called, in the order first called.
  std::span<const uint16_t> called() const { return {called_, static_cast<size_t>(calledCount_)}; }
  int32_t distinctCount() const { return calledCount_; }
  // Every address called at least kHotMinimum times, with its count, in ascending address order.
  std::vector<CallSite> hotSites() const;
  // The `limit` most called addresses (all of them by default): by count, most first, then by
  // address.
  std::vector<CallTarget> byCount(size_t limit = kCodeSpace) const;

 private:
  struct Free {
    void operator()(void* block) const { std::free(block); }
  };
  // From calloc: the zeroed pages come from the system untouched, so a run pays only for the
  // counters it uses instead of clearing all 65536.
  std::unique_ptr<uint16_t[], Free> counts_;
  // In the same block: the first hotCount_ and calledCount_ entries are set.
  uint16_t* hot_;
  uint16_t* called_;
  uint16_t* acalls_;  // the ACALLs among counts_
  int32_t calledCount_ = 0;
  int32_t hotCount_ = 0;
};

struct HotTargets {
  // Addresses above the last threshold, also beyond the eight stored.
  int32_t foundCount = 0;
  std::array<uint16_t, 8> topCallCount{};
  std::array<uint16_t, 8> topCallAddress{};  // unused slots hold their own index
  // The slots that hold an address: foundCount of them, eight at most.
  int32_t listed() const { return foundCount < 8 ? foundCount : 8; }
};

// Number of addresses called at least once.
int32_t countSubroutines(const CallTable& calls);

// `sites` must be in ascending address order. Every threshold scanned is 2 or more, so sites
// called fewer than kHotMinimum times may be left out: the result is the same.
HotTargets selectHotTargets(std::span<const CallSite> sites);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CALL_TARGETS_H_
