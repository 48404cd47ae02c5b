// Where a run's output goes, and how it ends: standard output, or the file that -o names,
// written whole (OutputFile) and put in place only when some input was analysed and the views
// wrote something, so that a run that says nothing leaves the file as it was. What would
// make -o destroy data (naming an input or the symbols file) or fail (a file that cannot be
// written) is refused by open(), before anything is read.
#ifndef OPFREQ_ANALYZER_RUN_OUTPUT_H_
#define OPFREQ_ANALYZER_RUN_OUTPUT_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/problem.h"
#include "textout/output_file.h"
#include "textout/output_stream.h"

namespace opfreq {

class RunOutput {
 public:
  explicit RunOutput(OutputStream& standardOutput) : stream_(&standardOutput) {}

  // Makes the file `name` ("-" is standard output) the output of a run of `inputs` that also
  // reads the files `read` (names for addresses).
  std::optional<Problem> open(const std::string& name, const std::vector<std::string>& inputs,
                              const std::vector<std::string>& read);

  OutputStream& stream() { return *stream_; }

  // Ends the output: a failed write is added to `outcome`; a file is put in place when `keep`.
  void finish(bool keep, RunOutcome& outcome);

 private:
  OutputStream* stream_;
  std::string name_ = "standard output";
  std::unique_ptr<OutputFile> file_;
  std::unique_ptr<OutputStream> fileStream_;
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_RUN_OUTPUT_H_
