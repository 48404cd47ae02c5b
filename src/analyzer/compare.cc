#include "analyzer/compare.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

namespace opfreq {

Build Build::of(const Analysis& analysis) {
  Build build{analysis.name, analysis.sweep.bytes, analysis.run.opcodeCount, {}};
  if (analysis.functions) build.functions = analysis.functions->functions;
  return build;
}

std::vector<Change> changesBetween(const Build& old, const Build& now) {
  // A function's key: its name, or its address when it has none.
  using Key = std::pair<std::string, uint16_t>;
  const auto keyOf = [](const FunctionProfile& f) {
    return f.name.empty() ? Key{"", f.address} : Key{f.name, 0};
  };
  std::map<Key, Change> byKey;
  for (const FunctionProfile& f : old.functions) {
    Change& change = byKey[keyOf(f)];
    change.name = f.name;
    change.oldAddress = f.address;
    change.oldBytes = f.bytes;
  }
  for (const FunctionProfile& f : now.functions) {
    Change& change = byKey[keyOf(f)];
    change.name = f.name;
    change.newAddress = f.address;
    change.newBytes = f.bytes;
  }
  std::vector<Change> changes;
  for (auto& [key, change] : byKey) {
    if (change.oldBytes != change.newBytes) changes.push_back(std::move(change));
  }
  const auto order = [](const Change& c) {
    const int64_t size = c.delta() < 0 ? -c.delta() : c.delta();
    return std::tuple(-size, c.name.empty(), c.name,
                      c.newAddress.value_or(0xFFFF) + int32_t{!c.newAddress},
                      c.oldAddress.value_or(0xFFFF) + int32_t{!c.oldAddress});
  };
  std::sort(changes.begin(), changes.end(),
            [&](const Change& a, const Change& b) { return order(a) < order(b); });
  return changes;
}

}  // namespace opfreq
