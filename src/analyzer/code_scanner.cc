#include "analyzer/code_scanner.h"

#include <cstring>
#include <limits>

#include "analyzer/opcode_table.h"

namespace opfreq {
namespace {

constexpr uint8_t kLjmp = 0x02;

// How far the sweep moves past each opcode. Opcodes that need more than a step (the calls,
// whose operands are decoded, and the fill bytes 00h and FFh, whose runs are counted in one
// go) advance by kSlowPath instead, which takes the position far past the end of the image so
// that the inner loop's one bounds test also catches them.
constexpr size_t kSlowPath = size_t{1} << 20;

// A call takes at least two bytes, so a sweep of kSweepLimit bytes holds at most 32768 of them.
static_assert(kSweepLimit / 2 <= std::numeric_limits<uint16_t>::max(),
              "the 16-bit call counters of CallTable cannot overflow");

constexpr std::array<size_t, 256> makeAdvance() {
  std::array<size_t, 256> table{};
  for (size_t op = 0; op < 256; ++op) {
    const bool slow = isCall(op) || op == 0x00 || op == 0xFF;
    table[op] = slow ? kSlowPath : static_cast<size_t>(OpcodeTable[op].cmdlen);
  }
  return table;
}

// The number of bytes equal to image[pos] from pos on, up to and including `last`.
size_t runLength(const uint8_t* image, size_t pos, size_t last) {
  const uint8_t value = image[pos];
  uint64_t pattern = 0;
  std::memset(&pattern, value, sizeof pattern);
  size_t end = pos + 1;
  while (end + 8 <= last + 1) {
    uint64_t chunk = 0;
    std::memcpy(&chunk, image + end, sizeof chunk);
    if (chunk != pattern) break;
    end += 8;
  }
  while (end <= last && image[end] == value) ++end;
  return end - pos;
}

}  // namespace

void scanCode(const CodeImage& image, RunState& run, OutputStream& out) {
  if (image[0] != kLjmp) out.writeText("Warning: possibly not 8051 binary code", true);
  run.lastOffset = run.fileSize - 1;
  if (run.lastOffset > kSweepLimit - 1) {
    run.lastOffset = kSweepLimit - 1;
    out.writeText("Warning:only first 64KB are testing", true);
  }
  // The image is loaded at 0000h: an offset is its own code address.
  sweepSpan(image.data(), 0, static_cast<size_t>(run.lastOffset), 0, run);
}

size_t sweepSpan(const uint8_t* bytes, size_t first, size_t last, uint32_t bias, RunState& run) {
  static constexpr std::array<size_t, 256> kAdvance = makeAdvance();
  int32_t* const counts = run.opcodeCount.data();
  size_t pos = first;  // the offset of the next instruction
  for (;;) {
    const uint8_t plain = bytes[pos];
    ++counts[plain];
    pos += kAdvance[plain];
    if (pos <= last) continue;
    if (pos < kSlowPath) break;  // stepped past the last instruction
    pos -= kSlowPath;            // back at the opcode, which is counted already
    const uint8_t op = bytes[pos];
    if (isCall(op)) {
      const auto length = static_cast<size_t>(OpcodeTable[op].cmdlen);
      countCall(bytes + pos, pos + length + bias, run);
      pos += length;
    } else {
      const size_t length = runLength(bytes, pos, last);
      counts[op] += static_cast<int32_t>(length) - 1;
      pos += length;
    }
    if (pos > last) break;
  }
  return pos;
}

}  // namespace opfreq
