#include "analyzer/request_run.h"

#include <memory>
#include <optional>

#include "analyzer/input_loader.h"
#include "analyzer/run_output.h"
#include "analyzer/sweeps.h"
#include "analyzer/view.h"
#include "filein/symbol_file.h"

namespace opfreq {
namespace {

class RequestRun {
 public:
  RequestRun(const Request& request, const SweepOptions& sweep,
             std::shared_ptr<const SymbolTable> symbols)
      : request_(request), sweep_(sweep), symbols_(std::move(symbols)) {
    // The bytes a sweep may read: up to the region's end and the two that an instruction
    // starting there may take. Only a range reaches past the first 64 KiB, and the command line
    // holds a range to the largest image.
    const size_t needed = sweep.rangeFrom ? static_cast<size_t>(sweep.rangeTo) + 3 : 0;
    // Not cleared here: reading an input sets every byte of it.
    windowSize_ = std::max(needed, kCodeWindow);
    window_ = std::make_unique_for_overwrite<uint8_t[]>(windowSize_);
  }

  // Every input in turn, each to the view; stops early only when the output cannot be written.
  // Says how many were analysed.
  int run(View& view, const OutputStream& out, RunOutcome& outcome) {
    int analysed = 0;
    view.begin();
    for (const std::string& name : request_.files) {
      std::optional<Analysis> analysis = analyse(name, outcome);
      if (analysis) {
        view.result(*analysis);
        ++analysed;
      } else {
        view.failed(name, outcome.problems.back());
      }
      if (out.firstError() != 0) break;
    }
    view.end();
    return analysed;
  }

 private:
  // Reads and sweeps `name`; none, with its problem added to `outcome`, when it cannot be.
  std::optional<Analysis> analyse(const std::string& name, RunOutcome& outcome) {
    std::optional<OffsetSet> written;
    const std::span<uint8_t> window(window_.get(), windowSize_);
    if (sweep_.written) written.emplace(window.size());
    LoadedInput input = loadInput(name, window, written ? &*written : nullptr);
    if (!input.problem) {
      if (std::string problem = regionProblem(sweep_, input.size); !problem.empty())
        input.problem = Problem::ofText(name, std::move(problem), kUsageWrong);
    }
    if (input.problem) {
      outcome.add(std::move(*input.problem));
      return std::nullopt;
    }
    std::optional<Analysis> analysis(std::in_place);
    analysis->name = name;
    analysis->format = input.format;
    analysis->imageSize = input.size;
    analysis->symbols = symbols_;
    const SweepInput swept{window, input.size, written ? &*written : nullptr};
    sweepImage(swept, sweep_, *analysis);
    // A sweep that found nothing is no answer, though nothing failed on the way.
    if (std::string problem = sweepProblem(swept, sweep_, *analysis); !problem.empty()) {
      outcome.add(Problem::ofText(name, std::move(problem)));
      return std::nullopt;
    }
    return analysis;
  }

  const Request& request_;
  const SweepOptions& sweep_;  // the request's, with the names of its entries resolved
  std::shared_ptr<const SymbolTable> symbols_;
  std::unique_ptr<uint8_t[]> window_;
  size_t windowSize_ = 0;
};

}  // namespace

RunOutcome runRequest(const Request& request, const RunContext& context) {
  RunOutput output(context.out);
  if (request.output) {
    if (std::optional<Problem> problem =
            output.open(*request.output, request.files, request.symbols))
      return {problem->status, {std::move(*problem)}};
  }
  auto symbols = std::make_shared<SymbolTable>();
  if (request.symbols) {
    SymbolFile file = readSymbolFile(*request.symbols);
    if (!file.problem.empty())
      return {kInputFailed, {Problem::ofText(*request.symbols, file.problem)}};
    *symbols = std::move(file.symbols);
  }
  SweepOptions sweep = request.sweep;
  if (std::string problem = resolveEntries(sweep, *symbols, request.symbols.value_or(""));
      !problem.empty()) {
    return {kUsageWrong, {Problem::ofText("", std::move(problem), kUsageWrong)}};
  }
  RunOutcome outcome;
  const std::unique_ptr<View> view = request.view({output.stream(), context.reportName});
  const int analysed =
      RequestRun(request, sweep, std::move(symbols)).run(*view, output.stream(), outcome);
  output.finish(analysed > 0, outcome);
  return outcome;
}

}  // namespace opfreq
