// The standard handles of a Windows process, fetched once and shared by the output stream and
// the key wait. The first use also adds processed input to a console's input mode, so that
// Ctrl+C reaches the process as a control event and never as a key.
#ifndef OPFREQ_TEXTOUT_CONSOLE_WIN32_H_
#define OPFREQ_TEXTOUT_CONSOLE_WIN32_H_

#include <windows.h>

namespace opfreq {

struct ConsoleHandles {
  HANDLE output;
  HANDLE input;
};

const ConsoleHandles& consoleHandles();

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_CONSOLE_WIN32_H_
