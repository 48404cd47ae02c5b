// The order of a run. With no file name: the usage text and one key. With a name: the file is
// read (nothing is written if it cannot be used), then the file name line, the sweep, the
// ranking and the report.
//
// The outcome says how the run ended; the caller prints the message and exits with the status.
#ifndef OPFREQ_ANALYZER_DRIVER_H_
#define OPFREQ_ANALYZER_DRIVER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/code_scanner.h"
#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

constexpr int64_t kMaxFileSize = 262144;

struct RunOutcome {
  int exitStatus = 0;
  std::string message;  // for standard error, without the program name; empty for none
};

// Every argument after the program name, joined by one blank.
std::string formFileName(int argc, const char* const* argv);

RunOutcome runOpfreq(std::string_view fileName, OutputStream& out, KeyWaiter& keys);

// The report of an image already in memory: the file name line, the warnings, the sweep, the
// ranking and every report line. fileSize must be 1 to kMaxFileSize.
void analyseImage(std::string_view fileName, const CodeImage& image, int32_t fileSize,
                  OutputStream& out);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_DRIVER_H_
