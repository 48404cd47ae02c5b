#include "analyzer/run_output.h"

#include <cerrno>

#include "filein/file_platform.h"

namespace opfreq {
namespace {

// Why `output` must not be written: it is one of the inputs, or a symbols file, which the run
// would replace with its output.
std::optional<Problem> conflictOf(const std::string& output, const std::vector<std::string>& inputs,
                                  const std::vector<std::string>& read) {
  const std::optional<FileIdentity> target = identifyFile(output);
  if (!target) return std::nullopt;
  const auto conflict = [&](const std::string& what) {
    return Problem::ofText("-o " + output, "the output would replace the " + what, kUsageWrong);
  };
  for (const std::string& name : inputs) {
    if (identifyFile(name) == target || (name == "-" && identifyStandardStream(0) == target))
      return conflict("input " + name);
  }
  for (const std::string& name : read) {
    if (identifyFile(name) == target) return conflict("symbols file " + name);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Problem> RunOutput::open(const std::string& name,
                                       const std::vector<std::string>& inputs,
                                       const std::vector<std::string>& read) {
  // "-o -" is standard output, as "-" is standard input; so is a name of the very file that
  // standard output is already (-o /dev/stdout), which must not be truncated by a new open.
  const std::optional<FileIdentity> standardOutput = identifyStandardStream(1);
  if (name == "-" || (standardOutput && identifyFile(name) == standardOutput)) return {};
  if (std::optional<Problem> conflict = conflictOf(name, inputs, read)) return conflict;
  OutputFile::OpenFailure failure;
  file_ = OutputFile::open(name, failure);
  if (file_ == nullptr) {
    if (failure.where.empty()) return Problem::ofError(name, failure.error);
    Problem problem = Problem::ofError(failure.where, failure.error);
    problem.note = "-o " + name + " writes a temporary file there first";
    return problem;
  }
  fileStream_ = std::make_unique<OutputStream>(*file_);
  stream_ = fileStream_.get();
  name_ = name;
  return {};
}

void RunOutput::finish(bool keep, RunOutcome& outcome) {
  int error = stream_->firstError();
  // The file is left exactly as it was when the output failed, or nothing was analysed.
  if (error == 0 && file_ != nullptr && keep) error = file_->commit();
  file_.reset();
  if (error == 0) return;
  // A reader that went away (opfreq x.bin | head) knows why; say nothing.
  if (error == EPIPE) {
    outcome.failSilently(kInputFailed);
  } else {
    outcome.add(Problem::ofWriting(name_, error));
  }
}

}  // namespace opfreq
