#include "analyzer/entry.h"

#include <cstdio>

#include "analyzer/driver.h"
#include "textout/key_wait.h"
#include "textout/stdout_sink.h"

namespace opfreq {

int runMain(const std::vector<std::string>& args) {
  StdoutSink sink;
  OutputStream out(sink);
  const auto keys = makeStdinKeyWaiter();
  const auto showLine = [](std::string_view line) {
    const std::string local = toLocalText(line);
    std::fprintf(stderr, "%.*s\n", static_cast<int>(local.size()), local.data());
  };
  RunContext context{out, *keys, sink.isTerminal(), terminalShowsUtf8(), showLine};
  context.slashHelp = slashAsksForHelp();
  context.reportName = toLocalText;
  const RunOutcome outcome = runOpfreq(args, context);
  for (const std::string& message : outcome.messages) showLine("opfreq: " + message);
  return outcome.exitStatus;
}

}  // namespace opfreq
