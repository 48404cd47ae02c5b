#include "analyzer/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "analyzer/command_line.h"
#include "analyzer/opcode_ranking.h"
#include "analyzer/report.h"
#include "analyzer/request_run.h"
#include "analyzer/run_state.h"
#include "analyzer/usage.h"
#include "filein/binary_file.h"
#include "textout/number_mask.h"

namespace opfreq {
namespace {

constexpr int32_t kInputFile = 1;

RunOutcome inputFailure(std::string_view fileName, std::string_view reason) {
  return {kInputFailed, {std::string(fileName) + ": " + std::string(reason)}};
}

// The arguments joined into one file name, as opfreq has always taken them.
RunOutcome analyseJoined(const std::string& name, const std::vector<std::string>& args,
                         const RunContext& context) {
  // A blank line in a list of names must not read the caller's input, as the usage path would.
  if (std::all_of(args.begin(), args.end(), [](const auto& n) { return n.empty(); })) {
    return inputFailure("\"" + name + "\"", "empty file name");
  }
  // The whole input is read before anything is written.
  const auto image = std::make_unique_for_overwrite<CodeImage>();
  const LoadedInput input = loadInput(name, name == "-", *image, nullptr);
  if (!input.image.problem.empty()) {
    std::string reason = input.image.problem;
    if (input.openError == ENOENT && args.size() > 1 && pathExists(args[0])) {
      reason += " (the arguments are joined into one file name; run opfreq once per image)";
    }
    return inputFailure(name, reason);
  }
  analyseImage(context.reportName(name), *image, static_cast<int32_t>(input.image.size),
               context.out);
  return finishOutput(context.out, "standard output");
}

}  // namespace

LoadedInput loadInput(const std::string& name, bool standardInput, std::span<uint8_t> window,
                      OffsetSet* written) {
  LoadedInput input;
  BinaryFile files;
  const FileStatus opened =
      standardInput ? files.openStandardInput(kInputFile) : files.openBinary(name, kInputFile);
  if (opened != FileStatus::Ok) {
    input.openError = files.openError();
    input.image.problem = std::strerror(input.openError);
    return input;
  }
  input.image = readImage(files, kInputFile, window, kMaxFileSize, written);
  if (input.image.problem.empty() && input.image.size == 0) {
    input.image.problem = standardInput ? "standard input is empty" : "file is empty";
  }
  return input;
}

RunOutcome finishOutput(const OutputStream& out, std::string_view outputName, RunOutcome outcome) {
  const int error = out.firstError();
  if (error == 0) return outcome;
  outcome.exitStatus = std::max(outcome.exitStatus, kInputFailed);
  // A reader that went away (opfreq x.bin | head) knows why; say nothing.
  if (error != EPIPE) {
    outcome.messages.push_back("error writing " + std::string(outputName) + ": " +
                               std::strerror(error));
  }
  return outcome;
}

RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context) {
  OutputStream& out = context.out;
  const CommandLine line = parseCommandLine(args, context.slashHelp);
  switch (line.kind) {
    case CommandLine::Kind::Usage: {
      // With the text going to a file, the person at the keyboard must still see why nothing
      // happens until a key is pressed.
      const bool unseen = !context.outIsTerminal && context.keys.readsTerminal();
      showUsage(out, context.keys, unseen ? context.showLine : nullptr);
      break;
    }
    case CommandLine::Kind::Joined:
      return analyseJoined(line.name, args, context);
    case CommandLine::Kind::Help:
      writeHelp(out, context.helpInUtf8);
      break;
    case CommandLine::Kind::Version:
      out.writeText("opfreq " OPFREQ_VERSION, true);
      break;
    case CommandLine::Kind::Wrong:
      return {kUsageWrong, {line.problem + " (opfreq --help lists the options)"}};
    case CommandLine::Kind::Request:
      return runRequest(line.request, context);
  }
  return finishOutput(out, "standard output");
}

void analyseImage(std::string_view fileName, const CodeImage& image, int32_t fileSize,
                  OutputStream& out) {
  auto run = std::make_unique<RunState>();
  run->fileSize = fileSize;
  out.writeText(fileName, true);
  scanCode(image, *run, out);
  rankOpcodes(*run);
  MaskPrinter masks(out);
  writeReport(*run, out, masks);
}

}  // namespace opfreq
