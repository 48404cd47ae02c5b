#include "keyin/console_keys.h"

#include <array>

namespace opfreq {
namespace {

// One row per scan code 0 to 88: the key's code alone, with Shift, with Ctrl, with Alt. Below
// 256 a character (0: none); from 256 on an extended code in the high byte.
struct KeyRow {
  uint16_t alone;
  uint16_t shift;
  uint16_t ctrl;
  uint16_t alt;
};

constexpr uint16_t x(int extended) { return static_cast<uint16_t>(extended << 8); }
constexpr KeyRow letter(char small, int scan) {
  return {static_cast<uint16_t>(small), static_cast<uint16_t>(small - 32),
          static_cast<uint16_t>(small - 96), x(scan)};
}
constexpr KeyRow function(int alone, int shift, int ctrl, int alt) {
  return {x(alone), x(shift), x(ctrl), x(alt)};
}
// Keypad cursor and editing keys: extended alone and with Ctrl, the digit or point with Shift.
constexpr KeyRow keypad(int scan, char shifted, int ctrl, int alt = 0) {
  return {x(scan), static_cast<uint16_t>(shifted), x(ctrl), static_cast<uint16_t>(alt)};
}
constexpr KeyRow none{0, 0, 0, 0};

constexpr std::array<KeyRow, 89> kKeyTable = {{
    none,                               // 00
    {0x1B, 0x1B, 0x1B, x(0x01)},        // 01 Esc
    {'1', '!', 0, x(0x78)},             // 02
    {'2', '@', x(0x03), x(0x79)},       // 03
    {'3', '#', 0, x(0x7A)},             // 04
    {'4', '$', 0, x(0x7B)},             // 05
    {'5', '%', 0, x(0x7C)},             // 06
    {'6', '^', 0x1E, x(0x7D)},          // 07
    {'7', '&', 0, x(0x7E)},             // 08
    {'8', '*', 0, x(0x7F)},             // 09
    {'9', '(', 0, x(0x80)},             // 0A
    {'0', ')', 0, x(0x81)},             // 0B
    {'-', '_', 0x1F, x(0x82)},          // 0C
    {'=', '+', 0, x(0x83)},             // 0D
    {0x08, 0x08, 0x7F, x(0x0E)},        // 0E Backspace
    {0x09, x(0x0F), x(0x94), x(0xA5)},  // 0F Tab
    letter('q', 0x10),
    letter('w', 0x11),
    letter('e', 0x12),
    letter('r', 0x13),
    letter('t', 0x14),
    letter('y', 0x15),
    letter('u', 0x16),
    letter('i', 0x17),
    letter('o', 0x18),
    letter('p', 0x19),            // 10 to 19
    {'[', '{', 0x1B, x(0x1A)},    // 1A
    {']', '}', 0x1D, x(0x1B)},    // 1B
    {0x0D, 0x0D, 0x0A, x(0x1C)},  // 1C Enter
    none,                         // 1D Ctrl
    letter('a', 0x1E),
    letter('s', 0x1F),
    letter('d', 0x20),
    letter('f', 0x21),
    letter('g', 0x22),
    letter('h', 0x23),
    letter('j', 0x24),
    letter('k', 0x25),
    letter('l', 0x26),           // 1E to 26
    {';', ':', 0, x(0x27)},      // 27
    {'\'', '"', 0, x(0x28)},     // 28
    {'`', '~', 0, x(0x29)},      // 29
    none,                        // 2A left Shift
    {'\\', '|', 0x1C, x(0x2B)},  // 2B
    letter('z', 0x2C),
    letter('x', 0x2D),
    letter('c', 0x2E),
    letter('v', 0x2F),
    letter('b', 0x30),
    letter('n', 0x31),
    letter('m', 0x32),             // 2C to 32
    {',', '<', 0, x(0x33)},        // 33
    {'.', '>', 0, x(0x34)},        // 34
    {'/', '?', 0, x(0x35)},        // 35
    none,                          // 36 right Shift
    {'*', '*', x(0x96), x(0x37)},  // 37 keypad *
    none,                          // 38 Alt
    {' ', ' ', ' ', ' '},          // 39 Space
    none,                          // 3A Caps Lock
    function(0x3B, 0x54, 0x5E, 0x68),
    function(0x3C, 0x55, 0x5F, 0x69),  // F1, F2
    function(0x3D, 0x56, 0x60, 0x6A),
    function(0x3E, 0x57, 0x61, 0x6B),  // F3, F4
    function(0x3F, 0x58, 0x62, 0x6C),
    function(0x40, 0x59, 0x63, 0x6D),  // F5, F6
    function(0x41, 0x5A, 0x64, 0x6E),
    function(0x42, 0x5B, 0x65, 0x6F),  // F7, F8
    function(0x43, 0x5C, 0x66, 0x70),
    function(0x44, 0x5D, 0x67, 0x71),  // F9, F10
    none,                              // 45 Num Lock
    none,                              // 46 Scroll Lock
    keypad(0x47, '7', 0x77),           // 47 Home
    keypad(0x48, '8', 0x8D),           // 48 Up
    keypad(0x49, '9', 0x84),           // 49 Page Up
    {0, '-', 0, 0},                    // 4A keypad -
    keypad(0x4B, '4', 0x73),           // 4B Left
    keypad(0x4C, '5', 0x8F, x(0x9C)),  // 4C keypad 5
    keypad(0x4D, '6', 0x74),           // 4D Right
    {0, '+', 0, 0},                    // 4E keypad +
    keypad(0x4F, '1', 0x75),           // 4F End
    keypad(0x50, '2', 0x91),           // 50 Down
    keypad(0x51, '3', 0x76),           // 51 Page Down
    keypad(0x52, '0', 0x92),           // 52 Insert
    keypad(0x53, '.', 0x93),           // 53 Delete
    none,
    none,
    none,                              // 54 to 56
    function(0x85, 0x87, 0x89, 0x8B),  // 57 F11
    function(0x86, 0x88, 0x8A, 0x8C),  // 58 F12
}};

struct EnhancedRow {
  uint16_t scanCode;
  KeyRow codes;
};

constexpr std::array<EnhancedRow, 12> kEnhancedTable = {{
    {0x1C, {0x0D, 0x0D, 0x0A, x(0xA6)}},       // keypad Enter
    {0x35, {'/', '/', x(0x95), x(0xA4)}},      // keypad /
    {0x47, function(0x47, 0x47, 0x77, 0x97)},  // Home
    {0x48, function(0x48, 0x48, 0x8D, 0x98)},  // Up
    {0x49, function(0x49, 0x49, 0x84, 0x99)},  // Page Up
    {0x4B, function(0x4B, 0x4B, 0x73, 0x9B)},  // Left
    {0x4D, function(0x4D, 0x4D, 0x74, 0x9D)},  // Right
    {0x4F, function(0x4F, 0x4F, 0x75, 0x9F)},  // End
    {0x50, function(0x50, 0x50, 0x91, 0xA0)},  // Down
    {0x51, function(0x51, 0x51, 0x76, 0xA1)},  // Page Down
    {0x52, function(0x52, 0x52, 0x92, 0xA2)},  // Insert
    {0x53, function(0x53, 0x53, 0x93, 0xA3)},  // Delete
}};

bool altDown(uint32_t state) { return (state & (kLeftAlt | kRightAlt)) != 0; }
bool ctrlDown(uint32_t state) { return (state & (kLeftCtrl | kRightCtrl)) != 0; }
bool shiftDown(uint32_t state) { return (state & kShift) != 0; }
bool altOnly(uint32_t state) { return altDown(state) && !ctrlDown(state) && !shiftDown(state); }

uint16_t pick(const KeyRow& row, uint32_t state) {
  if (altDown(state)) return row.alt;
  if (ctrlDown(state)) return row.ctrl;
  if (shiftDown(state)) return row.shift;
  return row.alone;
}

int codeOf(uint16_t value) {
  return value >= 256 ? extendedKey(value >> 8) : static_cast<int>(value);
}

uint8_t otherCase(uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 32);
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c + 32);
  return c;
}

