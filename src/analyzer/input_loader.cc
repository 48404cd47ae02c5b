#include "analyzer/input_loader.h"

#include "filein/binary_file.h"

namespace opfreq {
namespace {

constexpr int32_t kInputFile = 1;

}  // namespace

LoadedInput loadInput(const std::string& name, std::span<uint8_t> window, OffsetSet* written) {
  LoadedInput input;
  const auto fail = [&](int error, std::string text) {
    const std::string subject = name.empty() ? "\"\"" : name;
    input.problem =
        error != 0 ? Problem::ofError(subject, error) : Problem::ofText(subject, std::move(text));
    return input;
  };
  if (name.empty()) return fail(0, "empty file name");
  const bool standardInput = name == "-";
  BinaryFile files;
  const FileStatus opened =
      standardInput ? files.openStandardInput(kInputFile) : files.openBinary(name, kInputFile);
  if (opened != FileStatus::Ok) return fail(files.openError(), "");
  const InputImage image = readImage(files, kInputFile, window, kMaxFileSize, written);
  if (!image.problem.empty()) return fail(0, image.problem);
  if (image.size == 0) return fail(0, standardInput ? "standard input is empty" : "file is empty");
  input.size = image.size;
  input.format = image.format;
  return input;
}

}  // namespace opfreq
