#include "analyzer/request_run.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <variant>

#include "analyzer/input_loader.h"
#include "analyzer/run_output.h"
#include "analyzer/sweeps.h"
#include "analyzer/view.h"
#include "filein/symbol_file.h"

namespace opfreq {
namespace {

// The map that SDCC writes beside an input: NAME.map for NAME.ext.
std::string mapBeside(const std::string& input) {
  const size_t name = input.find_last_of("/\\") + 1;  // 0 when there is no folder
  const size_t dot = input.rfind('.');
  return (dot != std::string::npos && dot > name ? input.substr(0, dot) : input) + ".map";
}

// The symbols of `path`, or why they cannot be had.
std::variant<std::shared_ptr<const SymbolTable>, Problem> symbolsOf(const std::string& path) {
  SymbolFile file = readSymbolFile(path);
  if (!file.problem.empty()) return Problem::ofText(path, file.problem);
  return std::make_shared<const SymbolTable>(std::move(file.symbols));
}

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
    std::shared_ptr<const SymbolTable> symbols = symbols_;
    SweepOptions sweep = sweep_;
    if (request_.maps) {
      if (name == "-") {
        outcome.add(Problem::ofText(name, "standard input has no map beside it", kUsageWrong));
        return std::nullopt;
      }
      auto map = symbolsOf(mapBeside(name));
      if (Problem* problem = std::get_if<Problem>(&map)) {
        outcome.add(std::move(*problem));
        return std::nullopt;
      }
      symbols = std::get<0>(map);
      if (std::string problem = resolveEntries(sweep, *symbols, mapBeside(name));
          !problem.empty()) {
        outcome.add(Problem::ofText(name, std::move(problem), kUsageWrong));
        return std::nullopt;
      }
    }
    std::optional<OffsetSet> written;
    const std::span<uint8_t> window(window_.get(), windowSize_);
    if (sweep.written) written.emplace(window.size());
    LoadedInput input = loadInput(name, window, written ? &*written : nullptr);
    if (!input.problem) {
      if (std::string problem = regionProblem(sweep, input.size); !problem.empty())
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
    analysis->symbols = std::move(symbols);
    const SweepInput swept{window, input.size, written ? &*written : nullptr};
    sweepImage(swept, sweep, *analysis);
    // A sweep that found nothing is no answer, though nothing failed on the way.
    if (std::string problem = sweepProblem(swept, sweep, *analysis); !problem.empty()) {
      outcome.add(Problem::ofText(name, std::move(problem)));
      return std::nullopt;
    }
    return analysis;
  }

  const Request& request_;
  const SweepOptions& sweep_;  // the request's, with the names of its entries resolved unless
                               // each input has its own map
  std::shared_ptr<const SymbolTable> symbols_;
  std::unique_ptr<uint8_t[]> window_;
  size_t windowSize_ = 0;
};

}  // namespace

RunOutcome runRequest(const Request& request, const RunContext& context) {
  RunOutput output(context.out);
  if (request.output) {
    // Files the run reads besides its inputs, which -o must not replace.
    std::vector<std::string> read;
    if (request.symbols) read.push_back(*request.symbols);
    if (request.maps) {
      std::transform(request.files.begin(), request.files.end(), std::back_inserter(read),
                     mapBeside);
    }
    if (std::optional<Problem> problem = output.open(*request.output, request.files, read))
      return {problem->status, {std::move(*problem)}};
  }
  std::shared_ptr<const SymbolTable> symbols = std::make_shared<const SymbolTable>();
  SweepOptions sweep = request.sweep;
  if (request.symbols) {
    auto file = symbolsOf(*request.symbols);
    if (Problem* problem = std::get_if<Problem>(&file))
      return {kInputFailed, {std::move(*problem)}};
    symbols = std::get<0>(file);
    if (std::string problem = resolveEntries(sweep, *symbols, *request.symbols); !problem.empty())
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
