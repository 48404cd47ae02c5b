// opfreq.exe: the arguments are taken wide, so that every name reaches its own file whatever
// the ANSI code page can hold, and handed on in UTF-8.
#include <windows.h>

#include "analyzer/entry.h"

// cmd hands a program its wildcards unexpanded and leaves expanding them to the program's
// start-up code, which mingw-w64's does when this is set: `opfreq *.bin` then names the file
// it matches. Windows' C runtime leaves a name in quotes as it is.
extern "C" {
int _dowildcard = -1;
}

namespace {

std::string toUtf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  text.resize(text.size() - 1);  // the terminating NUL
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(toUtf8(argv[i]));
  return opfreq::runMain(args);
}
