// Standard output on Windows: WriteFile, byte for byte, to a file or a pipe; the teletype
// renderer when it is an interactive console.
#include <cerrno>
#include <string>
#include <vector>

#include "textout/code_page_866.h"
#include "textout/console_renderer.h"
#include "textout/console_win32.h"
#include "textout/stdout_sink.h"
#include "textout/windows_text.h"

namespace opfreq {
namespace {

class WindowsScreen : public ConsoleScreen {
 public:
  explicit WindowsScreen(HANDLE output) : output_(output) {}

  bool info(ScreenInfo& info) override {
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    if (!GetConsoleScreenBufferInfo(output_, &buffer)) return false;
    info.width = buffer.dwSize.X;
    info.height = buffer.dwSize.Y;
    info.cursorX = buffer.dwCursorPosition.X;
    info.cursorY = buffer.dwCursorPosition.Y;
    info.windowTop = buffer.srWindow.Top;
    info.windowBottom = buffer.srWindow.Bottom;
    info.attribute = buffer.wAttributes;
    return true;
  }

  // Bytes of code page 866 are drawn as the characters they stand for, whatever code page the
  // console has; other bytes as the console's code page shows them.
  void drawCodePage866(bool on) { codePage866_ = on; }

  void draw(int x, int y, std::string_view bytes, uint16_t attribute) override {
    std::vector<CHAR_INFO> cells(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (codePage866_) {
        cells[i].Char.UnicodeChar =
            static_cast<WCHAR>(fromCodePage866(static_cast<uint8_t>(bytes[i])));
      } else {
        cells[i].Char.AsciiChar = bytes[i];
      }
      cells[i].Attributes = attribute;
    }
    const auto length = static_cast<SHORT>(bytes.size());
    SMALL_RECT target{static_cast<SHORT>(x), static_cast<SHORT>(y),
                      static_cast<SHORT>(x + length - 1), static_cast<SHORT>(y)};
    if (codePage866_) {
      WriteConsoleOutputW(output_, cells.data(), COORD{length, 1}, COORD{0, 0}, &target);
    } else {
      WriteConsoleOutputA(output_, cells.data(), COORD{length, 1}, COORD{0, 0}, &target);
    }
  }

  void showRows(int top, int bottom) override {
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    if (!GetConsoleScreenBufferInfo(output_, &buffer)) return;
    SMALL_RECT window{buffer.srWindow.Left, static_cast<SHORT>(top), buffer.srWindow.Right,
                      static_cast<SHORT>(bottom)};
    SetConsoleWindowInfo(output_, TRUE, &window);
  }

  // Written as "rows m to the last, moved to row 0": some consoles refuse a destination
  // above the buffer.
  void scrollBuffer(int rows, uint16_t attribute) override {
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    if (!GetConsoleScreenBufferInfo(output_, &buffer)) return;
    SMALL_RECT source{0, static_cast<SHORT>(rows), static_cast<SHORT>(buffer.dwSize.X - 1),
                      static_cast<SHORT>(buffer.dwSize.Y - 1)};
    CHAR_INFO fill{};
    fill.Char.AsciiChar = ' ';
    fill.Attributes = attribute;
    ScrollConsoleScreenBufferA(output_, &source, nullptr, COORD{0, 0}, &fill);
  }

  void blankRows(int top, int bottom, uint16_t attribute) override {
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    if (!GetConsoleScreenBufferInfo(output_, &buffer)) return;
    const auto cells = static_cast<DWORD>(buffer.dwSize.X * (bottom - top + 1));
    DWORD done = 0;
    FillConsoleOutputCharacterA(output_, ' ', cells, COORD{0, static_cast<SHORT>(top)}, &done);
    FillConsoleOutputAttribute(output_, attribute, cells, COORD{0, static_cast<SHORT>(top)}, &done);
  }

  void placeCursor(int x, int y) override {
    SetConsoleCursorPosition(output_, COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)});
  }

  void beep() override { Beep(1000, 250); }

 private:
  HANDLE output_;
  bool codePage866_ = false;
};

WindowsScreen& screen() {
  static WindowsScreen screen(consoleHandles().output);
  return screen;
}

ConsoleRenderer& renderer() {
  static ConsoleRenderer renderer(screen());
  return renderer;
}

}  // namespace

const ConsoleHandles& consoleHandles() {
  static const ConsoleHandles handles = [] {
    ConsoleHandles h{GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_INPUT_HANDLE)};
    DWORD mode = 0;
    if (GetConsoleMode(h.input, &mode)) SetConsoleMode(h.input, mode | ENABLE_PROCESSED_INPUT);
    return h;
  }();
  return handles;
}

StdoutSink::StdoutSink() { consoleHandles(); }

int StdoutSink::writeCodePage866(std::string_view bytes) {
  if (!renderer().usable()) return write(bytes);
  screen().drawCodePage866(true);
  renderer().write(bytes);
  screen().drawCodePage866(false);
  return 0;
}

int StdoutSink::write(std::string_view bytes) {
  const HANDLE output = consoleHandles().output;
  if (renderer().usable()) {
    renderer().write(bytes);
    return 0;
  }
  while (!bytes.empty()) {
    DWORD written = 0;
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return EBADF;
    if (!WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return errnoFromWindows(GetLastError());
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

bool StdoutSink::isTerminal() const {
  DWORD mode = 0;
  return GetConsoleMode(consoleHandles().output, &mode) != 0;
}

bool terminalShowsUtf8() { return false; }

std::string toLocalText(std::string_view utf8) { return narrow(widen(utf8), CP_ACP); }

bool slashAsksForHelp() { return true; }

}  // namespace opfreq
