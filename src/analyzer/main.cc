// opfreq: opcode and call-target frequencies of an 8051 program-memory image.
#include <cstdio>

#include "analyzer/driver.h"
#include "textout/key_wait.h"
#include "textout/stdout_sink.h"

int main(int argc, char** argv) {
  const std::string fileName = opfreq::formFileName(argc, argv);
  opfreq::StdoutSink sink;
  opfreq::OutputStream out(sink);
  const auto keys = opfreq::makeStdinKeyWaiter();
  const opfreq::RunOutcome outcome = opfreq::runOpfreq(fileName, out, *keys);
  if (!outcome.message.empty()) std::fprintf(stderr, "opfreq: %s\n", outcome.message.c_str());
  return outcome.exitStatus;
}
