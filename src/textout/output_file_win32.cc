#include <windows.h>

#include <cerrno>
#include <string>

#include "textout/output_file.h"

namespace opfreq {
namespace {

std::wstring widen(std::string_view utf8) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

int errnoFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

bool setDeletedOnClose(HANDLE handle, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

}  // namespace

struct OutputFile::Platform {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring name;
  std::wstring temporary;  // empty when the named file is written directly
};

std::unique_ptr<OutputFile> OutputFile::open(std::string_view name, int& error) {
  std::unique_ptr<OutputFile> file(new OutputFile);
  file->platform_ = std::make_unique<Platform>();
  Platform& p = *file->platform_;
  p.name = widen(name);
  const DWORD attributes = GetFileAttributesW(p.name.c_str());
  // A device name (NUL, CON) is written directly.
  const bool device = attributes == INVALID_FILE_ATTRIBUTES
                          ? false
                          : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                                (attributes & FILE_ATTRIBUTE_DEVICE) != 0;
  if (device) {
    p.handle = CreateFileW(p.name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  } else {
    const size_t slash = p.name.find_last_of(L"\\:");
    const std::wstring folder = slash == std::wstring::npos ? L"." : p.name.substr(0, slash + 1);
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
  }
  if (p.handle == INVALID_HANDLE_VALUE) {
    error = errnoFor(GetLastError());
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
      error_ = errnoFor(GetLastError());
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
    error = errnoFor(GetLastError());
  }
  if (!CloseHandle(p.handle) && error == 0) error = errnoFor(GetLastError());
  p.handle = INVALID_HANDLE_VALUE;
  if (p.temporary.empty()) return error;
  if (error == 0 && !MoveFileExW(p.temporary.c_str(), p.name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = errnoFor(GetLastError());
  }
  if (error != 0) DeleteFileW(p.temporary.c_str());
  return error;
}

}  // namespace opfreq
