// The order of a run. With no argument: the usage text and one key. With arguments but no
// option: they are joined into the one file name, the file is read (nothing is written if it
// cannot be used), then come the file name line, the sweep, the ranking and the report, as
// opfreq has always run. With options: --help, --version, or the request of request_run.h.
//
// The outcome says how the run ended; the caller prints the problems and exits with the status.
#ifndef OPFREQ_ANALYZER_DRIVER_H_
#define OPFREQ_ANALYZER_DRIVER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/code_scanner.h"
#include "analyzer/problem.h"
#include "analyzer/run_context.h"

namespace opfreq {

// `args` are the arguments after the program name.
RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context);

// The report of an image already in memory: the file name line, the warnings, the sweep, the
// ranking and every report line. fileSize must be 1 to kMaxFileSize.
void analyseImage(std::string_view fileName, const CodeImage& image, int32_t fileSize,
                  OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_DRIVER_H_
