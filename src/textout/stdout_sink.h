// The process's standard output as a ByteSink. The platform file behind it writes the bytes
// unchanged, whether standard output is a file, a pipe or a terminal, and makes sure that a
// write to a closed pipe fails with an error instead of ending the process.
#ifndef OPFREQ_TEXTOUT_STDOUT_SINK_H_
#define OPFREQ_TEXTOUT_STDOUT_SINK_H_

#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq {

class StdoutSink : public ByteSink {
 public:
  StdoutSink();
  int write(std::string_view bytes) override;
  // A terminal or console is given the characters, in its own encoding; anything else the
  // bytes.
  int writeCodePage866(std::string_view bytes) override;
  // Whether a person sees what is written: a terminal or console, not a file or a pipe.
  bool isTerminal() const;
};

// Whether a terminal of this platform shows text beyond ASCII as UTF-8 (POSIX) rather than in
// the console's own code page (Windows).
bool terminalShowsUtf8();

// Text in UTF-8, as the arguments come, in the bytes with which this platform writes names on
// standard output and error: the ANSI code page on Windows, as opfreq has always written them
// there (a character that the code page lacks becomes '?'); unchanged elsewhere.
std::string toLocalText(std::string_view utf8);

// Whether "/?" asks for help, as Windows programs take it.
bool slashAsksForHelp();

// Writes all of `bytes` to the POSIX file descriptor `fd`, going on after an interrupted call;
// 0 or the errno value of the failure.
int writeAllTo(int fd, std::string_view bytes);

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_STDOUT_SINK_H_
