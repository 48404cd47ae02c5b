// The process's standard output as a ByteSink. The platform file behind it writes the bytes
// unchanged, whether standard output is a file, a pipe or a terminal, and makes sure that a
// write to a closed pipe fails with an error instead of ending the process.
#ifndef OPFREQ_TEXTOUT_STDOUT_SINK_H_
#define OPFREQ_TEXTOUT_STDOUT_SINK_H_

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

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_STDOUT_SINK_H_
