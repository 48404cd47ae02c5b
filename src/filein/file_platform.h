// The few things the binary file reader needs from the operating system, one implementation
// per platform.
#ifndef OPFREQ_FILEIN_FILE_PLATFORM_H_
#define OPFREQ_FILEIN_FILE_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace opfreq {

struct OpenedStream {
  std::FILE* stream = nullptr;  // null when the open failed
  int error = 0;                // errno when it failed
  bool seekable = false;        // a regular file whose length can be measured
};

// Opens `name` read-only in binary mode. A directory is refused with EISDIR.
OpenedStream openForReading(std::string_view name);
// The process's standard input as a binary stream of its own; closing it leaves the input open.
OpenedStream openStandardInput();
// Seeks to `offset` from the start (origin SEEK_SET) or the end (SEEK_END); false if refused.
bool seekStream(std::FILE* stream, int64_t offset, int origin);
int64_t tellStream(std::FILE* stream);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_FILE_PLATFORM_H_
