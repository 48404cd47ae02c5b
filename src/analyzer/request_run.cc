#include "analyzer/request_run.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "analyzer/csv_view.h"
#include "analyzer/driver.h"
#include "analyzer/json_view.h"
#include "analyzer/sweep_report.h"
#include "filein/file_platform.h"
#include "filein/symbol_file.h"
#include "textout/output_file.h"

namespace opfreq {
namespace {

class RequestRun {
 public:
  RequestRun(const Request& request, const RunContext& context, const SymbolTable& symbols,
             OutputStream& out)
      : request_(request), context_(context), symbols_(symbols), out_(out) {
    // The bytes a sweep may read: up to the region's end and the two that an instruction
    // starting there may take. Only a range reaches past the first 64 KiB.
    // The command line holds a range to the largest image, so that this stays as small.
    if (request.sweep.rangeFrom && request.sweep.rangeTo + 3 > static_cast<int64_t>(kCodeWindow)) {
      wholeSize_ = static_cast<size_t>(request.sweep.rangeTo) + 3;
      whole_ = std::make_unique_for_overwrite<uint8_t[]>(wholeSize_);
    }
  }

  // Every input in turn; stops early only when the output cannot be written.
  RunOutcome run() {
    RunOutcome outcome;
    for (const std::string& name : request_.files) {
      int status = kInputFailed;
      const std::string problem = analyse(name, status);
      if (!problem.empty()) {
        std::string message = name.empty() ? "\"\"" : name;
        message += ": ";
        message += problem;
        outcome.messages.push_back(std::move(message));
        outcome.exitStatus = std::max(outcome.exitStatus, status);
        if (request_.view == View::Json) writeJsonError(name, problem, out_);
      } else {
        ++analysed_;
      }
      if (out_.firstError() != 0) break;
    }
    return outcome;
  }

  int analysed() const { return analysed_; }

 private:
  // Reads, sweeps and shows `name`; why it could not be, with the status that says so.
  std::string analyse(const std::string& name, int& status) {
    if (name.empty()) return "empty file name";
    const std::span<uint8_t> window =
        whole_ ? std::span<uint8_t>(whole_.get(), wholeSize_) : std::span<uint8_t>(*code_);
    std::optional<OffsetSet> written;
    if (request_.sweep.written) written.emplace(window.size());
    const LoadedInput input = loadInput(name, name == "-", window, written ? &*written : nullptr);
    const InputImage& image = input.image;
    if (!image.problem.empty()) return image.problem;
    if (std::string problem = regionProblem(request_.sweep, image.size); !problem.empty()) {
      status = kUsageWrong;
      return problem;
    }
    if (request_.view == View::Text && !request_.sweep.any()) {
      analyseImage(context_.reportName(name), *code_, static_cast<int32_t>(image.size), out_);
      return "";
    }
    const auto run = std::make_unique<RunState>();
    const SweepInfo sweep =
        sweepImage({window, image.size, written ? &*written : nullptr}, request_.sweep, *run);
    const std::string shownName = request_.view == View::Text ? context_.reportName(name) : name;
    const Analysis analysis{shownName, image.format, image.size, *run, sweep, symbols_};
    switch (request_.view) {
      case View::Text:
        writeSweepReport(analysis, out_);
        break;
      case View::Json:
        writeJsonLine(analysis, out_);
        break;
      case View::CsvOpcodes:
      case View::CsvCalls: {
        const CsvTable table =
            request_.view == View::CsvCalls ? CsvTable::Calls : CsvTable::Opcodes;
        // The header once, before the first rows: a run whose inputs all fail writes nothing.
        if (analysed_ == 0) out_.writeText(csvHeader(table));
        writeCsvRows(table, analysis, out_);
        break;
      }
    }
    return "";
  }

  const Request& request_;
  const RunContext& context_;
  const SymbolTable& symbols_;
  OutputStream& out_;
  std::unique_ptr<CodeImage> code_ = std::make_unique_for_overwrite<CodeImage>();
  std::unique_ptr<uint8_t[]> whole_;
  size_t wholeSize_ = 0;
  int analysed_ = 0;
};

}  // namespace

namespace {

// Why `output` must not be written: it is one of the inputs, or the symbols file, which the run
// would replace with its output. Empty when it may be.
std::string outputConflict(const Request& request, const std::string& output) {
  const std::optional<FileIdentity> target = identifyFile(output);
  if (!target) return "";
  for (const std::string& name : request.files) {
    if (identifyFile(name) == target || (name == "-" && identifyStandardStream(0) == target))
      return "-o " + output + ": the output would replace the input " + name;
  }
  if (request.symbols && identifyFile(*request.symbols) == target)
    return "-o " + output + ": the output would replace the symbols file " + *request.symbols;
  return "";
}

}  // namespace

RunOutcome runRequest(const Request& request, const RunContext& context) {
  // "-o -" is standard output, as "-" is standard input; so is a name of the very file that
  // standard output is already (-o /dev/stdout), which must not be truncated by a new open.
  const bool toStandardOutput =
      !request.output || *request.output == "-" ||
      (identifyStandardStream(1) && identifyFile(*request.output) == identifyStandardStream(1));
  if (request.output && !toStandardOutput) {
    if (std::string conflict = outputConflict(request, *request.output); !conflict.empty())
      return {kUsageWrong, {std::move(conflict)}};
  }
  // The output is made ready before any work, so that a file that cannot be written is said at
  // once.
  std::unique_ptr<OutputFile> file;
  if (!toStandardOutput) {
    OutputFile::OpenFailure failure;
    file = OutputFile::open(*request.output, failure);
    if (file == nullptr) {
      if (failure.where.empty())
        return {kInputFailed, {*request.output + ": " + std::strerror(failure.error)}};
      return {kInputFailed,
              {failure.where + ": " + std::strerror(failure.error) + " (-o " + *request.output +
               " writes a temporary file there first)"}};
    }
  }
  SymbolTable symbols;
  if (request.symbols) {
    SymbolFile symbolFile = readSymbolFile(*request.symbols);
    if (!symbolFile.problem.empty())
      return {kInputFailed, {*request.symbols + ": " + symbolFile.problem}};
    symbols = std::move(symbolFile.symbols);
  }
  if (file == nullptr) {
    RequestRun run(request, context, symbols, context.out);
    return finishOutput(context.out, "standard output", run.run());
  }
  OutputStream out(*file);
  RequestRun run(request, context, symbols, out);
  RunOutcome outcome = finishOutput(out, *request.output, run.run());
  // When no input was analysed, the file is left exactly as it was; so it is when the output
  // failed.
  if (out.firstError() == 0 && run.analysed() > 0) {
    if (const int commitError = file->commit(); commitError != 0) {
      outcome.exitStatus = std::max(outcome.exitStatus, kInputFailed);
      outcome.messages.push_back("error writing " + *request.output + ": " +
                                 std::strerror(commitError));
    }
  }
  return outcome;
}

}  // namespace opfreq
