#include "analyzer/sweeps.h"

#include <algorithm>

#include "analyzer/code_scanner.h"
#include "analyzer/follow_sweep.h"
#include "analyzer/opcode_table.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

// Each run of readable offsets from its first offset, until an instruction does not fit.
void sweepLinear(const SweepInput& input, Counter& counter, SweepInfo& info) {
  const auto end = static_cast<size_t>(info.region.to) + 1;
  const uint32_t bias = info.region.bias();
  for (auto first = static_cast<size_t>(info.region.from);;) {
    if (input.written != nullptr) first = input.written->next(first, end, true);
    if (first >= end) break;
    const size_t last =
        (input.written != nullptr ? input.written->next(first, end, false) : end) - 1;
    size_t pos = first;
    // An instruction that starts two bytes before the run's end fits whatever its length.
    if (last - first >= 2) pos = sweepSpan(input.bytes.data(), first, last - 2, bias, counter);
    while (pos <= last &&
           pos + static_cast<size_t>(OpcodeTable[input.bytes[pos]].cmdlen) - 1 <= last) {
      pos = sweepSpan(input.bytes.data(), pos, pos, bias, counter);
    }
    info.bytes += static_cast<int64_t>(pos - first);
    first = last + 1;
  }
}

// The legacy sweep and its report's two numbers, with the warnings it writes kept for the
// report: they come after the file name line, which the view writes.
void sweepLegacy(const SweepInput& input, Analysis& analysis) {
  analysis.run.fileSize = static_cast<int32_t>(input.size);
  StringSink notes;
  OutputStream out(notes);
  scanCode(input.bytes.first<kCodeWindow>(), analysis.run, out);
  analysis.notes = std::move(notes.text);
  analysis.sweep.region = {0, analysis.run.lastOffset, 0};
  analysis.sweep.bytes = analysis.run.lastOffset + 1;
}

}  // namespace

std::string regionProblem(const SweepOptions& options, int64_t size) {
  if (!options.rangeFrom || options.rangeTo < size) return "";
  return "the range " + hexDigits(static_cast<uint64_t>(*options.rangeFrom), 5) + "h to " +
         hexDigits(static_cast<uint64_t>(options.rangeTo), 5) +
         "h ends past the image, which has " + std::to_string(size) + " bytes";
}

void sweepImage(const SweepInput& input, const SweepOptions& options, Analysis& analysis) {
  SweepInfo& info = analysis.sweep;
  if (!options.any()) {
    sweepLegacy(input, analysis);
  } else {
    Region& region = info.region;
    region.from = options.rangeFrom.value_or(0);
    region.to = options.rangeFrom ? options.rangeTo : std::min(input.size, kRegionLimit) - 1;
    region.at = options.at.value_or(static_cast<uint16_t>(region.from & 0xFFFF));
    info.written = options.written;
    Counter counter(analysis.run);
    if (options.follow) {
      info.mode = SweepMode::Follow;
      followCode(input, options.entries, counter, info);
    } else {
      info.mode = options.written ? SweepMode::Written : SweepMode::Range;
      sweepLinear(input, counter, info);
    }
  }
  for (const int32_t count : analysis.run.opcodeCount) info.instructions += count;
}

}  // namespace opfreq
