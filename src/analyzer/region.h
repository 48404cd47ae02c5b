// What a sweep reads, and what it says it swept. A region is a window of at most 64 KiB of image
// offsets, mapped to code addresses from `at` on; an offset is readable when it lies in the
// region and, with `written`, a record wrote it.
#ifndef OPFREQ_ANALYZER_REGION_H_
#define OPFREQ_ANALYZER_REGION_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "analyzer/opcode_table.h"
#include "filein/offset_set.h"
#include "textout/text_escape.h"

namespace opfreq {

struct Region {
  int64_t from = 0;  // image offsets, inclusive
  int64_t to = 0;
  uint16_t at = 0;  // the code address of `from`

  size_t size() const { return static_cast<size_t>(to - from) + 1; }
  // What is added to an offset to give its code address, mod 10000h.
  uint32_t bias() const { return static_cast<uint32_t>(at - from) & 0xFFFF; }
};

// "offsets 00000h to 0FFFFh at address 0000h"
inline std::string describe(const Region& region) {
  return "offsets " + hexDigits(static_cast<uint64_t>(region.from), 5) + "h to " +
         hexDigits(static_cast<uint64_t>(region.to), 5) + "h at address " +
         hexDigits(region.at, 4) + "h";
}

struct SweepInput {
  // The image's bytes, zeros past its end; at least up to the region's end and two more.
  std::span<const uint8_t> bytes;
  int64_t size = 0;
  const OffsetSet* written = nullptr;  // the offsets a record text wrote; null: all of them
};

// Legacy: the sweep of the report without options; Written and Range: the region sweep.
enum class SweepMode { Legacy, Written, Range, Follow };

// What the trace cannot resolve, at the address of a jump or call instruction.
enum class Unresolved : uint8_t {
  Jump,          // a JMP @A+DPTR with no table found (but in a known helper's own bytes)
  Inline,        // a call of a routine that pops its return address, and is no known helper
  IndirectCall,  // a call through a pointer
};
std::string_view unresolvedName(Unresolved kind);  // control_flow.cc
struct UnresolvedAt {
  uint16_t address;
  Unresolved kind;
  friend bool operator==(const UnresolvedAt&, const UnresolvedAt&) = default;
  friend bool operator<(const UnresolvedAt& a, const UnresolvedAt& b) {
    return std::tie(a.address, a.kind) < std::tie(b.address, b.kind);
  }
};

// The data after a known helper's call, which the trace reads and does not take for code.
struct InlineTable {
  uint16_t address = 0;
  uint16_t length = 0;
  std::string_view helper;  // as kCallHelpers (call_helpers.h) names it
  friend bool operator==(const InlineTable&, const InlineTable&) = default;
  friend bool operator<(const InlineTable& a, const InlineTable& b) {
    return std::tie(a.address, a.length, a.helper) < std::tie(b.address, b.length, b.helper);
  }
};

// What was swept.
struct SweepInfo {
  SweepMode mode = SweepMode::Legacy;
  Region region;
  bool written = false;  // only the offsets a record text wrote were read
  int64_t bytes = 0;     // the bytes that the instructions counted cover, each once
  int64_t overlap = 0;   // follow: the bytes that more than one of them covers
  int64_t instructions = 0;
  std::vector<uint16_t> entries;         // follow: the entry points used, ascending
  std::vector<uint16_t> tables;          // follow: the jump tables read, by base address, ascending
  std::vector<InlineTable> inlineData;   // follow: helpers' data read, ascending
  std::vector<UnresolvedAt> unresolved;  // follow: ascending
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_REGION_H_
