// The console's platform-free parts: key events to codes, and the teletype renderer on an
// in-memory screen.
#include <gtest/gtest.h>

#include <vector>

#include "textout/console_keys.h"
#include "textout/console_renderer.h"

namespace opfreq {
namespace {

KeyEvent press(uint16_t scan, uint8_t character, uint32_t state = 0, uint8_t keyCharacter = 0,
               uint16_t virtualKey = 0) {
  KeyEvent e;
  e.scanCode = scan;
  e.character = character;
  e.controlState = state;
  e.keyCharacter = keyCharacter;
  e.virtualKey = virtualKey;
  return e;
}

TEST(ConsoleKeys, TranslatesThroughTheKeyTables) {
  struct Row {
    const char* what;
    KeyEvent event;
    int code;
  };
  const Row rows[] = {
      {"Esc", press(0x01, 0x1B, 0, 0x1B), 0x1B},
      {"Alt+Esc", press(0x01, 0x1B, kLeftAlt, 0x1B), extendedKey(0x01)},
      {"Enter", press(0x1C, 0x0D, 0, 0x0D), 0x0D},
      {"Ctrl+Enter", press(0x1C, 0x0A, kLeftCtrl, 0x0D), 0x0A},
      {"a", press(0x1E, 'a', 0, 'A'), 'a'},
      {"Shift+A", press(0x1E, 'A', kShift, 'A'), 'A'},
      {"Alt+A", press(0x1E, 'a', kLeftAlt, 'A'), extendedKey(0x1E)},
      {"Alt with a character another key gave", press(0x1E, 0xE4, kLeftAlt, 'A'), 0xE4},
      {"another layout's letter on the A key", press(0x1E, 0xE4, 0, 'A'), 0xE4},
      {"Shift alone", press(0x2A, 0, kShift), kNoKey},
      {"Ctrl alone", press(0x1D, 0, kLeftCtrl), kNoKey},
      {"Alt alone", press(0x38, 0, kLeftAlt), kNoKey},
      {"Caps Lock", press(0x3A, 0), kNoKey},
      {"F1", press(0x3B, 0), extendedKey(0x3B)},
      {"Shift+F1", press(0x3B, 0, kShift), extendedKey(0x54)},
      {"Alt+F4", press(0x3E, 0, kLeftAlt), extendedKey(0x6B)},
      {"F12 with Ctrl", press(0x58, 0, kRightCtrl), extendedKey(0x8A)},
      {"Up", press(0x48, 0, kEnhancedKey), extendedKey(0x48)},
      {"Ctrl+Up", press(0x48, 0, kEnhancedKey | kLeftCtrl), extendedKey(0x8D)},
      {"Alt+Up", press(0x48, 0, kEnhancedKey | kRightAlt), extendedKey(0x98)},
      {"keypad 8 without Num Lock", press(0x48, 0), extendedKey(0x48)},
      {"an enhanced key not in the table", press(0x10, 0, kEnhancedKey), kNoKey},
      {"a scan code beyond the table", press(0x70, 'z'), 'z'},
  };
  for (const Row& row : rows) EXPECT_EQ(translateKeyPress(row.event), row.code) << row.what;
}

TEST(ConsoleKeys, ComposesAltKeypadNumbersWhenAltIsReleased) {
  KeyQueue queue;
  ConsoleKeyReader reader;
  const auto pad = [&](int digit, bool down) {
    KeyEvent e = press(0x4F, 0, kLeftAlt, 0, static_cast<uint16_t>(96 + digit));
    e.keyDown = down;
    reader.handle(e, queue);
  };
  const auto releaseAlt = [&] {
    KeyEvent e = press(0x38, 0, 0, 0, 18);
    e.keyDown = false;
    reader.handle(e, queue);
  };
  pad(6, true);
  pad(6, false);
  pad(5, true);
  pad(5, false);
  EXPECT_FALSE(queue.take());
  releaseAlt();
  EXPECT_EQ(queue.take(), 65);
  pad(0, true);
  pad(0, false);
  releaseAlt();
  EXPECT_FALSE(queue.take());  // adds up to 0: nothing

  KeyEvent repeat = press(0x1E, 'a', 0, 'A');
  repeat.repeatCount = 0;
  reader.handle(repeat, queue);
  EXPECT_FALSE(queue.take());
  reader.handle(press(0x3E, 0, kLeftAlt), queue);
  EXPECT_EQ(queue.take(), kCloseKey);
}

// A screen buffer in memory, with a window of rows onto it.
class FakeScreen : public ConsoleScreen {
 public:
  FakeScreen(int width, int height, int windowRows)
      : rows(static_cast<size_t>(height), std::string(static_cast<size_t>(width), ' ')) {
    state.width = width;
    state.height = height;
    state.windowTop = 0;
    state.windowBottom = windowRows - 1;
  }
  bool info(ScreenInfo& out) override {
    out = state;
    return available;
  }
  void draw(int x, int y, std::string_view bytes, uint16_t) override {
    ASSERT_LE(x + static_cast<int>(bytes.size()), state.width);
    ASSERT_GE(y, state.windowTop);
    ASSERT_LE(y, state.windowBottom);
    drawSizes.push_back(bytes.size());
    rows[static_cast<size_t>(y)].replace(static_cast<size_t>(x), bytes.size(), bytes);
  }
  void showRows(int top, int bottom) override {
    state.windowTop = top;
    state.windowBottom = bottom;
  }
  void scrollBuffer(int count, uint16_t) override {
    ++bufferScrolls;
    rows.erase(rows.begin(), rows.begin() + count);
    rows.resize(static_cast<size_t>(state.height),
                std::string(static_cast<size_t>(state.width), ' '));
  }
  void blankRows(int top, int bottom, uint16_t) override {
    for (int y = top; y <= bottom; ++y)
      rows[static_cast<size_t>(y)].assign(static_cast<size_t>(state.width), ' ');
  }
  void placeCursor(int x, int y) override {
    state.cursorX = x;
    state.cursorY = y;
  }
  void beep() override { ++beeps; }

