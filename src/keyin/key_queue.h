// The platform-free part of the key wait: key codes, the queue that key sources and control
// handlers add to, the buffer that hands a key out byte by byte, and the wait loop itself.
//
// A key code is -1 (no key), 0 to 255 (a character byte), or extended * 256 + 255 for a key
// without a character (function and cursor keys; extended is 1 to 255). Its key text is the
// byte itself, or 0xFF followed by `extended`.
#ifndef OPFREQ_KEYIN_KEY_QUEUE_H_
#define OPFREQ_KEYIN_KEY_QUEUE_H_

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace opfreq {

constexpr int kNoKey = -1;
constexpr int extendedKey(int extended) { return extended * 256 + 255; }
// What closing the console (or the terminal going away) delivers: Alt+F4.
constexpr int kCloseKey = extendedKey(107);

// A ring of 512 codes holding at most 511; adding to a full ring drops the oldest. Adding and
// taking exclude each other, because a console control handler adds from its own thread.
class KeyQueue {
 public:
  void add(int code);
  std::optional<int> take();

 private:
  static constexpr size_t kSize = 512;
  std::mutex mutex_;
  std::array<int, kSize> codes_{};
  size_t read_ = 0;
  size_t write_ = 0;
};

// Key text taken from the queue but not yet handed out.
class KeyBuffer {
 public:
  void put(int code);
  std::optional<uint8_t> next();

 private:
  std::array<uint8_t, 16> bytes_{};
  size_t count_ = 0;
};

// One wait: hand out a buffered byte, or drain the source into the queue until it yields a
// code, idling between drains. `drain` adds whatever input is pending; `idle` waits for more
// (without spinning) and may return false to say that no input will ever come.
int waitForKeyCode(KeyQueue& queue, KeyBuffer& buffer, const std::function<void()>& drain,
                   const std::function<bool()>& idle);

// Reads one key from a terminal's byte stream, consuming every byte that belongs to it: an
// escape sequence (ESC [ ... final byte, ESC O x, ESC x) or a UTF-8 character. `nextByte`
// returns the next byte, waiting at most `timeoutMs` (-1: without limit), or -1 when none came.
int readTerminalKey(const std::function<int(int timeoutMs)>& nextByte);

}  // namespace opfreq

#endif  // OPFREQ_KEYIN_KEY_QUEUE_H_
