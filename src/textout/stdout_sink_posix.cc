#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "textout/stdout_sink.h"

namespace opfreq {

StdoutSink::StdoutSink() {
  // A reader that goes away (opfreq x.bin | head) must give EPIPE, not kill the run.
  std::signal(SIGPIPE, SIG_IGN);
}

int StdoutSink::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

bool StdoutSink::isTerminal() const { return ::isatty(STDOUT_FILENO) != 0; }

bool terminalShowsUtf8() { return true; }

}  // namespace opfreq
