// The key wait on Windows: the console's key events when standard input is a console, one
// byte of the C library's standard input otherwise.
#include <cstdio>
#include <cstdlib>

#include "keyin/console_keys.h"
#include "keyin/key_wait.h"
#include "textout/console_win32.h"

namespace opfreq {
namespace {

// The control handler runs on a thread of the system's and has no context but these.
KeyQueue& sharedQueue() {
  static KeyQueue queue;
  return queue;
}

// Set whenever a wait has ended.
HANDLE waitEnded() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// How long the handler holds the process open for the wait to end: the system allows a few
// seconds for close and shut-down before it ends the process regardless.
constexpr DWORD kCloseGraceMs = 1500;

}  // namespace

// Closing the console, logging off and shutting down end the wait as Alt+F4 would. The system
// ends the process as soon as the handler returns from those, so the handler first lets the
// wait end and the run finish, for a bounded time. Ctrl+C and Ctrl+Break are left to the
// system, which ends the process.
BOOL WINAPI consoleControlHandler(DWORD type) {
  if (type != CTRL_CLOSE_EVENT && type != CTRL_LOGOFF_EVENT && type != CTRL_SHUTDOWN_EVENT) {
    return FALSE;
  }
  ResetEvent(waitEnded());
  sharedQueue().add(kCloseKey);
  WaitForSingleObject(waitEnded(), kCloseGraceMs);
  return TRUE;
}

namespace {

void unregisterHandler() { SetConsoleCtrlHandler(consoleControlHandler, FALSE); }

class ConsoleKeyWaiter : public KeyWaiter {
 public:
  bool readsTerminal() override {
    if (!decided_) {
      DWORD mode = 0;
      console_ = GetConsoleMode(consoleHandles().input, &mode) != 0;
      decided_ = true;
    }
    return console_;
  }

  int waitForKey() override {
    const HANDLE input = consoleHandles().input;
    if (!readsTerminal()) {
      const int byte = std::fgetc(stdin);  // text mode: CR LF arrives as LF, Ctrl+Z ends
      return byte == EOF ? kNoKey : byte;
    }
    const int key = waitForKeyCode(
        sharedQueue(), buffer_, [&] { drain(input); },
        [] {
          Sleep(25);
          return true;
        });
    SetEvent(waitEnded());
    return key;
  }

 private:
  void drain(HANDLE input) {
    if (!registered_) {
      SetConsoleCtrlHandler(consoleControlHandler, TRUE);
      std::atexit(unregisterHandler);
      registered_ = true;
    }
    for (;;) {
      INPUT_RECORD record{};
      DWORD count = 0;
      if (!PeekConsoleInputA(input, &record, 1, &count) || count == 0) return;
      if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) return;
      if (record.EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      KeyEvent event;
      event.keyDown = key.bKeyDown != 0;
      event.repeatCount = key.wRepeatCount;
      event.virtualKey = key.wVirtualKeyCode;
      event.scanCode = key.wVirtualScanCode;
      event.character = static_cast<uint8_t>(key.uChar.AsciiChar);
      event.controlState = key.dwControlKeyState;
      event.keyCharacter =
          static_cast<uint8_t>(MapVirtualKeyA(key.wVirtualKeyCode, MAPVK_VK_TO_CHAR) & 0xFF);
      reader_.handle(event, sharedQueue());
    }
  }

  bool decided_ = false;
  bool console_ = false;
  bool registered_ = false;
  KeyBuffer buffer_;
  ConsoleKeyReader reader_;
};

}  // namespace

std::unique_ptr<KeyWaiter> makeStdinKeyWaiter() { return std::make_unique<ConsoleKeyWaiter>(); }

}  // namespace opfreq
