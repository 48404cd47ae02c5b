#include "analyzer/sweeps.h"

#include <algorithm>
#include <numeric>

#include "analyzer/code_scanner.h"
#include "analyzer/follow_sweep.h"
#include "analyzer/opcode_table.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

// Each run of readable offsets from its first offset, until an instruction does not fit.
void sweepLinear(const SweepInput& input, RunState& run, SweepInfo& info) {
  const auto end = static_cast<size_t>(info.to) + 1;
  const uint32_t bias = static_cast<uint32_t>(info.at - info.from) & 0xFFFF;
  for (auto first = static_cast<size_t>(info.from);;) {
    if (input.written != nullptr) first = input.written->next(first, end, true);
    if (first >= end) break;
    const size_t last =
        (input.written != nullptr ? input.written->next(first, end, false) : end) - 1;
    size_t pos = first;
    // An instruction that starts two bytes before the run's end fits whatever its length.
    if (last - first >= 2) pos = sweepSpan(input.bytes.data(), first, last - 2, bias, run);
    while (pos <= last &&
           pos + static_cast<size_t>(OpcodeTable[input.bytes[pos]].cmdlen) - 1 <= last) {
      pos = sweepSpan(input.bytes.data(), pos, pos, bias, run);
    }
    info.bytes += static_cast<int64_t>(pos - first);
    first = last + 1;
  }
}

}  // namespace

std::string regionProblem(const SweepOptions& options, int64_t size) {
  if (!options.rangeFrom || options.rangeTo < size) return "";
  return "the range " + hexDigits(static_cast<uint64_t>(*options.rangeFrom), 5) + "h to " +
         hexDigits(static_cast<uint64_t>(options.rangeTo), 5) +
         "h ends past the image, which has " + std::to_string(size) + " bytes";
}

SweepInfo sweepImage(const SweepInput& input, const SweepOptions& options, RunState& run) {
  SweepInfo info;
  info.from = options.rangeFrom.value_or(0);
  info.to = options.rangeFrom ? options.rangeTo : std::min(input.size, kRegionLimit) - 1;
  info.at = options.at.value_or(static_cast<uint16_t>(info.from & 0xFFFF));
  info.written = options.written;
  if (options.follow) {
    info.mode = SweepMode::Follow;
    followCode(input, options.entries, run, info);
  } else if (options.any()) {
    info.mode = options.written ? SweepMode::Written : SweepMode::Range;
    sweepLinear(input, run, info);
  } else {
    // The legacy sweep: from offset 0, reading past the end of the image as zeros.
    sweepSpan(input.bytes.data(), 0, static_cast<size_t>(info.to), 0, run);
    info.bytes = info.to + 1;
  }
  info.instructions = std::accumulate(run.opcodeCount.begin(), run.opcodeCount.end(), int64_t{0});
  return info;
}

}  // namespace opfreq
