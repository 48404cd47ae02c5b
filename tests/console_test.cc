// The platform-free parts of the key wait and of the console: the key queue and buffer,
// console key events, the teletype renderer, and code page 866.
#include <gtest/gtest.h>
#include <iconv.h>

#include <vector>

#include "keyin/console_keys.h"
#include "keyin/key_queue.h"
#include "textout/code_page_866.h"
#include "textout/console_renderer.h"

namespace opfreq {
namespace {

TEST(KeyQueue, HoldsAtMost511AndDropsTheOldest) {
  KeyQueue queue;
  for (int code = 0; code < 512; ++code) queue.add(code);
  for (int code = 1; code < 512; ++code) ASSERT_EQ(queue.take(), code);
  EXPECT_FALSE(queue.take());
}

TEST(KeyWait, HandsOutAKeyByteByByteUntilNoMoreInputCanCome) {
  KeyQueue queue;
  KeyBuffer buffer;
  int idles = 0;
  const auto idle = [&] {
    if (idles++ == 0) queue.add(extendedKey(0x3B));  // F1 arrives while the wait idles
    return idles < 3;
  };
  const auto drain = [] {};
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), 0xFF);
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), 0x3B);
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), kNoKey);
}

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

TEST(ConsoleKeys, KeysEndTheWaitModifiersAloneDoNot) {
  const struct {
    const char* what;
    KeyEvent event;
    bool ends;
  } rows[] = {
      {"Esc", press(0x01, 0x1B, 0, 0x1B), true},
      {"Alt+A", press(0x1E, 'a', kLeftAlt, 'A'), true},
      {"another layout's letter on the A key", press(0x1E, 0xE4, 0, 'A'), true},
      {"F1", press(0x3B, 0), true},
      {"Up", press(0x48, 0, kEnhancedKey), true},
      {"Shift+Up", press(0x48, 0, kEnhancedKey | kShift), true},
      {"keypad 8 without Num Lock", press(0x48, 0), true},
      {"a scan code beyond the table", press(0x70, 'z'), true},
      {"Shift alone", press(0x2A, 0, kShift), false},
      {"Alt alone", press(0x38, 0, kLeftAlt), false},
      {"an enhanced key not in the table", press(0x10, 0, kEnhancedKey), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(translateKeyPress(row.event) != kNoKey, row.ends) << row.what;
  }
}

TEST(ConsoleKeys, ComposesAltKeypadNumbersWhenAltIsReleased) {
  KeyQueue queue;
  ConsoleKeyReader reader;
  const auto pad = [&](int digit) {
    KeyEvent e = press(0x4F, 0, kLeftAlt, 0, static_cast<uint16_t>(96 + digit));
    reader.handle(e, queue);
    e.keyDown = false;
    reader.handle(e, queue);
  };
  const auto releaseAlt = [&] {
    KeyEvent e = press(0x38, 0, 0, 0, 18);
    e.keyDown = false;
    reader.handle(e, queue);
  };
  pad(6);
  pad(5);
  EXPECT_FALSE(queue.take());
  releaseAlt();
  EXPECT_EQ(queue.take(), 65);
  pad(0);
  releaseAlt();
  EXPECT_FALSE(queue.take());  // adds up to 0: nothing
  for (const int digit : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2}) pad(digit);
  releaseAlt();
  EXPECT_EQ(queue.take(), 123456789012 % 256);  // the low byte, however long the number
}

// A screen buffer in memory, with a window of rows onto it.
class FakeScreen : public ConsoleScreen {
 public:
  FakeScreen(int width, int height, int windowRows)
      : rows(static_cast<size_t>(height), std::string(static_cast<size_t>(width), ' ')) {
    state.width = width;
    state.height = height;
    state.windowBottom = windowRows - 1;
  }
  bool info(ScreenInfo& out) override {
    out = state;
    return true;
  }
  void draw(int x, int y, std::string_view bytes, uint16_t) override {
    ASSERT_LE(x + static_cast<int>(bytes.size()), state.width);
    ASSERT_TRUE(y >= state.windowTop && y <= state.windowBottom);
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
    for (int y = top; y <= bottom; ++y) rows[static_cast<size_t>(y)].assign(rows[0].size(), ' ');
  }
  void placeCursor(int x, int y) override {
    state.cursorX = x;
    state.cursorY = y;
  }
  void beep() override { ++beeps; }

  std::string row(int y) const {
    const std::string& r = rows[static_cast<size_t>(y)];
    return r.substr(0, r.find_last_not_of(' ') + 1);
  }

  ScreenInfo state;
  std::vector<std::string> rows;
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
  renderer.write("0123456789AB\r\nc\r\nd\r\n");  // the view moves down, no text moves
  EXPECT_EQ(screen.row(0), "0123456789");
  EXPECT_EQ(screen.row(1), "AB");
  EXPECT_EQ(screen.state.windowTop, 2);
  EXPECT_EQ(screen.bufferScrolls, 0);
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

// The table against the C library's own conversion, every byte, both ways.
TEST(CodePage866, AgreesWithTheCLibrary) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  std::string utf8(3 * bytes.size(), '\0');
  char* in = bytes.data();
  char* out = utf8.data();
  size_t inLeft = bytes.size();
  size_t outLeft = utf8.size();
  const iconv_t convert = iconv_open("UTF-8", "CP866");
  ASSERT_NE(iconv(convert, &in, &inLeft, &out, &outLeft), static_cast<size_t>(-1));
  iconv_close(convert);
  utf8.resize(utf8.size() - outLeft);
  EXPECT_EQ(codePage866ToUtf8(bytes), utf8);
  EXPECT_EQ(toCodePage866(utf8), bytes);
  EXPECT_EQ(toCodePage866("\u20AC\xD0"), "??");  // not in the code page; a broken sequence
}

}  // namespace
}  // namespace opfreq
