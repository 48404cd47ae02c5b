#include "analyzer/code_scanner.h"

#include <limits>

namespace opfreq {
namespace {

constexpr uint8_t kLjmp = 0x02;

// Every sweep counts at most one instruction at each offset of a region of at most kSweepLimit
// bytes (the follow sweep too, whose instructions may overlap), and an LCALL's three bytes fit
// at all but the last two of them; the ACALLs that reach one address lie in one 2 KiB page.
static_assert(kSweepLimit - 2 <= std::numeric_limits<uint16_t>::max(),
              "the 16-bit call counters of CallTable cannot overflow");

}  // namespace

void scanCode(std::span<const uint8_t, kCodeWindow> image, RunState& run, OutputStream& out) {
  if (image[0] != kLjmp) out.writeText("Warning: possibly not 8051 binary code", true);
  run.lastOffset = run.fileSize - 1;
  if (run.lastOffset > kSweepLimit - 1) {
    run.lastOffset = kSweepLimit - 1;
    out.writeText("Warning:only first 64KB are testing", true);
  }
  // The image is loaded at 0000h: an offset is its own code address.
  Counter counter(run);
  sweepSpan(image.data(), 0, static_cast<size_t>(run.lastOffset), 0, counter);
}

}  // namespace opfreq
