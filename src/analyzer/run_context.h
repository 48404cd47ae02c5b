// What a run needs of the process it runs in.
#ifndef OPFREQ_ANALYZER_RUN_CONTEXT_H_
#define OPFREQ_ANALYZER_RUN_CONTEXT_H_

#include <functional>
#include <string>
#include <string_view>

#include "keyin/key_wait.h"
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

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_RUN_CONTEXT_H_
