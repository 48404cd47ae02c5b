#include "analyzer/sweeps.h"

#include <algorithm>
#include <optional>

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

std::string resolveEntries(SweepOptions& options, const SymbolTable& symbols,
                           std::string_view symbolsName) {
  for (EntryPoint& entry : options.entries) {
    if (entry.name.empty()) continue;
    const std::optional<uint16_t> address = symbols.addressOf(entry.name);
    if (!address)
      return "--entry " + entry.name + ": " + std::string(symbolsName) + " has no such name";
    entry.address = *address;
  }
  if (options.entrySymbols) options.symbolEntries = symbols.codeAddresses();
  return "";
}

Region regionOf(const SweepOptions& options, int64_t size) {
  Region region;
  region.from = options.rangeFrom.value_or(0);
  region.to = options.rangeFrom ? options.rangeTo : std::min(size, kRegionLimit) - 1;
  region.at = options.at.value_or(static_cast<uint16_t>(region.from & 0xFFFF));
  return region;
}

std::string regionProblem(const SweepOptions& options, int64_t size) {
  if (options.rangeFrom && options.rangeTo >= size) {
    return "the range " + hexDigits(static_cast<uint64_t>(*options.rangeFrom), 5) + "h to " +
           hexDigits(static_cast<uint64_t>(options.rangeTo), 5) +
           "h ends past the image, which has " + std::to_string(size) + " bytes";
  }
  const Region region = regionOf(options, size);
  for (const EntryPoint& entry : options.entries) {
    if (static_cast<uint16_t>(entry.address - region.at) < region.size()) continue;
    const std::string given = entry.name.empty()
                                  ? hexDigits(entry.address, 4) + "h"
                                  : entry.name + " (" + hexDigits(entry.address, 4) + "h)";
    return "--entry " + given + " is outside the " + describe(region);
  }
  return "";
}

void sweepImage(const SweepInput& input, const SweepOptions& options, Analysis& analysis) {
  SweepInfo& info = analysis.sweep;
  const FollowEntries entries = [&] {
    FollowEntries e{options.vectors.value_or(0), {}, options.symbolEntries};
    for (const EntryPoint& entry : options.entries) e.entries.push_back(entry.address);
    return e;
  }();
  std::optional<FollowTrace> trace;
  if (!options.any()) {
    sweepLegacy(input, analysis);
  } else {
    info.region = regionOf(options, input.size);
    info.written = options.written;
    Counter counter(analysis.run);
    if (options.follow) {
      info.mode = SweepMode::Follow;
      trace = followCode(input, entries, counter, info);
    } else {
      info.mode = options.written ? SweepMode::Written : SweepMode::Range;
      sweepLinear(input, counter, info);
    }
  }
  for (const int32_t count : analysis.run.opcodeCount) info.instructions += count;
  if (trace && options.functions) {
    analysis.functions = profileFunctions(input, info.region, *trace, info.instructions,
                                          {entries.reset, trace->vectors, entries.entries},
                                          *analysis.symbols, analysis.run.calls);
  }
}

std::string sweepProblem(const SweepInput& input, const SweepOptions& options,
                         const Analysis& analysis) {
  const SweepInfo& sweep = analysis.sweep;
  if (sweep.mode != SweepMode::Follow || sweep.instructions > 0) return "";
  const Region& region = sweep.region;
  const uint16_t reset = options.vectors.value_or(0);
  const std::string problem = "--follow reached nothing: ";
  const auto index = static_cast<uint16_t>(reset - region.at);
  if (index >= region.size()) {
    return problem + hexDigits(reset, 4) + "h is outside the " + describe(region) +
           " (try --vectors or --entry)";
  }
  const auto offset = static_cast<size_t>(region.from) + index;
  if (input.written != nullptr && !input.written->contains(offset)) {
    const auto end = static_cast<size_t>(region.to) + 1;
    const size_t lowest = input.written->next(static_cast<size_t>(region.from), end, true);
    if (lowest == end) return problem + "no byte is written in the " + describe(region);
    const std::string address = hexDigits((lowest + region.bias()) & 0xFFFF, 4);
    return problem + "no byte at " + hexDigits(reset, 4) + "h; the lowest written address is " +
           address + "h (try --vectors " + address + ")";
  }
  return problem + "the instruction at " + hexDigits(reset, 4) +
         "h does not fit (try --vectors or --entry)";
}

}  // namespace opfreq
