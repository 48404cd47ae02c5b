// OutputFile: a named file as a ByteSink that is written whole or not at all. The bytes go to
// a temporary file in the folder of the file they are for, which commit() puts in place of it
// with one rename; until then that file is left exactly as it was, never opened for writing,
// and a file that is never committed leaves nothing behind, also when a signal ends the process.
//
// A symbolic link is followed to the file it finally leads to, which is replaced; the link
// stays, and a link that leads nowhere yet gets its file only at the commit. The file's mode,
// and its owner and group where the process may set them, are kept; a hard link to it is not
// (the rename gives the name a new file). Only a name that is there and is no regular file
// (/dev/null, a FIFO, a terminal) is written directly, as a shell's redirection would.
//
// Whatever the shell would refuse (a file the user may not write, a folder that is not there)
// is refused by open(), before any work is done; so is a folder that cannot hold the temporary
// file.
#ifndef OPFREQ_TEXTOUT_OUTPUT_FILE_H_
#define OPFREQ_TEXTOUT_OUTPUT_FILE_H_

#include <memory>
#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq {

class OutputFile : public ByteSink {
 public:
  struct OpenFailure {
    int error = 0;      // an errno value
    std::string where;  // the folder that cannot hold the temporary file; empty: the file
  };
  // Null, with `failure` set, when the file cannot be written.
  static std::unique_ptr<OutputFile> open(std::string_view name, OpenFailure& failure);
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
