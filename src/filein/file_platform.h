// The few things the binary file reader needs from the operating system, one implementation
// per platform.
#ifndef OPFREQ_FILEIN_FILE_PLATFORM_H_
#define OPFREQ_FILEIN_FILE_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace opfreq {

struct OpenedStream {
  std::FILE* stream = nullptr;  // null when the open failed
  int error = 0;                // errno when it failed
  bool seekable = false;        // a regular file whose length can be measured
  // With regularOnly: what the name is instead of a regular file ("a FIFO"), the open refused.
  std::string_view irregular;
};

// Opens `name` read-only in binary mode. A directory is refused with EISDIR. With `regularOnly`,
// anything but a regular file is refused without waiting on it: a FIFO that no one writes would
// block the open for ever.
OpenedStream openForReading(std::string_view name, bool regularOnly = false);
// The process's standard input as a binary stream of its own; closing it leaves the input open.
OpenedStream openStandardInput();
// Seeks to `offset` from the start (origin SEEK_SET) or the end (SEEK_END); false if refused.
bool seekStream(std::FILE* stream, int64_t offset, int origin);
int64_t tellStream(std::FILE* stream);

// Where the file name part of `path` starts: past its last folder separator, which is '/' on
// POSIX and '/' or '\\' on Windows; 0 when it has none.
size_t fileNameStart(std::string_view path);

// What tells one file from another, whatever names lead to it: the device and inode (POSIX), the
// volume and file index (Windows).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// The file `name` leads to, links followed; none when there is none or it cannot be known.
std::optional<FileIdentity> identifyFile(std::string_view name);
// The file behind the process's standard input (0) or output (1).
std::optional<FileIdentity> identifyStandardStream(int stream);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_FILE_PLATFORM_H_
