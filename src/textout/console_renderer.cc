#include "textout/console_renderer.h"

#include <algorithm>

namespace opfreq {

bool ConsoleRenderer::usable() {
  ScreenInfo info;
  if (!screen_.info(info)) return false;
  return info.width > 1 && info.windowBottom > info.windowTop;
}

void ConsoleRenderer::flush() {
  if (!piece_.empty()) screen_.draw(pieceX_, pieceY_, piece_, info_.attribute);
  piece_.clear();
}

// BS, LF and CR end the run of drawn bytes.
void ConsoleRenderer::endRun() {
  flush();
  runLength_ = 0;
  lastWrapped_ = false;
}

// The cursor stands below the bottom row of the view: move the view down into the buffer
// while it has rows there, then scroll the buffer's content up for the rest.
void ConsoleRenderer::scrollIntoView() {
  int missing = y_ - info_.windowBottom;
  if (missing <= 0) return;
  const int below = std::max(0, info_.height - 1 - info_.windowBottom);
  const int move = std::min(missing, below);
  if (move > 0) {
    info_.windowTop += move;
    info_.windowBottom += move;
    screen_.showRows(info_.windowTop, info_.windowBottom);
    missing -= move;
  }
  if (missing > 0) {
    if (missing >= info_.height) {
      screen_.blankRows(info_.windowTop, info_.windowBottom, info_.attribute);
    } else {
      screen_.scrollBuffer(missing, info_.attribute);
    }
  }
  y_ = info_.windowBottom;
}

void ConsoleRenderer::put(char byte) {
  if (y_ > info_.windowBottom) scrollIntoView();  // before anything is drawn on that row
  if (piece_.empty()) {
    pieceX_ = x_;
    pieceY_ = y_;
  }
  piece_ += byte;
  lastWrapped_ = false;
  if (++runLength_ == kRunLimit) {
    flush();
    runLength_ = 0;
  }
  if (++x_ > info_.width - 1) {
    flush();
    x_ = 0;
    ++y_;
    lastWrapped_ = true;
  }
}

void ConsoleRenderer::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (!screen_.info(info_)) {
    info_ = ScreenInfo{};  // 80 by 25, attribute 7, the cursor top left
  }
  x_ = info_.cursorX;
  y_ = info_.cursorY;
  if (pendingWrap_) {
    pendingWrap_ = false;
    x_ = 0;
    ++y_;
    scrollIntoView();
  }
  runLength_ = 0;
  lastWrapped_ = false;
  for (const char byte : bytes) {
    switch (byte) {
      case '\a':
        screen_.beep();  // at once, before the run in front of it is drawn
        break;
      case '\b':
        endRun();
        if (x_ > 0) --x_;
        break;
      case '\t':
        do {
          put(' ');
        } while (x_ % 8 != 0 && !lastWrapped_);
        break;
      case '\n':
        endRun();
        x_ = 0;
        ++y_;
        break;
      case '\r':
        endRun();
        x_ = 0;
        break;
      default:
        put(byte);
    }
  }
  flush();
  if (lastWrapped_ && y_ == info_.windowBottom + 1) {
    // The bottom row is full: keep the cursor on it until more text comes.
    y_ = info_.windowBottom;
    x_ = info_.width - 1;
    pendingWrap_ = true;
  } else {
    scrollIntoView();
  }
  screen_.placeCursor(x_, y_);
}

}  // namespace opfreq
