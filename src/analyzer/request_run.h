// A run with options: each input named in turn is read, swept as the request asks and handed
// to the view, which writes to standard output or to the output file. An input that cannot be
// used gets its problem (and, in JSON, an error object); the others go on.
#ifndef OPFREQ_ANALYZER_REQUEST_RUN_H_
#define OPFREQ_ANALYZER_REQUEST_RUN_H_

#include "analyzer/command_line.h"
#include "analyzer/problem.h"
#include "analyzer/run_context.h"

namespace opfreq {

RunOutcome runRequest(const Request& request, const RunContext& context);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_REQUEST_RUN_H_
