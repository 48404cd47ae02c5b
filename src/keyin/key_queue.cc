#include "keyin/key_queue.h"

namespace opfreq {
namespace {

// How long the rest of a multi-byte key may lag behind its first byte. Terminals send a
// sequence in one write; this only has to cover a slow link.
constexpr int kSequenceGapMs = 50;

// Extended codes in the PC BIOS manner for the final bytes of common sequences; the caller
// ignores the code, so an unknown key only needs some extended code.
int extendedFor(int finalByte) {
  switch (finalByte) {
    case 'A':
      return extendedKey(0x48);  // Up
    case 'B':
      return extendedKey(0x50);  // Down
    case 'C':
      return extendedKey(0x4D);  // Right
    case 'D':
      return extendedKey(0x4B);  // Left
    case 'H':
      return extendedKey(0x47);  // Home
    case 'F':
      return extendedKey(0x4F);  // End
    case 'P':
      return extendedKey(0x3B);  // F1
    case 'Q':
      return extendedKey(0x3C);  // F2
    case 'R':
      return extendedKey(0x3D);  // F3
    case 'S':
      return extendedKey(0x3E);  // F4
    default:
      return extendedKey(0x01);
  }
}

}  // namespace

void KeyQueue::add(int code) {
  const std::lock_guard<std::mutex> lock(mutex_);
  codes_[write_] = code;
  write_ = (write_ + 1) % kSize;
  if (write_ == read_) read_ = (read_ + 1) % kSize;  // full: the oldest goes
}

std::optional<int> KeyQueue::take() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (read_ == write_) return std::nullopt;
  const int code = codes_[read_];
  read_ = (read_ + 1) % kSize;
  return code;
}

void KeyBuffer::put(int code) {
  if (code < 0) return;
  if (code < 256) {
    bytes_[count_++] = static_cast<uint8_t>(code);
  } else {
    bytes_[count_++] = 0xFF;
    bytes_[count_++] = static_cast<uint8_t>(code >> 8);
  }
}

std::optional<uint8_t> KeyBuffer::next() {
  if (count_ == 0) return std::nullopt;
  const uint8_t first = bytes_[0];
  for (size_t i = 1; i < count_; ++i) bytes_[i - 1] = bytes_[i];
  --count_;
  return first;
}

int waitForKeyCode(KeyQueue& queue, KeyBuffer& buffer, const std::function<void()>& drain,
                   const std::function<bool()>& idle) {
  for (;;) {
    if (const auto byte = buffer.next()) return *byte;
    drain();
    std::optional<int> code = queue.take();
    while (!code) {
      if (!idle()) return kNoKey;
      drain();
      code = queue.take();
    }
    buffer.put(*code);
  }
}

int readTerminalKey(const std::function<int(int timeoutMs)>& nextByte) {
  const int first = nextByte(-1);
  if (first < 0) return kNoKey;
  if (first == 0x1B) {
    const int second = nextByte(kSequenceGapMs);
    if (second < 0) return 0x1B;  // Esc on its own
    if (second == '[') {
      // Parameters and intermediates up to the final byte (40h to 7Eh).
      for (int byte = nextByte(kSequenceGapMs); byte >= 0; byte = nextByte(kSequenceGapMs)) {
        if (byte >= 0x40 && byte <= 0x7E) return extendedFor(byte);
      }
      return extendedKey(0x01);
    }
    if (second == 'O') {
      const int third = nextByte(kSequenceGapMs);
      return third < 0 ? extendedKey(0x01) : extendedFor(third);
    }
    return extendedKey(0x01);  // Alt with a key
  }
  // A UTF-8 lead byte announces one to three continuation bytes.
  const int continuation = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
  for (int i = 0; i < continuation; ++i) {
    if (nextByte(kSequenceGapMs) < 0) break;
  }
  return first;
}

}  // namespace opfreq
