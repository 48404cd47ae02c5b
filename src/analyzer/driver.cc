#include "analyzer/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_ranking.h"
#include "analyzer/report.h"
#include "analyzer/run_state.h"
#include "analyzer/usage.h"
#include "filein/binary_file.h"
#include "filein/input_image.h"
#include "textout/number_mask.h"

namespace opfreq {
namespace {

constexpr int32_t kInputFile = 1;

RunOutcome inputFailure(std::string_view fileName, std::string_view reason) {
  return {1, {std::string(fileName) + ": " + std::string(reason)}};
}

// Every byte of output has been handed over by now; a failed write still makes the run a
// failure.
RunOutcome finish(const OutputStream& out, RunOutcome outcome = {}) {
  const int error = out.firstError();
  if (error == 0) return outcome;
  outcome.exitStatus = 1;
  // A reader that went away (opfreq x.bin | head) knows why; say nothing.
  if (error != EPIPE) {
    outcome.messages.push_back(std::string("error writing standard output: ") +
                               std::strerror(error));
  }
  return outcome;
}

enum class Source { File, FileAfterOptions, StandardInput };

// Reads the input (standard input, or the file `name` joined from `args`) and writes its
// report; an unusable input leaves standard output empty.
RunOutcome analyseInput(const std::string& name, const std::vector<std::string>& args,
                        Source source, OutputStream& out) {
  const bool standardInput = source == Source::StandardInput;
  BinaryFile files;
  const FileStatus opened =
      standardInput ? files.openStandardInput(kInputFile) : files.openBinary(name, kInputFile);
  if (opened != FileStatus::Ok) {
    std::string reason = std::strerror(files.openError());
    if (files.openError() == ENOENT && args.size() > 1 && pathExists(args[0])) {
      reason += " (the arguments are joined into one file name; run opfreq once per image)";
    } else if (files.openError() == ENOENT && name.starts_with('-') && source == Source::File) {
      reason += " (options are --help, --version and -)";
    }
    return inputFailure(name, reason);
  }
  // The whole input is read before anything is written.
  const auto image = std::make_unique_for_overwrite<CodeImage>();
  const InputImage input = readImage(files, kInputFile, *image, kMaxFileSize);
  files.closeFile(0);
  if (!input.problem.empty()) return inputFailure(name, input.problem);
  if (input.size == 0) {
    return inputFailure(name, standardInput ? "standard input is empty" : "file is empty");
  }
  analyseImage(name, *image, static_cast<int32_t>(input.size), out);
  return finish(out);
}

}  // namespace

std::string joinArguments(const std::vector<std::string>& args) {
  std::string name;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) name += ' ';
    name += args[i];
  }
  return name;
}

RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context) {
  OutputStream& out = context.out;
  if (args.empty()) {
    // With the text going to a file, the person at the keyboard must still see why nothing
    // happens until a key is pressed.
    const bool unseen = !context.outIsTerminal && context.keys.readsTerminal();
    showUsage(out, context.keys, unseen ? context.showLine : nullptr);
    return finish(out);
  }
  // Options count only where no file of that name is found; after "--" nothing is one.
  const bool optionsEnded = args[0] == "--" && !pathExists(joinArguments(args));
  const std::vector<std::string> names(args.begin() + (optionsEnded ? 1 : 0), args.end());
  const std::string name = joinArguments(names);
  // A blank line in a list of names must not read the caller's input, as the usage path would.
  if (std::all_of(names.begin(), names.end(), [](const auto& n) { return n.empty(); })) {
    return inputFailure("\"" + name + "\"", "empty file name");
  }
  if (!optionsEnded && !pathExists(name)) {
    if (name == "--help" || name == "-h" || name == "/?") {
      writeHelp(out, context.helpInUtf8);
      return finish(out);
    }
    if (name == "--version") {
      out.writeText("opfreq " OPFREQ_VERSION, true);
      return finish(out);
    }
    if (name == "-") return analyseInput(name, names, Source::StandardInput, out);
  }
  return analyseInput(name, names, optionsEnded ? Source::FileAfterOptions : Source::File, out);
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
