#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "filein/file_platform.h"
#include "textout/windows_text.h"

namespace opfreq {

namespace {

OpenedStream examine(std::FILE* stream) {
  OpenedStream result;
  if (stream == nullptr) {
    result.error = errno;
    return result;
  }
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  result.stream = stream;
  result.seekable = GetFileType(handle) == FILE_TYPE_DISK;
  return result;
}

}  // namespace

OpenedStream openForReading(std::string_view name, bool regularOnly) {
  const std::wstring path = nativePath(name);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    OpenedStream result;
    result.error = EISDIR;
    if (regularOnly) result.irregular = "a folder";
    return result;
  }
  OpenedStream opened = examine(_wfopen(path.c_str(), L"rb"));
  // A device (CON, NUL) or a pipe is no file on disk.
  if (regularOnly && opened.stream != nullptr && !opened.seekable) {
    std::fclose(opened.stream);
    return {nullptr, 0, false, "no regular file"};
  }
  // A pattern that the start-up found no file for is left as it was typed, and Windows calls
  // such a name invalid: say what the user needs to hear.
  if (opened.error == EINVAL && path.find_first_of(L"*?") != std::wstring::npos) {
    opened.error = ENOENT;
  }
  return opened;
}

OpenedStream openStandardInput() {
  const int input = _dup(_fileno(stdin));
  if (input < 0) return examine(nullptr);
  _setmode(input, _O_BINARY);
  std::FILE* stream = _fdopen(input, "rb");
  const OpenedStream result = examine(stream);  // before the close can change errno
  if (stream == nullptr) _close(input);
  return result;
}

size_t fileNameStart(std::string_view path) { return path.find_last_of("/\\") + 1; }

bool pathExists(std::string_view name) {
  return GetFileAttributesW(nativePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool seekStream(std::FILE* stream, int64_t offset, int origin) {
  return _fseeki64(stream, offset, origin) == 0;
}

int64_t tellStream(std::FILE* stream) { return _ftelli64(stream); }

namespace {

std::optional<FileIdentity> identityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr ||
      !GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> identifyFile(std::string_view name) {
  // Opened for its attributes only, which any sharing allows; a folder needs the backup flag.
  const HANDLE handle = CreateFileW(nativePath(name).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const std::optional<FileIdentity> identity = identityOf(handle);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return identity;
}

std::optional<FileIdentity> identifyStandardStream(int stream) {
  return identityOf(GetStdHandle(stream == 0 ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE));
}

}  // namespace opfreq
