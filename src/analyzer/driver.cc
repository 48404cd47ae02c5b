#include "analyzer/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "analyzer/code_scanner.h"
#include "analyzer/image_text.h"
#include "analyzer/opcode_ranking.h"
#include "analyzer/report.h"
#include "analyzer/run_state.h"
#include "analyzer/usage.h"
#include "filein/binary_file.h"
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

// A name that acts as an option, unless a file of that name is there to be analysed.
bool isOption(const std::string& name, std::initializer_list<std::string_view> spellings) {
  return std::find(spellings.begin(), spellings.end(), name) != spellings.end() &&
         !pathExists(name);
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
  const std::string fileName = joinArguments(args);
  if (fileName.empty()) {
    // With the text going to a file, the person at the keyboard must still see why nothing
    // happens until a key is pressed.
    const bool unseen = !context.outIsTerminal && context.keys.readsTerminal();
    showUsage(out, context.keys, unseen ? context.showLine : nullptr);
    return finish(out);
  }
  if (isOption(fileName, {"--help", "-h"})) {
    writeUsageText(out, context.helpInUtf8);
    return finish(out);
  }
  if (isOption(fileName, {"--version"})) {
    out.writeText("opfreq " OPFREQ_VERSION, true);
    return finish(out);
  }

  // The whole input is read before anything is written, so an unusable file leaves standard
  // output empty. One byte more than the limit tells an oversized pipe from a full one.
  BinaryFile files(static_cast<size_t>(kMaxFileSize) + 1);
  const FileStatus opened = isOption(fileName, {"-"}) ? files.openStandardInput(kInputFile)
                                                      : files.openBinary(fileName, kInputFile);
  if (opened != FileStatus::Ok) {
    std::string reason = std::strerror(files.openError());
    if (files.openError() == ENOENT && args.size() > 1 && pathExists(args[0])) {
      reason += " (the arguments are joined into one file name; run opfreq once per image)";
    }
    return inputFailure(fileName, reason);
  }
  const int64_t length = files.fileLength(kInputFile);
  if (length <= 0) return inputFailure(fileName, "file is empty");
  if (length > kMaxFileSize) {
    return inputFailure(fileName, "file is larger than " + std::to_string(kMaxFileSize) + " bytes");
  }
  // Every byte of the image is set: by the file, then zeros, as reads past its end give.
  const auto image = std::make_unique_for_overwrite<CodeImage>();
  const auto wanted = std::min(static_cast<size_t>(length), image->size());
  files.readBytes(kInputFile, 1, std::span<uint8_t>(image->data(), wanted));
  std::fill(image->begin() + static_cast<std::ptrdiff_t>(wanted), image->end(), uint8_t{0});
  if (const int error = files.readError(kInputFile); error != 0) {
    return inputFailure(fileName, std::strerror(error));
  }
  files.closeFile(0);

  RunOutcome outcome;
  const std::string_view text = recogniseImageText(std::span(image->data(), wanted));
  if (!text.empty()) {
    outcome.messages.push_back(fileName + ": this looks like " + std::string(text) +
                               " text, not a binary image; convert it first (see \"HEX files\" "
                               "in opfreq(1))");
  }
  analyseImage(fileName, *image, static_cast<int32_t>(length), out);
  return finish(out, outcome);
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
