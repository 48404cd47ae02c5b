// The order of a run. With no file name: the usage text and one key. With a name: the file is
// read (nothing is written if it cannot be used), then the file name line, the sweep, the
// ranking and the report. --help, -h, --version and - act as options only where no file of
// that name is found.
//
// The outcome says how the run ended; the caller prints the messages and exits with the status.
#ifndef OPFREQ_ANALYZER_DRIVER_H_
#define OPFREQ_ANALYZER_DRIVER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/code_scanner.h"
#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

constexpr int64_t kMaxFileSize = 262144;

// What a run needs of the process it runs in.
struct RunContext {
  OutputStream& out;
  KeyWaiter& keys;
  bool outIsTerminal = false;  // a person sees standard output
  bool helpInUtf8 = false;     // --help writes the Russian lines in UTF-8
  // Shows one line to the person on standard error.
  std::function<void(std::string_view)> showLine;
};

struct RunOutcome {
  int exitStatus = 0;
  std::vector<std::string> messages;  // for standard error, without the program name
};

// Every argument after the program name, joined by one blank: the one input file name.
std::string joinArguments(const std::vector<std::string>& args);

// `args` are the arguments after the program name.
RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context);

// The report of an image already in memory: the file name line, the warnings, the sweep, the
// ranking and every report line. fileSize must be 1 to kMaxFileSize.
void analyseImage(std::string_view fileName, const CodeImage& image, int32_t fileSize,
                  OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_DRIVER_H_
