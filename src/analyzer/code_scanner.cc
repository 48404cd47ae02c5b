#include "analyzer/code_scanner.h"

#include <limits>

namespace opfreq {
namespace {

// Every sweep counts at most one instruction at each offset of a region of at most kCodeSpace
// bytes (the follow sweep too, whose instructions may overlap), and an LCALL's three bytes fit
// at all but the last two of them; the ACALLs that reach one address lie in one 2 KiB page.
static_assert(kCodeSpace - 2 <= std::numeric_limits<uint16_t>::max(),
              "the 16-bit call counters of CallTable cannot overflow");

}  // namespace

LegacyWarnings scanCode(std::span<const uint8_t, kCodeWindow> image, RunState& run) {
  LegacyWarnings warnings;
  warnings.notLjmpFirst = image[0] != kLjmp;
  run.lastOffset = run.fileSize - 1;
  if (run.lastOffset > kCodeSpace - 1) {
    run.lastOffset = static_cast<int32_t>(kCodeSpace - 1);
    warnings.cut = true;
  }
  // The image is loaded at 0000h: an offset is its own code address.
  Counter counter(run);
  sweepSpan(image.data(), 0, static_cast<size_t>(run.lastOffset), 0, counter);
  return warnings;
}

}  // namespace opfreq
