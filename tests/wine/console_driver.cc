// console_driver.exe RESULT_FILE -- COMMAND...
//   Starts COMMAND in this console, set to code page 437 as on an English Windows. Once it has
//   ended or shows "--- press any key to end ---", records whether it still runs 300 ms later,
//   presses the A key (as console key records), and writes to RESULT_FILE "alive yes|no",
//   "exit N", "codepage N" and the console's screen, a row a line, its characters in UTF-8.
// console_driver.exe RESULT_FILE --handler-check
//   Calls the key wait's console control handler as the system would, from another thread
//   while a wait runs, and writes what each event did.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "keyin/key_wait.h"

namespace opfreq {
BOOL WINAPI consoleControlHandler(DWORD type);  // the key wait's, in key_wait_win32.cc
}

namespace {

void writeResult(const char* path, const std::string& log) {
  if (std::FILE* result = std::fopen(path, "wb")) {
    std::fwrite(log.data(), 1, log.size(), result);
    std::fclose(result);
  }
}

bool screenShows(HANDLE output, std::string* all, const char* text) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(output, &info);
  std::string rows;
  for (SHORT y = 0; y < info.dwSize.Y; ++y) {
    std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(output, row.data(), info.dwSize.X, COORD{0, y}, &read);
    row.resize(row.find_last_not_of(L' ') + 1);
    std::string utf8(4 * row.size(), '\0');
    utf8.resize(static_cast<size_t>(
        WideCharToMultiByte(CP_UTF8, 0, row.data(), static_cast<int>(row.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    rows += utf8 + "\n";
  }
  if (all != nullptr) *all = rows;
  return rows.find(text) != std::string::npos;
}

// Close, log-off and shut-down queue Alt+F4, whose key text 0xFF 107 a wait hands out, and the
// handler returns only once a wait has ended: here the wait begins 300 ms after the call.
// Ctrl+C and Ctrl+Break are passed on at once.
int handlerCheck(const char* path) {
  const auto keys = opfreq::makeStdinKeyWaiter();
  std::string log;
  for (const DWORD type :
       {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT, CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
    const bool passedOn = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    BOOL handled = FALSE;
    DWORD took = 0;
    std::thread system([&] {
      const DWORD called = GetTickCount();
      handled = opfreq::consoleControlHandler(type);
      took = GetTickCount() - called;
    });
    std::string keyText = "none";
    if (!passedOn) {
      Sleep(300);
      keyText = std::to_string(keys->waitForKey());
      keyText += " " + std::to_string(keys->waitForKey());
    }
    system.join();
    const bool inTime = passedOn ? took < 250 : took >= 250 && took < 2000;
    log += std::to_string(type) + (handled ? " handled" : " passed on") + ", key " + keyText +
           (inTime ? ", in time\n" : ", late\n");
  }
  writeResult(path, log);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[2]) == "--handler-check") return handlerCheck(argv[1]);
  if (argc < 4 || std::string(argv[2]) != "--") return 2;
  const HANDLE input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  const HANDLE output =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  SetConsoleOutputCP(437);
  std::string command;
  for (int i = 3; i < argc; ++i) command += std::string(i > 3 ? " \"" : "\"") + argv[i] + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 3;
  }
  for (int i = 0; i < 400 && !screenShows(output, nullptr, "--- press any key to end ---"); ++i) {
    if (WaitForSingleObject(process.hProcess, 25) == WAIT_OBJECT_0) break;
  }
  const bool alive = WaitForSingleObject(process.hProcess, 300) == WAIT_TIMEOUT;
  INPUT_RECORD keys[2]{};
  for (int i = 0; i < 2; ++i) {
    keys[i].EventType = KEY_EVENT;
    keys[i].Event.KeyEvent = {i == 0, 1, 'A', static_cast<WORD>(MapVirtualKeyA('A', 0)), {}, 0};
    keys[i].Event.KeyEvent.uChar.AsciiChar = 'a';
  }
  DWORD written = 0;
  WriteConsoleInputA(input, keys, 2, &written);
  WaitForSingleObject(process.hProcess, 10000);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &code);
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 99);
  std::string screen;
  screenShows(output, &screen, "");
  writeResult(argv[1], std::string("alive ") + (alive ? "yes" : "no") + "\nexit " +
                           std::to_string(code) + "\ncodepage " +
                           std::to_string(GetConsoleOutputCP()) + "\nscreen\n" + screen);
  return 0;
}
