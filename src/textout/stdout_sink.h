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
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_STDOUT_SINK_H_
