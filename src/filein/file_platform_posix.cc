#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "filein/file_platform.h"

namespace opfreq {

OpenedStream openForReading(std::string_view name) {
  OpenedStream result;
  const std::string path(name);
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    result.error = errno;
    return result;
  }
  struct stat info {};
  if (::fstat(::fileno(stream), &info) != 0) {
    result.error = errno;
    std::fclose(stream);
    return result;
  }
  if (S_ISDIR(info.st_mode)) {
    result.error = EISDIR;
    std::fclose(stream);
    return result;
  }
  result.stream = stream;
  result.seekable = S_ISREG(info.st_mode);
  return result;
}

bool seekStream(std::FILE* stream, int64_t offset, int origin) {
  return ::fseeko(stream, static_cast<off_t>(offset), origin) == 0;
}

int64_t tellStream(std::FILE* stream) { return static_cast<int64_t>(::ftello(stream)); }

}  // namespace opfreq
