// opfreq.exe: the arguments are taken wide, so that every name reaches its own file whatever
// the ANSI code page can hold, and handed on in UTF-8.
#include <windows.h>

#include "analyzer/entry.h"
#include "textout/windows_text.h"

// cmd hands a program its wildcards unexpanded and leaves expanding them to the program's
// start-up code, which mingw-w64's does when this is set: `opfreq *.bin` then names the file
// it matches. Windows' C runtime leaves a name in quotes as it is.
extern "C" {
int _dowildcard = -1;
}

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(opfreq::narrow(argv[i]));
  return opfreq::runMain(args);
}
