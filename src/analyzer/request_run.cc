#include "analyzer/request_run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <variant>

#include "analyzer/analysis.h"
#include "analyzer/input_loader.h"
#include "analyzer/run_output.h"
#include "analyzer/view.h"
#include "filein/binary_file.h"
#include "filein/file_platform.h"
#include "filein/symbol_file.h"

namespace opfreq {
namespace {

// The map that the linker writes beside an input: NAME.map for NAME.ext (SDCC's), or NAME.m51
// (Keil's) when there is no NAME.map. None when the input's name has no file name part ("..",
// "dir/").
std::optional<std::string> mapBeside(const std::string& input) {
  const size_t name = fileNameStart(input);
  const std::string_view part = std::string_view(input).substr(name);
  if (part.empty() || part == "." || part == "..") return std::nullopt;
  const size_t dot = input.rfind('.');
  const std::string stem = dot != std::string::npos && dot > name ? input.substr(0, dot) : input;
  if (!pathExists(stem + ".map") && pathExists(stem + ".m51")) return stem + ".m51";
  return stem + ".map";
}

// Said after any problem with a map that --maps looked for.
constexpr std::string_view kMapsNote =
    "--maps reads the map beside each input; --symbols FILE names one";

// The symbols of `path`, or why they cannot be had. A map that --maps found must be a regular
// file: the user never named it, and a FIFO there would wait for ever.
std::variant<std::shared_ptr<const SymbolTable>, Problem> symbolsOf(const std::string& path,
                                                                    bool found = false) {
  SymbolFile file = readSymbolFile(path, found);
  if (!file.problem.empty()) {
    Problem problem =
        file.error != 0 ? Problem::ofError(path, file.error) : Problem::ofText(path, file.problem);
    if (found) problem.note = kMapsNote;
    return problem;
  }
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
  // Says, of each input analysed, the bytes of code its trace counted.
  std::vector<int64_t> run(View& view, const OutputStream& out, RunOutcome& outcome) {
    std::vector<int64_t> analysed;
    view.begin();
    for (const std::string& name : request_.files) {
      std::variant<Analysis, Problem> analysis = analyse(name);
      if (const Analysis* result = std::get_if<Analysis>(&analysis)) {
        view.result(*result);
        analysed.push_back(result->sweep.bytes);
      } else {
        view.failed(name, std::get<Problem>(analysis));
        outcome.add(std::move(std::get<Problem>(analysis)));
      }
      if (out.firstError() != 0) break;
    }
    view.end();
    return analysed;
  }

 private:
  // Reads and sweeps `name`, or says why it cannot be.
  std::variant<Analysis, Problem> analyse(const std::string& name) {
    std::shared_ptr<const SymbolTable> symbols = symbols_;
    SweepOptions sweep = sweep_;
    const std::optional<std::string> map = request_.maps ? mapBeside(name) : std::nullopt;
    if (request_.maps && name == "-")
      return Problem::ofText(name, "standard input has no map beside it", kUsageWrong);
    if (request_.maps && !map)
      return Problem::ofText(name, "has no file name, so no map beside it");
    std::optional<OffsetSet> written;
    const std::span<uint8_t> window(window_.get(), windowSize_);
    // The trace never reads what a record text did not write, with or without --written; a
    // comparison counts the bytes written beyond the window too.
    if (sweep.written || sweep.follow) {
      written.emplace(std::max(window.size(), static_cast<size_t>(kMaxFileSize)));
    }
    const LoadedInput input = loadInput(name, window, written ? &*written : nullptr);
    if (input.problem) return *input.problem;
    // The image before its map, so that a missing image is not blamed on its map.
    if (map) {
      auto read = symbolsOf(*map, true);
      if (Problem* problem = std::get_if<Problem>(&read)) return std::move(*problem);
      symbols = std::get<0>(read);
      if (std::optional<Problem> problem = resolveEntries(sweep, *symbols, *map)) {
        problem->subject = name;
        return *std::move(problem);
      }
    }
    const SweepInput image{window, input.size, written ? &*written : nullptr};
    return opfreq::analyse({name, input.format, image, std::move(symbols)}, sweep);
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
      for (const std::string& file : request.files) {
        if (std::optional<std::string> map = mapBeside(file)) read.push_back(std::move(*map));
      }
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
    if (std::optional<Problem> problem = resolveEntries(sweep, *symbols, *request.symbols))
      return {kUsageWrong, {*std::move(problem)}};
  }
  RunOutcome outcome;
  // The command line took only a choice that has a view.
  const ViewMaker makeView = std::get<ViewMaker>(pickView(request.view, request.sweep.any()));
  const std::unique_ptr<View> view = makeView({output.stream(), context.reportName});
  const std::vector<int64_t> code =
      RequestRun(request, sweep, std::move(symbols)).run(*view, output.stream(), outcome);
  // A run whose views wrote nothing (a comparison of which one build failed) leaves the file
  // as it was, as does one of which no input could be analysed (whatever JSON said of them).
  output.finish(!code.empty() && output.stream().wroteAny(), outcome);
  // Over budget only once the comparison is written whole.
  if (request.maxGrowth && code.size() == 2 && outcome.exitStatus == 0 &&
      code[1] - code[0] > *request.maxGrowth) {
    outcome.add(Problem::ofText("",
                                "the code grew by " + std::to_string(code[1] - code[0]) +
                                    " bytes, more than --max-growth " +
                                    std::to_string(*request.maxGrowth),
                                kOverBudget));
  }
  return outcome;
}

}  // namespace opfreq