  std::string row(int y) const {
    std::string r = rows[static_cast<size_t>(y)];
    return r.substr(0, r.find_last_not_of(' ') + 1);
  }

  ScreenInfo state;
  std::vector<std::string> rows;
  std::vector<size_t> drawSizes;
  bool available = true;
  int beeps = 0;
  int bufferScrolls = 0;
};

TEST(ConsoleRenderer, ControlBytesMoveTheCursorAsATeletype) {
  FakeScreen screen(20, 10, 10);
  ConsoleRenderer renderer(screen);
  renderer.write("ab\bc\r\n\tx\r\n1234567\ty\a\r\nz");
  EXPECT_EQ(screen.row(0), "ac");
  EXPECT_EQ(screen.row(1), "        x");
  EXPECT_EQ(screen.row(2), "1234567 y");
  EXPECT_EQ(screen.row(3), "z");
  EXPECT_EQ(screen.beeps, 1);
  EXPECT_EQ(screen.state.cursorX, 1);
  EXPECT_EQ(screen.state.cursorY, 3);
}

TEST(ConsoleRenderer, WrapsAndScrollsTheViewBeforeTheBuffer) {
  FakeScreen screen(10, 5, 3);  // a window of three rows onto five
  ConsoleRenderer renderer(screen);
  renderer.write("0123456789AB\r\n");
  EXPECT_EQ(screen.row(0), "0123456789");
  EXPECT_EQ(screen.row(1), "AB");
  renderer.write("c\r\nd\r\n");  // the view moves down into the buffer, no text moves
  EXPECT_EQ(screen.state.windowTop, 2);
  EXPECT_EQ(screen.bufferScrolls, 0);
  EXPECT_EQ(screen.row(3), "d");
  renderer.write("e\r\n");  // no rows left below: the buffer's content moves up
  EXPECT_EQ(screen.bufferScrolls, 1);
  EXPECT_EQ(screen.row(3), "e");
  EXPECT_EQ(screen.row(0), "AB");
  EXPECT_EQ(screen.state.cursorY, 4);
}

TEST(ConsoleRenderer, AFullBottomRowWaitsForMoreTextBeforeScrolling) {
  FakeScreen screen(4, 2, 2);
  ConsoleRenderer renderer(screen);
  renderer.write("ab\r\nwxyz");
  EXPECT_EQ(screen.row(1), "wxyz");
  EXPECT_EQ(screen.bufferScrolls, 0);
  EXPECT_EQ(screen.state.cursorX, 3);
  EXPECT_EQ(screen.state.cursorY, 1);
  renderer.write("\r\n");  // the pending wrap and the line feed each take a row
  EXPECT_EQ(screen.bufferScrolls, 2);
  EXPECT_EQ(screen.row(0), "");
  EXPECT_EQ(screen.row(1), "");
}

TEST(ConsoleRenderer, DrawsInRunsOfAtMost256Bytes) {
  FakeScreen screen(1000, 5, 5);
  ConsoleRenderer renderer(screen);
  renderer.write(std::string(600, 'q'));
  EXPECT_EQ(screen.drawSizes, (std::vector<size_t>{256, 256, 88}));
}

TEST(ConsoleRenderer, OnlyARealViewIsUsable) {
  FakeScreen narrow(1, 10, 10);
  EXPECT_FALSE(ConsoleRenderer(narrow).usable());
  FakeScreen flat(80, 10, 1);
  EXPECT_FALSE(ConsoleRenderer(flat).usable());
  FakeScreen gone(80, 25, 25);
  gone.available = false;
  EXPECT_FALSE(ConsoleRenderer(gone).usable());
  FakeScreen fine(80, 25, 25);
  EXPECT_TRUE(ConsoleRenderer(fine).usable());
}

}  // namespace
}  // namespace opfreq