bool isKeypadDigit(uint16_t virtualKey) { return virtualKey >= 96 && virtualKey <= 105; }

}  // namespace

int translateKeyPress(const KeyEvent& event) {
  const uint32_t state = event.controlState;
  if (event.character == 0 && (state & kEnhancedKey) != 0) {
    for (const EnhancedRow& row : kEnhancedTable) {
      if (row.scanCode != event.scanCode) continue;
      const uint16_t value = pick(row.codes, state);
      return value == 0 ? kNoKey : codeOf(value);
    }
    return kNoKey;
  }
  if (event.scanCode >= kKeyTable.size()) {
    return event.character != 0 ? event.character : kNoKey;
  }
  const KeyRow& row = kKeyTable[event.scanCode];
  const uint8_t ch = event.keyCharacter;
  // Without a modifier, a key that types a character stands for its own character.
  const bool modified = altDown(state) || ctrlDown(state) || shiftDown(state);
  const uint16_t value = modified || event.character == 0 ? pick(row, state) : ch;
  // An extended code counts only when the event's character is the key's own (or none at
  // all): a layout that gives the key another character delivers that character instead.
  if (value >= 256 && (event.character == ch || event.character == otherCase(ch))) {
    return codeOf(value);
  }
  return event.character != 0 ? event.character : kNoKey;
}

void ConsoleKeyReader::handle(const KeyEvent& event, KeyQueue& queue) {
  const bool alt = altOnly(event.controlState);
  const bool keypadDigit = isKeypadDigit(event.virtualKey);
  const auto deliver = [&] {
    if (accumulator_ != 0) queue.add(static_cast<int>(accumulator_ & 0xFF));
    accumulator_ = 0;
  };
  if (!event.keyDown) {
    if (keypadDigit && alt) return;
    if (!alt) deliver();  // letting Alt go delivers a composed character
    return;
  }
  if (event.repeatCount == 0) return;
  const int code = translateKeyPress(event);
  if (keypadDigit && alt) {
    accumulator_ = accumulator_ * 10 + static_cast<uint32_t>(event.virtualKey - 96);
  } else if (code != kNoKey) {
    accumulator_ = 0;
  } else if (!alt) {
    deliver();
  }
  if (code != kNoKey) queue.add(code);
}

}  // namespace opfreq
