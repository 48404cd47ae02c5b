// The order of a run. With no argument: the usage text and one key. With arguments but no
// option: they are joined into the one file name, which is run as a request (request_run.h) of
// that file and the legacy report, as opfreq has always run. With options: --help, --version,
// or the request they make.
//
// The outcome says how the run ended; the caller prints the problems and exits with the status.
#ifndef OPFREQ_ANALYZER_DRIVER_H_
#define OPFREQ_ANALYZER_DRIVER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/problem.h"
#include "analyzer/run_context.h"

namespace opfreq {

// `args` are the arguments after the program name.
RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_DRIVER_H_
