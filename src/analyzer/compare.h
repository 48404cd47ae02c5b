// Two builds compared (--compare OLD NEW), function by function: the functions whose bytes
// changed, or that one build lacks.
//
// Functions are matched in three rounds: by name, those that share a name first with first in
// address order; the unnamed ones by content (the same bytes once the code addresses in them are
// set aside, FunctionProfile::content), first with first in address order, so that a routine
// that only moved has not changed; the rest by address. Changes come largest first (by how much
// the bytes changed), then the named ones by name, then by the new address and the old one, so
// that two runs over the same builds list them in the same order.
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
  int64_t image = 0;  // the bytes the file holds
  int64_t code = 0;   // the bytes the trace counted
  std::array<int32_t, 256> counts{};
  std::vector<FunctionProfile> functions;  // ascending by address

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

// The opcodes whose counts differ, most changed first (then by opcode), at most `limit`.
std::vector<size_t> opcodesBetween(const Build& old, const Build& now, size_t limit);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_COMPARE_H_
