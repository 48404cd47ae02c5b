// console_driver.exe RESULT_FILE SCRIPT -- COMMAND...
// console_driver.exe RESULT_FILE --handler-check
// Starts COMMAND in this console, plays SCRIPT into the console's input as key records, and
// writes what happened to RESULT_FILE: the exit code, whether it was still running when the
// script wanted it to be, and the console's screen, one row a line.
//
// SCRIPT is a comma-separated list of steps:
//   wait-prompt   wait until "--- press any key to end ---" shows on the screen
//   alive         record whether the command is still running (after 300 ms)
//   key:NAME      one key press and release: a letter, enter, esc, f1, up, shift, ctrl, alt
//   altpad:DIGITS Alt held while DIGITS are typed on the keypad, then released
//   exit          wait for the command to end (10 s at most)
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "textout/console_win32.h"
#include "textout/key_wait.h"

namespace {

HANDLE input;
HANDLE output;

INPUT_RECORD keyRecord(bool down, WORD vk, WORD scan, char ch, DWORD state) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = vk;
  record.Event.KeyEvent.wVirtualScanCode = scan;
  record.Event.KeyEvent.uChar.AsciiChar = ch;
  record.Event.KeyEvent.dwControlKeyState = state;
  return record;
}

void send(const std::vector<INPUT_RECORD>& records) {
  DWORD written = 0;
  WriteConsoleInputA(input, records.data(), static_cast<DWORD>(records.size()), &written);
}

void press(WORD vk, WORD scan, char ch, DWORD state = 0) {
  send({keyRecord(true, vk, scan, ch, state), keyRecord(false, vk, scan, ch, state)});
}

bool playKey(const std::string& name) {
  if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') {
    const WORD vk = static_cast<WORD>(name[0] - 'a' + 'A');
    press(vk, static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)), name[0]);
  } else if (name == "enter") {
    press(VK_RETURN, 0x1C, '\r');
  } else if (name == "esc") {
    press(VK_ESCAPE, 0x01, 0x1B);
  } else if (name == "f1") {
    press(VK_F1, 0x3B, 0);
  } else if (name == "up") {
    press(VK_UP, 0x48, 0, ENHANCED_KEY);
  } else if (name == "shift") {
    send({keyRecord(true, VK_SHIFT, 0x2A, 0, SHIFT_PRESSED),
          keyRecord(false, VK_SHIFT, 0x2A, 0, 0)});
  } else if (name == "ctrl") {
    send({keyRecord(true, VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED),
          keyRecord(false, VK_CONTROL, 0x1D, 0, 0)});
  } else if (name == "alt") {
    send({keyRecord(true, VK_MENU, 0x38, 0, LEFT_ALT_PRESSED),
          keyRecord(false, VK_MENU, 0x38, 0, 0)});
  } else {
    return false;
  }
  return true;
}

void playAltPad(const std::string& digits) {
  static const WORD kPadScan[] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  std::vector<INPUT_RECORD> records{keyRecord(true, VK_MENU, 0x38, 0, LEFT_ALT_PRESSED)};
  for (char d : digits) {
    const int digit = d - '0';
    const auto vk = static_cast<WORD>(VK_NUMPAD0 + digit);
    records.push_back(keyRecord(true, vk, kPadScan[digit], 0, LEFT_ALT_PRESSED | NUMLOCK_ON));
    records.push_back(keyRecord(false, vk, kPadScan[digit], 0, LEFT_ALT_PRESSED | NUMLOCK_ON));
  }
  records.push_back(keyRecord(false, VK_MENU, 0x38, 0, NUMLOCK_ON));
  send(records);
}

std::vector<std::string> screenRows() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(output, &info);
  std::vector<std::string> rows;
  for (SHORT y = 0; y < info.dwSize.Y; ++y) {
    std::string row(static_cast<size_t>(info.dwSize.X), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(output, row.data(), info.dwSize.X, COORD{0, y}, &read);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    rows.push_back(row);
  }
  return rows;
}

bool screenShows(const std::string& text) {
  for (const std::string& row : screenRows()) {
    if (row.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

void writeResult(const char* path, const std::string& log) {
  if (std::FILE* result = std::fopen(path, "wb")) {
    std::fwrite(log.data(), 1, log.size(), result);
    std::fclose(result);
  }
}

// The control handler as the system would call it: close, log-off and shut-down are handled
// and queue Alt+F4, which a key wait then returns; Ctrl+C and Ctrl+Break are left to the
// system.
int handlerCheck(const char* path) {
  std::string log;
  const struct {
    const char* name;
    DWORD type;
  } events[] = {{"close", CTRL_CLOSE_EVENT},
                {"logoff", CTRL_LOGOFF_EVENT},
                {"shutdown", CTRL_SHUTDOWN_EVENT},
                {"ctrl-c", CTRL_C_EVENT},
                {"ctrl-break", CTRL_BREAK_EVENT}};
  for (const auto& event : events) {
    log += std::string(event.name) + " " +
           (opfreq::callControlHandlerForTest(event.type) ? "handled" : "passed on") + "\n";
  }
  const auto keys = opfreq::makeStdinKeyWaiter();
  log += "key " + std::to_string(keys->waitForKey()) + "\n";
  writeResult(path, log);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[2]) == "--handler-check") return handlerCheck(argv[1]);
  if (argc < 5 || std::string(argv[3]) != "--") return 2;
  input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
  output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  // Ctrl+C typed into the console is for the command, not for this driver.
  SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
  std::string command;
  for (int i = 4; i < argc; ++i) {
    if (i > 4) command += ' ';
    command += std::string("\"") + argv[i] + "\"";
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 3;
  }
  std::string log;
  std::string script = argv[2];
  script += ',';
  for (size_t start = 0, comma; (comma = script.find(',', start)) != std::string::npos;
       start = comma + 1) {
    const std::string step = script.substr(start, comma - start);
    if (step.empty()) continue;
    if (step == "wait-prompt") {
      bool shown = false;
      for (int i = 0; i < 400 && !shown; ++i) {
        shown = screenShows("--- press any key to end ---");
        if (!shown) Sleep(25);
      }
      log += std::string("prompt ") + (shown ? "shown" : "missing") + "\n";
    } else if (step == "alive") {
      const bool running = WaitForSingleObject(process.hProcess, 300) == WAIT_TIMEOUT;
      log += std::string("alive ") + (running ? "yes" : "no") + "\n";
    } else if (step.rfind("key:", 0) == 0) {
      if (!playKey(step.substr(4))) log += "unknown key " + step + "\n";
    } else if (step.rfind("altpad:", 0) == 0) {
      playAltPad(step.substr(7));
    } else if (step == "exit") {
      WaitForSingleObject(process.hProcess, 10000);
    }
  }
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process.hProcess, &code);
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 99);
  char line[64];
  std::snprintf(line, sizeof line, "exit %lu\n", static_cast<unsigned long>(code));
  log += line;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(output, &info);
  std::snprintf(line, sizeof line, "size %d %d cursor %d %d window %d %d\n", info.dwSize.X,
                info.dwSize.Y, info.dwCursorPosition.X, info.dwCursorPosition.Y, info.srWindow.Top,
                info.srWindow.Bottom);
  log += line;
  log += "screen\n";
  for (const std::string& row : screenRows()) log += row + "\n";
  writeResult(argv[1], log);
  return 0;
}
