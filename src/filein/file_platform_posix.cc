#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "filein/file_platform.h"

namespace opfreq {

namespace {

// Takes a freshly opened stream, or refuses it as what it is.
OpenedStream examine(std::FILE* stream) {
  OpenedStream result;
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

std::string_view kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "no regular file";
}

// Opened without waiting for a writer, then taken only when it is a regular file, which never
// makes a read wait.
OpenedStream openRegular(const std::string& name) {
  OpenedStream result;
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    result.irregular = kindOf(info.st_mode);
  } else if (fd >= 0 && S_ISREG(info.st_mode) &&
             ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
    if (std::FILE* stream = ::fdopen(fd, "rb")) return examine(stream);
    result.error = errno;
  } else {
    result.error = errno;  // of the open, fstat or fcntl that failed
  }
  if (fd >= 0) ::close(fd);
  return result;
}

}  // namespace

OpenedStream openForReading(std::string_view name, bool regularOnly) {
  if (regularOnly) return openRegular(std::string(name));
  return examine(std::fopen(std::string(name).c_str(), "rb"));
}

size_t fileNameStart(std::string_view path) { return path.find_last_of('/') + 1; }

OpenedStream openStandardInput() {
  const int input = ::dup(STDIN_FILENO);
  if (input < 0) return examine(nullptr);
  std::FILE* stream = ::fdopen(input, "rb");
  const OpenedStream result = examine(stream);  // before the close can change errno
  if (stream == nullptr) ::close(input);
  return result;
}

bool pathExists(std::string_view name) {
  struct stat info {};
  return ::stat(std::string(name).c_str(), &info) == 0;
}

bool seekStream(std::FILE* stream, int64_t offset, int origin) {
  return ::fseeko(stream, static_cast<off_t>(offset), origin) == 0;
}

int64_t tellStream(std::FILE* stream) { return static_cast<int64_t>(::ftello(stream)); }

namespace {

FileIdentity identityOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

}  // namespace

std::optional<FileIdentity> identifyFile(std::string_view name) {
  struct stat info {};
  if (::stat(std::string(name).c_str(), &info) != 0) return std::nullopt;
  return identityOf(info);
}

std::optional<FileIdentity> identifyStandardStream(int stream) {
  struct stat info {};
  if (::fstat(stream == 0 ? STDIN_FILENO : STDOUT_FILENO, &info) != 0) return std::nullopt;
  return identityOf(info);
}

}  // namespace opfreq
