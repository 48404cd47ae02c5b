#include "analyzer/compare.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <utility>

namespace opfreq {
namespace {

using Pairs = std::vector<std::pair<std::optional<size_t>, std::optional<size_t>>>;

// Pairs the functions of `old` and `now` that `keyOf` gives the same key, first with first in
// address order, among those not yet `paired`; none for a function whose key is none.
template <typename KeyOf>
void pairBy(const Build& old, const Build& now, KeyOf keyOf, std::vector<bool>& oldPaired,
            std::vector<bool>& newPaired, Pairs& pairs) {
  using Key = typename decltype(keyOf(old.functions.front()))::value_type;
  std::map<Key, std::vector<size_t>> olds;
  for (size_t i = 0; i < old.functions.size(); ++i) {
    if (!oldPaired[i]) {
      if (const auto key = keyOf(old.functions[i])) olds[*key].push_back(i);
    }
  }
  std::map<Key, size_t> taken;
  for (size_t j = 0; j < now.functions.size(); ++j) {
    if (newPaired[j]) continue;
    const auto key = keyOf(now.functions[j]);
    if (!key) continue;
    const auto found = olds.find(*key);
    size_t& next = taken[*key];
    if (found == olds.end() || next >= found->second.size()) continue;
    const size_t i = found->second[next++];
    oldPaired[i] = newPaired[j] = true;
    pairs.push_back({i, j});
  }
}

}  // namespace

Build Build::of(const Analysis& analysis) {
  Build build{
      analysis.name, analysis.heldBytes, analysis.sweep.bytes, analysis.run.opcodeCount, {}};
  if (analysis.functions) build.functions = analysis.functions->functions;
  return build;
}

std::vector<Change> changesBetween(const Build& old, const Build& now) {
  std::vector<bool> oldPaired(old.functions.size()), newPaired(now.functions.size());
  Pairs pairs;
  if (!old.functions.empty() && !now.functions.empty()) {
    pairBy(
        old, now,
        [](const FunctionProfile& f) {
          return f.name.empty() ? std::nullopt : std::optional<std::string>(f.name);
        },
        oldPaired, newPaired, pairs);
    pairBy(
        old, now,
        [](const FunctionProfile& f) {
          return f.name.empty() ? std::optional(std::pair(f.content, f.bytes)) : std::nullopt;
        },
        oldPaired, newPaired, pairs);
    pairBy(
        old, now,
        [](const FunctionProfile& f) {
          return f.name.empty() ? std::optional<uint16_t>(f.address) : std::nullopt;
        },
        oldPaired, newPaired, pairs);
  }
  for (size_t i = 0; i < old.functions.size(); ++i) {
    if (!oldPaired[i]) pairs.push_back({i, std::nullopt});
  }
  for (size_t j = 0; j < now.functions.size(); ++j) {
    if (!newPaired[j]) pairs.push_back({std::nullopt, j});
  }
  std::vector<Change> changes;
  for (const auto& [i, j] : pairs) {
    Change change;
    if (i) {
      const FunctionProfile& f = old.functions[*i];
      change.name = f.name;
      change.oldAddress = f.address;
      change.oldBytes = f.bytes;
    }
    if (j) {
      const FunctionProfile& f = now.functions[*j];
      change.name = f.name;
      change.newAddress = f.address;
      change.newBytes = f.bytes;
    }
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

std::vector<size_t> opcodesBetween(const Build& old, const Build& now, size_t limit) {
  std::vector<size_t> differ;
  for (size_t op = 0; op < 256; ++op) {
    if (old.counts[op] != now.counts[op]) differ.push_back(op);
  }
  const auto size = [&](size_t op) {
    const int64_t delta = int64_t{now.counts[op]} - old.counts[op];
    return delta < 0 ? -delta : delta;
  };
  std::stable_sort(differ.begin(), differ.end(),
                   [&](size_t a, size_t b) { return size(a) > size(b); });
  differ.resize(std::min(differ.size(), limit));
  return differ;
}

}  // namespace opfreq
