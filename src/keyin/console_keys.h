// Console key events to key codes, as a console that reports raw key events (the Windows
// console) needs them: the key tables in the PC BIOS manner, the keys the console flags as
// enhanced, and characters typed as decimal numbers on the keypad while Alt is held.
//
// Platform-free so that it can be tested anywhere; the console code feeds it its events.
#ifndef OPFREQ_KEYIN_CONSOLE_KEYS_H_
#define OPFREQ_KEYIN_CONSOLE_KEYS_H_

#include <cstdint>

#include "keyin/key_queue.h"

namespace opfreq {

// Modifier state bits of a key event.
constexpr uint32_t kRightAlt = 0x01;
constexpr uint32_t kLeftAlt = 0x02;
constexpr uint32_t kRightCtrl = 0x04;
constexpr uint32_t kLeftCtrl = 0x08;
constexpr uint32_t kShift = 0x10;
constexpr uint32_t kEnhancedKey = 0x100;

struct KeyEvent {
  bool keyDown = true;
  uint16_t repeatCount = 1;
  uint16_t virtualKey = 0;
  uint16_t scanCode = 0;
  uint8_t character = 0;  // 0 for none
  uint32_t controlState = 0;
  // The character the virtual key stands for on its own (MapVirtualKey), 0 for none.
  uint8_t keyCharacter = 0;
};

// The code of one key press, or kNoKey for presses that yield none (modifiers alone).
int translateKeyPress(const KeyEvent& event);

// Turns a console's key events into codes on a queue, composing Alt+keypad numbers.
class ConsoleKeyReader {
 public:
  void handle(const KeyEvent& event, KeyQueue& queue);

 private:
  // Wraps, as unsigned arithmetic does: its low byte, the one delivered, stays the exact
  // number's however many digits are typed.
  uint32_t accumulator_ = 0;
};

}  // namespace opfreq

#endif  // OPFREQ_KEYIN_CONSOLE_KEYS_H_
