// The kernel that every sweep shares: sweepSpan, one linear pass over a span of offsets that
// takes every byte it lands on as an opcode and steps over the operands by the instruction's
// length, decoding the targets of LCALL and the eight ACALLs. The legacy sweep (scanCode) is
// that pass over the first 64 KiB, data swept exactly like code; the region sweep runs it over
// each run of readable offsets (sweeps.h); the follow sweep shows its instructions the same way.
//
// Every sweep shows each instruction it takes to a visitor, which does what it likes with it:
// Counter counts opcodes and calls into a RunState. A visitor is a template parameter, so that
// the call costs nothing in the sweep's inner loop. It has two members:
//   void instruction(const Instruction&);
//   void repeated(const Instruction& first, size_t count);  // `count` one-byte instructions
//                                                          // like `first`, one after another
#ifndef OPFREQ_ANALYZER_CODE_SCANNER_H_
#define OPFREQ_ANALYZER_CODE_SCANNER_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "analyzer/opcode_table.h"
#include "analyzer/run_state.h"

namespace opfreq {

// The bytes the sweep may read: the file's first min(fileSize, kCodeWindow) bytes, then zeros,
// which is what a read past the end of the file delivers.
using CodeImage = std::array<uint8_t, kCodeWindow>;

// What the legacy sweep notices of an image, for its report to put into words.
struct LegacyWarnings {
  bool notLjmpFirst = false;  // offset 0 holds no LJMP: possibly not 8051 code
  bool cut = false;           // the image goes on past offset FFFFh, the last swept
  friend bool operator==(const LegacyWarnings&, const LegacyWarnings&) = default;
};

// Sweeps `image`, and says which of the two warnings apply. run.fileSize must be 1 or more.
LegacyWarnings scanCode(std::span<const uint8_t, kCodeWindow> image, RunState& run);

struct Instruction {
  size_t offset;     // in the image
  uint16_t address;  // in code memory
  uint8_t opcode;
  uint8_t length;
  std::optional<uint16_t> callTarget;  // for LCALL and ACALL
};

// Counts each instruction into a RunState: its opcode and, for a call, its target.
class Counter {
 public:
  explicit Counter(RunState& run) : run_(run) {}
  void instruction(const Instruction& i) {
    ++run_.opcodeCount[i.opcode];
    if (!i.callTarget) return;
    if (i.opcode == kLcall) {
      run_.calls.count(*i.callTarget);
    } else {
      ++run_.acallCount;
      run_.calls.countAcall(*i.callTarget);
    }
  }
  void repeated(const Instruction& first, size_t count) {
    run_.opcodeCount[first.opcode] += static_cast<int32_t>(count);
  }

 private:
  RunState& run_;
};

namespace sweep_detail {

// How far the sweep moves past each opcode. Opcodes that need more than a step (the calls,
// whose operands are decoded, and the fill bytes 00h and FFh, whose runs are taken in one go)
// advance by kSlowPath instead, which takes the position far past the end of the image so that
// the inner loop's one bounds test also catches them.
constexpr size_t kSlowPath = size_t{1} << 20;

constexpr std::array<size_t, 256> kAdvance = [] {
  std::array<size_t, 256> table{};
  for (size_t op = 0; op < 256; ++op) {
    const bool slow = OpcodeTable[op].flow == Flow::Call || op == kNop || op == kMovR7A;
    table[op] = slow ? kSlowPath : static_cast<size_t>(OpcodeTable[op].cmdlen);
  }
  return table;
}();

// The number of bytes equal to bytes[pos] from pos on, up to and including `last`.
inline size_t runLength(const uint8_t* bytes, size_t pos, size_t last) {
  const uint8_t value = bytes[pos];
  uint64_t pattern = 0;
  std::memset(&pattern, value, sizeof pattern);
  size_t end = pos + 1;
  while (end + 8 <= last + 1) {
    uint64_t chunk = 0;
    std::memcpy(&chunk, bytes + end, sizeof chunk);
    if (chunk != pattern) break;
    end += 8;
  }
  while (end <= last && bytes[end] == value) ++end;
  return end - pos;
}

}  // namespace sweep_detail

namespace sweep_detail {

// The instruction at `pos` that takes more than a step: a call, whose target is decoded, or a run
// of fill bytes, shown in one go. Returns the offset after it.
template <typename Visitor>
size_t slowStep(const uint8_t* bytes, size_t pos, size_t last, uint32_t bias, Visitor& visitor) {
  const uint8_t op = bytes[pos];
  const auto address = static_cast<uint16_t>(pos + bias);
  if (op == kNop || op == kMovR7A) {
    const size_t count = runLength(bytes, pos, last);
    visitor.repeated({pos, address, op, 1, std::nullopt}, count);
    return pos + count;
  }
  const auto length = static_cast<uint8_t>(OpcodeTable[op].cmdlen);
  const auto after = static_cast<uint16_t>(address + length);
  visitor.instruction({pos, address, op, length, targetOf(bytes + pos, after)});
  return pos + length;
}

}  // namespace sweep_detail

// The sweep itself, shared by every linear sweep: shows `visitor` the instructions that start
// at offsets `first` to `last` of `bytes`, in one pass. The operands of the last instructions
// are read past `last` as they lie, so up to two bytes past it must be readable. The code
// address of offset o is (o + bias) mod 10000h. Returns the offset that follows the last
// instruction shown.
template <typename Visitor>
size_t sweepSpan(const uint8_t* bytes, size_t first, size_t last, uint32_t bias, Visitor& visitor) {
  using sweep_detail::kAdvance;
  using sweep_detail::kSlowPath;
  // One position only, moved before it is tested, so that the inner loop is a load, a count, an
  // add and a test: the instruction's own offset is worked out again only where it is used.
  size_t pos = first;
  for (;;) {
    const uint8_t op = bytes[pos];
    const size_t step = kAdvance[op];
    pos += step;
    if (pos <= last) [[likely]] {
      visitor.instruction({pos - step, static_cast<uint16_t>(pos - step + bias), op,
                           static_cast<uint8_t>(step), std::nullopt});
      continue;
    }
    if (pos < kSlowPath) {  // the last instruction
      visitor.instruction({pos - step, static_cast<uint16_t>(pos - step + bias), op,
                           static_cast<uint8_t>(step), std::nullopt});
      return pos;
    }
    pos = sweep_detail::slowStep(bytes, pos - kSlowPath, last, bias, visitor);
    if (pos > last) return pos;
  }
}

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CODE_SCANNER_H_
