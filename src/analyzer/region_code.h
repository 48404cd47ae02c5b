// The bytes of a region read as code, for the tracers that follow control through it
// (control_flow.h): which offsets can be read, each opcode's length and flow side by side, and
// the marks the tracers leave on each byte.
//
// What the tracers may read is code that is there. Not a byte that a record text did not write
// (with or without --written), and not erased fill: a byte inside a run of kFillRun or more FFh
// bytes in a row (written ones, with record text) stops the trace as the end of the image does.
// An EPROM dump or code linked high is mostly fill, which reads as MOV R7,A.
#ifndef OPFREQ_ANALYZER_REGION_CODE_H_
#define OPFREQ_ANALYZER_REGION_CODE_H_

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "analyzer/opcode_table.h"
#include "analyzer/region.h"

namespace opfreq {

// The length and flow of each opcode, from OpcodeTable, side by side in two bytes: the tracers
// read both for every instruction.
struct Step {
  uint8_t length;
  Flow flow;
};
inline constexpr std::array<Step, 256> kSteps = [] {
  std::array<Step, 256> steps{};
  for (size_t op = 0; op < 256; ++op) {
    steps[op] = {static_cast<uint8_t>(OpcodeTable[op].cmdlen), OpcodeTable[op].flow};
  }
  return steps;
}();

// What the tracers know of each index of a region, a byte each: quicker to test and set than a
// bit, on the path that every instruction takes. Not a character type, which the compiler
// would have to take as changing any other value it holds whenever one mark is set.
enum RegionMark : uint8_t {
  kCounted = 1,         // the follow sweep counted an instruction that starts here
  kFunctionStart = 2,   // a function starts here
  kOwned = 4,           // a function owns the instruction that starts here
  kCovered = 8,         // an instruction counted covers this byte
  kOverlapped = 16,     // more than one does
  kBlocked = 32,        // no tracer reads this byte: unwritten, or erased fill
  kUnresolved = 64,     // the follow sweep could not resolve the jump or call that starts here
  kPlainRoutine = 128,  // a routine called from here on returns to the byte after its call
};
// The shortest run of FFh bytes that is erased fill rather than code.
constexpr size_t kFillRun = 16;
constexpr RegionMark operator|(RegionMark a, RegionMark b) {
  return static_cast<RegionMark>(uint8_t{a} | uint8_t{b});
}
struct FreeMarks {
  void operator()(RegionMark* marks) const { std::free(marks); }
};
using RegionMarks = std::unique_ptr<RegionMark[], FreeMarks>;
// Room past the last mark, so that the marks of an instruction's bytes are read and written in
// one go, whatever its length.
constexpr size_t kMarksPast = 3;
// None set, from calloc: a large block comes as fresh zeroed pages instead of being cleared.
inline RegionMarks clearMarks(size_t count) {
  auto* marks = static_cast<RegionMark*>(std::calloc(count + kMarksPast, 1));
  if (marks == nullptr) throw std::bad_alloc();
  return RegionMarks(marks);
}

// The marks of a region, and whether any of its bytes is blocked: most binaries have none, and
// then only the region's end is to be tested.
struct TraceMarks {
  RegionMarks marks;
  bool blocked = false;
};

// Marks for the region of `input`, each byte that no tracer may read blocked.
TraceMarks regionMarks(const SweepInput& input, const Region& region);

class RegionCode {
 public:
  // `marks` are the region's (regionMarks), which outlive this.
  RegionCode(const SweepInput& input, const Region& region, const TraceMarks& marks)
      : bytes_(input.bytes.data() + region.from),
        marks_(marks.marks.get()),
        blocked_(marks.blocked),
        from_(static_cast<size_t>(region.from)),
        size_(region.size()),
        at_(region.at) {}

  size_t size() const { return size_; }
  // The index in the region of the offset that holds `address`; size() or more when the region
  // does not hold it.
  size_t indexOf(uint16_t address) const { return static_cast<uint16_t>(address - at_); }
  uint16_t addressOf(size_t index) const { return static_cast<uint16_t>(at_ + index); }
  size_t offsetOf(size_t index) const { return from_ + index; }
  const uint8_t* code(size_t index) const { return bytes_ + index; }

  // Whether the `length` bytes from `index` on lie in the region and can be read.
  bool readable(size_t index, size_t length) const {
    if (index + length > size_) return false;
    if (!blocked_) [[likely]]
      return true;
    for (size_t i = index; i < index + length; ++i) {
      if ((marks_[i] & kBlocked) != 0) return false;
    }
    return true;
  }

 private:
  const uint8_t* bytes_;  // the region's first byte
  const RegionMark* marks_;
  bool blocked_;
  size_t from_;
  size_t size_;
  uint16_t at_;
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_REGION_CODE_H_
