#include "analyzer/entry.h"

#include <cstdio>
#include <exception>
#include <new>

#include "analyzer/driver.h"
#include "keyin/key_wait.h"
#include "textout/stdout_sink.h"
#include "textout/text_escape.h"

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
  RunOutcome outcome;
  try {
    outcome = runOpfreq(args, context);
  } catch (const std::bad_alloc&) {
    // Whatever was pending (a temporary file of -o) is gone with the unwinding.
    outcome = {kInputFailed, {Problem::ofText("", "out of memory")}};
  } catch (const std::exception& e) {
    outcome = {kInputFailed, {Problem::ofText("", e.what())}};
  }
  // A name with a line end or an escape sequence in it must not make two lines of one message,
  // nor reach the terminal as a command.
  for (const Problem& problem : outcome.problems) {
    showLine("opfreq: " + printable(describe(problem)));
  }
  return outcome.exitStatus;
}

}  // namespace opfreq
