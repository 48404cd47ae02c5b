// Two builds compared (--compare OLD NEW), function by function: the functions whose bytes
// changed, or that one build lacks.
//
// Functions are matched by name, and those without one by address. Changes come largest first
// (by how much the bytes changed), then the named ones by name, then the others by address, new
// before old.
#ifndef OPFREQ_ANALYZER_COMPARE_H_
#define OPFREQ_ANALYZER_COMPARE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/analysis.h"

namespace opfreq {

// What the comparison needs of one build.
struct Build {
  std::string name;
  int64_t bytes = 0;
  std::array<int32_t, 256> counts{};
  std::vector<FunctionProfile> functions;

  static Build of(const Analysis& analysis);
};

struct Change {
  std::string name;  // empty when the function has none
  std::optional<uint16_t> oldAddress, newAddress;
  std::optional<int64_t> oldBytes, newBytes;
  int64_t delta() const { return newBytes.value_or(0) - oldBytes.value_or(0); }
  friend bool operator==(const Change&, const Change&) = default;
};

std::vector<Change> changesBetween(const Build& old, const Build& now);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_COMPARE_H_
