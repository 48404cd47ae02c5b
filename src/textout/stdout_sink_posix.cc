#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <string>

#include "textout/code_page_866.h"
#include "textout/stdout_sink.h"

namespace opfreq {

StdoutSink::StdoutSink() {
  // A reader that goes away (opfreq x.bin | head) must give EPIPE, not kill the run.
  std::signal(SIGPIPE, SIG_IGN);
}

int writeAllTo(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

int StdoutSink::write(std::string_view bytes) { return writeAllTo(STDOUT_FILENO, bytes); }

int StdoutSink::writeCodePage866(std::string_view bytes) {
  // The user's locale says how the terminal shows text. It is consulted only here, and the
  // process goes back to the C locale at once.
  static const bool utf8Terminal = [this] {
    if (!isTerminal()) return false;
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current != nullptr ? current : "C";
    std::setlocale(LC_CTYPE, "");
    const bool utf8 = std::string_view(nl_langinfo(CODESET)) == "UTF-8";
    std::setlocale(LC_CTYPE, saved.c_str());
    return utf8;
  }();
  return utf8Terminal ? write(codePage866ToUtf8(bytes)) : write(bytes);
}

bool StdoutSink::isTerminal() const { return ::isatty(STDOUT_FILENO) != 0; }

bool terminalShowsUtf8() { return true; }

std::string toLocalText(std::string_view utf8) { return std::string(utf8); }

bool slashAsksForHelp() { return false; }

}  // namespace opfreq
