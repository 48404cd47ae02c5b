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
#include "textout/number_mask.h"

namespace opfreq {
namespace {

constexpr int32_t kInputFile = 1;

RunOutcome inputFailure(std::string_view fileName, std::string_view reason) {
  return {1, std::string(fileName) + ": " + std::string(reason)};
}

// Every report byte has been handed over by now; a failed write still makes the run a failure.
RunOutcome finish(const OutputStream& out) {
  const int error = out.firstError();
  if (error == 0) return {};
  // A reader that went away (opfreq x.bin | head) knows why; say nothing.
  if (error == EPIPE) return {1, ""};
  return {1, std::string("error writing standard output: ") + std::strerror(error)};
}

}  // namespace

std::string formFileName(int argc, const char* const* argv) {
  std::string name;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) name += ' ';
    name += argv[i];
  }
  return name;
}

RunOutcome runOpfreq(std::string_view fileName, OutputStream& out, KeyWaiter& keys) {
  if (fileName.empty()) {
    showUsage(out, keys);
    return finish(out);
  }

  // The whole input is read before anything is written, so an unusable file leaves standard
  // output empty. One byte more than the limit tells an oversized pipe from a full one.
  BinaryFile files(static_cast<size_t>(kMaxFileSize) + 1);
  if (files.openBinary(fileName, kInputFile) != FileStatus::Ok) {
    return inputFailure(fileName, std::strerror(files.openError()));
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

  analyseImage(fileName, *image, static_cast<int32_t>(length), out);
  return finish(out);
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
