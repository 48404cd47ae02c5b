// The sweep: one linear pass from offset 0 that takes every byte it lands on as an opcode,
// counts it, and steps over the operands by the instruction's length. LCALL (12h) and the eight
// ACALL opcodes (low five bits 11h) have their targets decoded and counted. Nothing is followed
// or resynchronised: data is swept exactly like code.
#ifndef OPFREQ_ANALYZER_CODE_SCANNER_H_
#define OPFREQ_ANALYZER_CODE_SCANNER_H_

#include <array>
#include <cstdint>

#include "analyzer/run_state.h"
#include "textout/output_stream.h"

namespace opfreq {

// The bytes the sweep may read: the file's first min(fileSize, kCodeWindow) bytes, then zeros,
// which is what a read past the end of the file delivers.
using CodeImage = std::array<uint8_t, kCodeWindow>;

// Writes the two warning lines when they apply (first byte not 02h; file over 64 KiB), then
// sweeps `image`. run.fileSize must be 1 or more.
void scanCode(const CodeImage& image, RunState& run, OutputStream& out);

// Counts the call that `code` holds (LCALL, or ACALL: the opcode and its operands), whose next
// instruction lies at code address `next`.
inline void countCall(const uint8_t* code, size_t next, RunState& run) {
  const uint8_t op = code[0];
  if (op == 0x12) {
    run.calls.count(static_cast<uint16_t>(code[1] << 8 | code[2]));
    return;
  }
  // ACALL: the page (top five bits) of the address after the instruction, bits 10 to 8 from the
  // opcode, bits 7 to 0 from the operand. Past FFFFh the page wraps to 0000h.
  ++run.acallCount;
  run.calls.countAcall(static_cast<uint16_t>((next & 0xF800) + (size_t{op} >> 5) * 256 + code[1]));
}

// Whether `op` is LCALL or one of the eight ACALLs.
constexpr bool isCall(size_t op) { return op == 0x12 || (op & 0x1F) == 0x11; }

// The sweep itself, shared by every sweep: counts the instructions that start at offsets
// `first` to `last` of `bytes` in one linear pass, into run's opcodeCount, calls and
// acallCount. The operands of the last instructions are read past `last` as they lie, so up to
// two bytes past it must be readable. The code address of offset o is (o + bias) mod 10000h.
// Returns the offset that follows the last instruction counted.
size_t sweepSpan(const uint8_t* bytes, size_t first, size_t last, uint32_t bias, RunState& run);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CODE_SCANNER_H_
