#include "analyzer/sweeps.h"

#include <algorithm>

#include "analyzer/opcode_table.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

// Each run of readable offsets from its first offset, until an instruction does not fit.
void sweepRegion(const SweepInput& input, Counter& counter, SweepInfo& info) {
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

// The legacy sweep, and its report's two numbers.
void sweepLegacy(const SweepInput& input, SweepResult& result) {
  result.run.fileSize = static_cast<int32_t>(input.size);
  result.warnings = scanCode(input.bytes.first<kCodeWindow>(), result.run);
  result.info.region = {0, result.run.lastOffset, 0};
  result.info.bytes = result.run.lastOffset + 1;
}

}  // namespace

std::optional<Problem> resolveEntries(SweepOptions& options, const SymbolTable& symbols,
                                      std::string_view symbolsName) {
  for (EntryPoint& entry : options.entries) {
    if (entry.name.empty()) continue;
    const std::optional<uint16_t> address = symbols.addressOf(entry.name);
    if (!address) {
      return Problem::ofText(
          "", "--entry " + entry.name + ": " + std::string(symbolsName) + " has no such name",
          kUsageWrong);
    }
    entry.address = *address;
  }
  if (options.entrySymbols) options.symbolEntries = symbols.codeAddresses();
  return std::nullopt;
}

Region regionOf(const SweepOptions& options, int64_t size) {
  Region region;
  region.from = options.rangeFrom.value_or(0);
  region.to = options.rangeFrom ? options.rangeTo : std::min(size, kCodeSpace) - 1;
  region.at = options.at.value_or(static_cast<uint16_t>(region.from & 0xFFFF));
  return region;
}

std::optional<Problem> regionProblem(const SweepOptions& options, int64_t size) {
  if (options.rangeFrom && options.rangeTo >= size) {
    return Problem::ofText("",
                           "the range " + hexDigits(static_cast<uint64_t>(*options.rangeFrom), 5) +
                               "h to " + hexDigits(static_cast<uint64_t>(options.rangeTo), 5) +
                               "h ends past the image, which has " + std::to_string(size) +
                               " bytes",
                           kUsageWrong);
  }
  const Region region = regionOf(options, size);
  for (const EntryPoint& entry : options.entries) {
    if (static_cast<uint16_t>(entry.address - region.at) < region.size()) continue;
    const std::string given = entry.name.empty()
                                  ? hexDigits(entry.address, 4) + "h"
                                  : entry.name + " (" + hexDigits(entry.address, 4) + "h)";
    return Problem::ofText("", "--entry " + given + " is outside the " + describe(region),
                           kUsageWrong);
  }
  return std::nullopt;
}

SweepResult sweep(const SweepInput& input, const SweepOptions& options) {
  SweepResult result;
  SweepInfo& info = result.info;
  if (!options.any()) {
    sweepLegacy(input, result);
  } else {
    info.region = regionOf(options, input.size);
    info.written = options.written;
    Counter counter(result.run);
    if (options.follow) {
      info.mode = SweepMode::Follow;
      FollowEntries entries{options.vectors.value_or(0), {}, options.symbolEntries};
      for (const EntryPoint& entry : options.entries) entries.entries.push_back(entry.address);
      result.trace = followCode(input, entries, counter, info);
    } else {
      info.mode = options.written ? SweepMode::Written : SweepMode::Range;
      sweepRegion(input, counter, info);
    }
  }
  for (const int32_t count : result.run.opcodeCount) info.instructions += count;
  return result;
}

}  // namespace opfreq
