// The teletype renderer: how bytes written to an interactive console that does not interpret
// them itself (the Windows console in its cell-drawing form) are shown. BEL beeps, BS moves
// left, TAB blanks to the next multiple of 8, LF starts the next row, CR returns to the left
// column, anything else is drawn and the cursor advances, wrapping at the right column. Rows
// below the view first move the view down the screen buffer, then scroll the buffer. A row
// filled to its last column on the bottom row leaves the cursor there with a pending wrap, so
// no empty row shows until more text comes.
//
// Platform-free: the console is reached through ConsoleScreen.
#ifndef OPFREQ_TEXTOUT_CONSOLE_RENDERER_H_
#define OPFREQ_TEXTOUT_CONSOLE_RENDERER_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace opfreq {

struct ScreenInfo {
  int width = 80;   // screen buffer columns
  int height = 25;  // screen buffer rows
  int cursorX = 0;
  int cursorY = 0;
  int windowTop = 0;  // rows of the buffer shown in the window
  int windowBottom = 24;
  uint16_t attribute = 7;
};

class ConsoleScreen {
 public:
  virtual ~ConsoleScreen() = default;
  virtual bool info(ScreenInfo& info) = 0;
  // Draws bytes at a position, all on that row; the console's cursor does not move.
  virtual void draw(int x, int y, std::string_view bytes, uint16_t attribute) = 0;
  // Shows buffer rows top to bottom in the window.
  virtual void showRows(int top, int bottom) = 0;
  // Moves buffer rows `rows` to the last up to row 0, blanking the rows uncovered.
  virtual void scrollBuffer(int rows, uint16_t attribute) = 0;
  virtual void blankRows(int top, int bottom, uint16_t attribute) = 0;
  virtual void placeCursor(int x, int y) = 0;
  virtual void beep() = 0;
};

class ConsoleRenderer {
 public:
  explicit ConsoleRenderer(ConsoleScreen& screen) : screen_(screen) {}

  // Whether the console is usable for rendering: its information can be read and the view is
  // more than one column wide and one row high.
  bool usable();
  void write(std::string_view bytes);

 private:
  static constexpr size_t kRunLimit = 256;

  void put(char byte);
  void flush();
  void endRun();
  void scrollIntoView();

  ConsoleScreen& screen_;
  bool pendingWrap_ = false;
  ScreenInfo info_;
  int x_ = 0;
  int y_ = 0;
  std::string piece_;  // drawn bytes not yet handed to the console, all on one row
  int pieceX_ = 0;
  int pieceY_ = 0;
  size_t runLength_ = 0;
  bool lastWrapped_ = false;  // the last byte drawn filled its row
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_CONSOLE_RENDERER_H_
