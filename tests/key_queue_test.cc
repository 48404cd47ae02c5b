#include "textout/key_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>

namespace opfreq {
namespace {

TEST(KeyQueue, HoldsAtMost511AndDropsTheOldest) {
  KeyQueue queue;
  EXPECT_FALSE(queue.take());
  for (int code = 0; code < 512; ++code) queue.add(code);
  EXPECT_EQ(queue.take(), 1);  // code 0 was dropped when the 512th came
  for (int code = 2; code < 512; ++code) ASSERT_EQ(queue.take(), code);
  EXPECT_FALSE(queue.take());
}

TEST(KeyQueue, AddsFromAnotherThreadKeepTheirOrder) {
  KeyQueue queue;
  constexpr int kLast = 100000;
  std::thread handler([&] {
    for (int code = 0; code <= kLast; ++code) queue.add(code);
  });
  // Codes may be dropped while the queue is full, but never repeated, reordered or torn.
  int previous = -1;
  while (previous != kLast) {
    if (const auto code = queue.take()) {
      ASSERT_GT(*code, previous);
      ASSERT_LE(*code, kLast);
      previous = *code;
    }
  }
  handler.join();
  EXPECT_FALSE(queue.take());
}

TEST(KeyWait, HandsOutTheFirstByteOfAKeyAndKeepsTheSecond) {
  KeyQueue queue;
  KeyBuffer buffer;
  std::deque<int> arriving = {kNoKey, extendedKey(0x3B), 'a'};
  int drains = 0;
  int idles = 0;
  const auto drain = [&] {
    ++drains;
    if (!arriving.empty()) {
      if (arriving.front() != kNoKey) queue.add(arriving.front());
      arriving.pop_front();
    }
  };
  const auto idle = [&] {
    ++idles;
    return true;
  };
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), 0xFF);  // F1: 0xFF, then 59
  EXPECT_EQ(idles, 1);
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), 0x3B);
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, idle), 'a');
  EXPECT_EQ(waitForKeyCode(queue, buffer, drain, [] { return false; }), kNoKey);
}

TEST(TerminalKeys, ConsumeEveryByteOfTheKey) {
  struct Row {
    const char* what;
    std::string bytes;
    int code;
    size_t left;  // bytes that belong to the next key
  };
  const Row rows[] = {
      {"letter", "ab", 'a', 1},
      {"F1", "\x1bOPx", extendedKey(0x3B), 1},
      {"Up", "\x1b[A", extendedKey(0x48), 0},
      {"Ctrl+Up", "\x1b[1;5A", extendedKey(0x48), 0},
      {"F5", "\x1b[15~z", extendedKey(0x01), 1},
      {"Esc alone", "\x1b", 0x1B, 0},
      {"Alt+x", "\x1bx", extendedKey(0x01), 0},
      {"Cyrillic letter in UTF-8", "\xd0\x96q", 0xD0, 1},
      {"euro sign", "\xe2\x82\xac", 0xE2, 0},
      {"end of input", "", kNoKey, 0},
  };
  for (const Row& row : rows) {
    std::string pending = row.bytes;
    const auto next = [&](int) {
      if (pending.empty()) return -1;
      const int byte = static_cast<unsigned char>(pending[0]);
      pending.erase(0, 1);
      return byte;
    };
    EXPECT_EQ(readTerminalKey(next), row.code) << row.what;
    EXPECT_EQ(pending.size(), row.left) << row.what;
  }
}

}  // namespace
}  // namespace opfreq
