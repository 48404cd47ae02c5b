#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "filein/file_platform.h"

namespace opfreq {

OpenedStream openForReading(std::string_view name) {
  OpenedStream result;
  std::string path(name);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.error = EISDIR;
    return result;
  }
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    result.error = errno;
    return result;
  }
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  result.stream = stream;
  result.seekable = GetFileType(handle) == FILE_TYPE_DISK;
  return result;
}

bool seekStream(std::FILE* stream, int64_t offset, int origin) {
  return _fseeki64(stream, offset, origin) == 0;
}

int64_t tellStream(std::FILE* stream) { return _ftelli64(stream); }

}  // namespace opfreq
