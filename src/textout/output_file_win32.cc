#include <windows.h>

#include <cerrno>
#include <string>

#include "textout/output_file.h"
#include "textout/windows_text.h"

namespace opfreq {
namespace {

bool setDeletedOnClose(HANDLE handle, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

}  // namespace

struct OutputFile::Platform {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring name;       // the file that is replaced
  std::wstring temporary;  // empty when the named file is written directly
};

std::unique_ptr<OutputFile> OutputFile::open(std::string_view name, OpenFailure& failure) {
  std::unique_ptr<OutputFile> file(new OutputFile);
  file->platform_ = std::make_unique<Platform>();
  Platform& p = *file->platform_;
  p.name = nativePath(name);
  const DWORD attributes = GetFileAttributesW(p.name.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    failure = {EISDIR, ""};
    return nullptr;
  }
  // What cmd's > would refuse is refused before anything is done.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    failure = {EACCES, ""};
    return nullptr;
  }
  if (exists && (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    // A device name (NUL, CON) takes the bytes as they come.
    p.handle = CreateFileW(p.name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (p.handle != INVALID_HANDLE_VALUE) return file;
    failure = {errnoFromWindows(GetLastError()), ""};
    return nullptr;
  }
  const size_t slash = p.name.find_last_of(L"\\:");
  const std::wstring folder = slash == std::wstring::npos ? L"." : p.name.substr(0, slash + 1);
  const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
      (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    failure = {ENOENT, ""};
    return nullptr;
  }
  wchar_t temporary[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder.c_str(), L"opf", 0, temporary) != 0) {
    p.temporary = temporary;
    p.handle = CreateFileW(temporary, GENERIC_WRITE | DELETE, 0, nullptr, TRUNCATE_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (p.handle == INVALID_HANDLE_VALUE) {
      DeleteFileW(temporary);
    } else {
      // Deleted when its handle closes, however the process ends (Ctrl+C, the console
      // closed, a kill), until commit() takes that back.
      setDeletedOnClose(p.handle, true);
    }
  }
  if (p.handle == INVALID_HANDLE_VALUE) {
    // With the file there and writable, it is the folder that cannot take the temporary file.
    failure = {errnoFromWindows(GetLastError()), exists ? narrow(folder) : ""};
    p.temporary.clear();
    return nullptr;
  }
  return file;
}

OutputFile::~OutputFile() {
  if (platform_ == nullptr || platform_->handle == INVALID_HANDLE_VALUE) return;
  CloseHandle(platform_->handle);
  if (!platform_->temporary.empty()) DeleteFileW(platform_->temporary.c_str());
}

int OutputFile::flush() {
  std::string_view rest = buffer_;
  while (error_ == 0 && !rest.empty()) {
    DWORD written = 0;
    if (!WriteFile(platform_->handle, rest.data(), static_cast<DWORD>(rest.size()), &written,
                   nullptr)) {
      error_ = errnoFromWindows(GetLastError());
    }
    rest.remove_prefix(written);
  }
  buffer_.clear();
  return error_;
}

int OutputFile::commit() {
  Platform& p = *platform_;
  int error = flush();
  if (error == 0 && !p.temporary.empty() && !setDeletedOnClose(p.handle, false)) {
    error = errnoFromWindows(GetLastError());
  }
  if (!CloseHandle(p.handle) && error == 0) error = errnoFromWindows(GetLastError());
  p.handle = INVALID_HANDLE_VALUE;
  if (p.temporary.empty()) return error;
  if (error == 0 && !MoveFileExW(p.temporary.c_str(), p.name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = errnoFromWindows(GetLastError());
  }
  if (error != 0) DeleteFileW(p.temporary.c_str());
  return error;
}

}  // namespace opfreq
