#include "analyzer/usage.h"

#include <array>

namespace opfreq {
namespace {

// Held as UTF-8 so that the source stays readable; the bytes written are code page 866,
// whatever the locale of the machine.
constexpr std::array<std::string_view, 18> UsageText = {
    "Usage:",
    "opfreq filename.bin > output.txt",
    "simple CALL-MOV test for 51 binary code",
    "opfreq founds most often used bytes (opcodes) in binary code",
    "for Intel MSC-51 compatible microcontrollers",
    "",
    "Results are not (but!) very correct because there is no real disassembling,",
    "just simple byte scanning and counting",
    "",
    "Next text is Russian DOS-866",
    "Команда:",
    "opfreq filename.bin > output.txt",
    "простой CALL-MOV тест для MSC-51 бинарного кода",
    "opfreq находит наиболее часто используемые байты (команды) в бинарном коде",
    "для Intel MSC-51 совместимых микроконтроллеров",
    "",
    "Результаты не (но почти!) точные, так как нет реального дизассемблирования,",
    "а просто подсчитывается число байт",
};

}  // namespace

std::string toCodePage866(std::string_view utf8) {
  std::string oem;
  for (size_t pos = 0; pos < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) {
      oem += static_cast<char>(lead);
      ++pos;
      continue;
    }
    const auto trail = pos + 1 < utf8.size() ? static_cast<unsigned char>(utf8[pos + 1]) : 0u;
    const unsigned codePoint = ((lead & 0x1Fu) << 6) | (trail & 0x3Fu);
    const bool twoBytes = (lead & 0xE0u) == 0xC0u && (trail & 0xC0u) == 0x80u;
    if (twoBytes && codePoint >= 0x410 && codePoint <= 0x43F) {  // А to п
      oem += static_cast<char>(0x80 + (codePoint - 0x410));
    } else if (twoBytes && codePoint >= 0x440 && codePoint <= 0x44F) {  // р to я
      oem += static_cast<char>(0xE0 + (codePoint - 0x440));
    } else {
      oem += '?';
    }
    pos += twoBytes ? 2 : 1;
  }
  return oem;
}

void writeUsageText(OutputStream& out, bool utf8) {
  for (std::string_view line : UsageText) out.writeText(utf8 ? line : toCodePage866(line), true);
}

void showUsage(OutputStream& out, KeyWaiter& keys,
               const std::function<void(std::string_view)>& alsoShowPrompt) {
  constexpr std::string_view kPrompt = "--- press any key to end ---";
  writeUsageText(out, false);
  out.writeText(kPrompt, true);
  if (alsoShowPrompt) alsoShowPrompt(kPrompt);
  keys.waitForKey();
}

}  // namespace opfreq
