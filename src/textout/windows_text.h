// What every Windows file of opfreq needs of the wide API: names and text between UTF-8 (as
// opfreq holds them) and UTF-16 (as Windows takes them), and Windows errors as errno values, so
// that the same failure reads the same on every platform.
#ifndef OPFREQ_TEXTOUT_WINDOWS_TEXT_H_
#define OPFREQ_TEXTOUT_WINDOWS_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

namespace opfreq {

// `utf8` in UTF-16.
std::wstring widen(std::string_view utf8);

// A path in UTF-8, in the form that the wide file calls take: UTF-16, with '\' for '/'.
std::wstring nativePath(std::string_view utf8);

// `wide` in the code page `codePage` (CP_UTF8, CP_ACP); a character the code page lacks
// becomes '?'.
std::string narrow(std::wstring_view wide, UINT codePage = CP_UTF8);

// The errno value that stands for the Windows error `error` (GetLastError), EIO when none does.
int errnoFromWindows(DWORD error);

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_WINDOWS_TEXT_H_
