// opfreq: opcode and call-target frequencies of an 8051 program-memory image.
#include <cstdio>

#include "analyzer/driver.h"
#include "textout/key_wait.h"
#include "textout/stdout_sink.h"

int main(int argc, char** argv) {
  opfreq::StdoutSink sink;
  opfreq::OutputStream out(sink);
  const auto keys = opfreq::makeStdinKeyWaiter();
  const auto showLine = [](std::string_view line) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  };
  const opfreq::RunContext context{out, *keys, sink.isTerminal(), opfreq::terminalShowsUtf8(),
                                   showLine};
  const opfreq::RunOutcome outcome =
      opfreq::runOpfreq(std::vector<std::string>(argv + 1, argv + argc), context);
  for (const std::string& message : outcome.messages) showLine("opfreq: " + message);
  return outcome.exitStatus;
}
