#include "analyzer/code_scanner.h"

#include "analyzer/opcode_table.h"

namespace opfreq {
namespace {

constexpr uint8_t kLjmp = 0x02;
constexpr uint8_t kLcall = 0x12;
constexpr uint8_t kCallMark = 0xFF;  // in kOperandBytes: the opcode's operands are decoded

// Operand bytes to skip per opcode, with the call opcodes marked, so that the common case
// is one lookup and one add.
constexpr std::array<uint8_t, 256> makeOperandBytes() {
  std::array<uint8_t, 256> table{};
  for (size_t op = 0; op < 256; ++op) {
    const bool isCall = op == kLcall || (op & 0x1F) == 0x11;
    table[op] = isCall ? kCallMark : static_cast<uint8_t>(OpcodeTable[op].cmdlen - 1);
  }
  return table;
}

}  // namespace

void scanCode(const CodeImage& image, RunState& run, OutputStream& out) {
  static const std::array<uint8_t, 256> kOperandBytes = makeOperandBytes();

  if (image[0] != kLjmp) out.writeText("Warning: possibly not 8051 binary code", true);
  run.lastOffset = run.fileSize - 1;
  if (run.lastOffset > kSweepLimit - 1) {
    run.lastOffset = kSweepLimit - 1;
    out.writeText("Warning:only first 64KB are testing", true);
  }

  // scanPos is also the code address of the next byte: the image is loaded at 0000h.
  int32_t scanPos = 0;
  int32_t acalls = 0;
  const int32_t lastOffset = run.lastOffset;
  while (scanPos <= lastOffset) {
    const uint8_t op = image[static_cast<size_t>(scanPos++)];
    ++run.opcodeCount[op];
    const uint8_t operands = kOperandBytes[op];
    if (operands != kCallMark) {
      scanPos += operands;
    } else if (op == kLcall) {
      const auto hi = image[static_cast<size_t>(scanPos)];
      const auto lo = image[static_cast<size_t>(scanPos) + 1];
      scanPos += 2;
      run.calls.count(static_cast<uint16_t>(hi << 8 | lo));
    } else {
      // ACALL: the page (top five bits) of the address after the instruction, bits 10 to 8
      // from the opcode, bits 7 to 0 from the operand. Past FFFFh the page wraps to 0000h.
      ++acalls;
      const auto lo = image[static_cast<size_t>(scanPos++)];
      run.calls.count(static_cast<uint16_t>((scanPos & 0xF800) + (op >> 5) * 256 + lo));
    }
  }
  run.acallCount = acalls;
}

}  // namespace opfreq
