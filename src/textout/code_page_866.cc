#include "textout/code_page_866.h"

#include <algorithm>
#include <array>

namespace opfreq {
namespace {

// The characters of bytes 80h to FFh: Cyrillic capitals, small letters a to p, box drawing,
// small letters r to ya, then Yo, yo, the Ukrainian and Belarusian letters and a few signs.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // 88
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // 90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // 98
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // A0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // E0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // E8
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,  // F8
};

}  // namespace

char16_t fromCodePage866(uint8_t byte) { return byte < 0x80 ? byte : kUpperHalf[byte - 0x80u]; }

std::string toCodePage866(std::string_view utf8) {
  std::string text;
  for (size_t pos = 0; pos < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    // The length of the sequence, and its lead byte's bits; 0 for a byte that starts none.
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                                                  : 0;
    unsigned code = lead & (length == 1 ? 0x7Fu : length == 2 ? 0x1Fu : 0x0Fu);
    bool whole = length > 0 && pos + length <= utf8.size();
    for (size_t i = 1; whole && i < length; ++i) {
      const auto trail = static_cast<unsigned char>(utf8[pos + i]);
      whole = (trail & 0xC0) == 0x80;
      code = code << 6 | (trail & 0x3Fu);
    }
    const auto* found = std::find(kUpperHalf.begin(), kUpperHalf.end(), code);
    if (whole && code < 0x80) {
      text += static_cast<char>(code);
    } else if (whole && found != kUpperHalf.end()) {
      text += static_cast<char>(0x80 + (found - kUpperHalf.begin()));
    } else {
      text += '?';
    }
    pos += whole ? length : 1;
  }
  return text;
}

std::string codePage866ToUtf8(std::string_view text) {
  std::string utf8;
  for (const char byte : text) {
    const char16_t code = fromCodePage866(static_cast<uint8_t>(byte));
    if (code < 0x80) {
      utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
      utf8 += static_cast<char>(0xC0 | code >> 6);
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | code >> 12);
      utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return utf8;
}

}  // namespace opfreq
