#include "analyzer/analysis.h"

#include <array>

#include "textout/text_escape.h"

namespace opfreq {
namespace {

// Why a follow sweep that reached nothing did, and what to try.
std::string reachedNothing(const SweepInput& input, const SweepOptions& options,
                           const Region& region) {
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

// What a pass is given: the input, the options and what the sweep left besides the analysis.
struct PassInput {
  const AnalysisInput& input;
  const SweepOptions& options;
  SweepResult& swept;
};

// The functions of what the follow sweep reached.
void functionsPass(const PassInput& pass, Analysis& analysis) {
  const SweepOptions& options = pass.options;
  FunctionStarts starts{
      options.vectors.value_or(0), pass.swept.trace->vectors, {}, options.contents};
  for (const EntryPoint& entry : options.entries) starts.entries.push_back(entry.address);
  analysis.functions =
      profileFunctions(pass.input.image, analysis.sweep.region, *pass.swept.trace,
                       analysis.sweep.instructions, starts, *analysis.symbols, analysis.run.calls);
}

// Each pass, in the order they run, with what asks for it.
struct Pass {
  bool (*wanted)(const SweepOptions& options, const SweepResult& swept);
  void (*run)(const PassInput& pass, Analysis& analysis);
};
constexpr std::array kPasses = {
    Pass{[](const SweepOptions& o, const SweepResult& s) { return o.functions && s.trace; },
         functionsPass},
};

}  // namespace

std::variant<Analysis, Problem> analyse(const AnalysisInput& input, const SweepOptions& options) {
  if (std::optional<Problem> problem = regionProblem(options, input.image.size)) {
    problem->subject = input.name;
    return *std::move(problem);
  }
  SweepResult swept = sweep(input.image, options);
  // A sweep that found nothing is no answer, though nothing failed on the way.
  if (swept.info.mode == SweepMode::Follow && swept.info.instructions == 0)
    return Problem::ofText(input.name, reachedNothing(input.image, options, swept.info.region));
  Analysis analysis;
  analysis.name = input.name;
  analysis.format = input.format;
  analysis.imageSize = input.image.size;
  analysis.heldBytes = input.format != HexFormat::None && input.image.written != nullptr
                           ? static_cast<int64_t>(input.image.written->count())
                           : input.image.size;
  analysis.symbols = input.symbols;
  analysis.sweep = std::move(swept.info);
  analysis.run = std::move(swept.run);
  analysis.warnings = swept.warnings;
  const PassInput pass{input, options, swept};
  for (const Pass& p : kPasses) {
    if (p.wanted(options, swept)) p.run(pass, analysis);
  }
  return analysis;
}

}  // namespace opfreq
