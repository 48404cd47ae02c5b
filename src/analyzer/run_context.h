// What a run needs of the process it runs in, and how it ended.
#ifndef OPFREQ_ANALYZER_RUN_CONTEXT_H_
#define OPFREQ_ANALYZER_RUN_CONTEXT_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

struct RunContext {
  OutputStream& out;
  KeyWaiter& keys;
  bool outIsTerminal = false;  // a person sees standard output
  bool helpInUtf8 = false;     // --help writes the Russian lines in UTF-8
  // Shows one line to the person on standard error.
  std::function<void(std::string_view)> showLine;
  bool slashHelp = false;  // "/?" is --help, as Windows programs take it
  // A file name (UTF-8, as the arguments come) as the report's first line writes it.
  std::function<std::string(std::string_view)> reportName = [](std::string_view name) {
    return std::string(name);
  };
};

struct RunOutcome {
  int exitStatus = 0;
  std::vector<std::string> messages;  // for standard error, without the program name
};

// Exit statuses besides 0.
constexpr int kInputFailed = 1;  // an input could not be used, or the output not written
constexpr int kUsageWrong = 2;   // the command line asks for something that cannot be done

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_RUN_CONTEXT_H_
