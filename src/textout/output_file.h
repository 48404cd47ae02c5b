// OutputFile: a named file as a ByteSink that is written whole or not at all. The bytes go to
// a temporary file in the same folder, which commit() puts in place of the named file with
// one rename; until then the named file is left exactly as it was, and a file that is never
// committed (or the process ended by Ctrl+C, SIGTERM or a hang-up) leaves nothing behind.
//
// A symbolic link is written through: the file it leads to is replaced, the link stays. A name
// that is there and is no regular file (/dev/null, a FIFO, a terminal, /dev/stdout on a pipe)
// is written directly, as a shell's redirection would.
#ifndef OPFREQ_TEXTOUT_OUTPUT_FILE_H_
#define OPFREQ_TEXTOUT_OUTPUT_FILE_H_

#include <memory>
#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq {

class OutputFile : public ByteSink {
 public:
  // Null, with `error` set to an errno value, when the temporary file cannot be made.
  static std::unique_ptr<OutputFile> open(std::string_view name, int& error);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int write(std::string_view bytes) override;
  // Puts the file in place; 0 or an errno value, the temporary file then removed.
  int commit();

 private:
  OutputFile() = default;
  struct Platform;
  std::unique_ptr<Platform> platform_;
  std::string buffer_;
  int error_ = 0;
  int flush();
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_OUTPUT_FILE_H_
