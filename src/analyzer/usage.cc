#include "analyzer/usage.h"

#include <array>

#include "analyzer/command_line.h"
#include "textout/code_page_866.h"

namespace opfreq {
namespace {

constexpr std::string_view kEncodingLine = "Next text is Russian DOS-866";

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
    kEncodingLine,
    "Команда:",
    "opfreq filename.bin > output.txt",
    "простой CALL-MOV тест для MSC-51 бинарного кода",
    "opfreq находит наиболее часто используемые байты (команды) в бинарном коде",
    "для Intel MSC-51 совместимых микроконтроллеров",
    "",
    "Результаты не (но почти!) точные, так как нет реального дизассемблирования,",
    "а просто подсчитывается число байт",
};

// --help: the usage text, then these, with a line for each option between them.
constexpr std::array<std::string_view, 6> kHelpBefore = {
    "",
    "Reads binary images, Intel HEX and Motorola S-records (.hex, .ihx, .s19 ...).",
    "Without options the arguments are joined into one file name; with any option each",
    "argument is a file of its own. Addresses and offsets are hex (1F00, 0x1F00 or 1F00h).",
    "",
    "Options:",
};
constexpr std::array<std::string_view, 2> kHelpAfter = {
    "",
    "Exit status: 0 done, 1 an input or the output failed, 2 a wrong command line, 3 over the "
    "--max-growth budget.",
};

// Held as UTF-8 so that the source stays readable; the bytes written are code page 866,
// whatever the locale of the machine, and a screen shows their characters.
void writeUsageText(OutputStream& out) {
  for (std::string_view line : UsageText) out.writeCodePage866(toCodePage866(line), true);
}

}  // namespace

void writeHelp(OutputStream& out, bool utf8) {
  if (utf8) {
    for (std::string_view line : UsageText) {
      out.writeText(line == kEncodingLine ? "Next text is Russian UTF-8" : line, true);
    }
  } else {
    writeUsageText(out);
  }
  for (std::string_view line : kHelpBefore) out.writeText(line, true);
  for (const std::string& line : optionHelp()) out.writeText(line, true);
  for (std::string_view line : kHelpAfter) out.writeText(line, true);
}

void showUsage(OutputStream& out, KeyWaiter& keys,
               const std::function<void(std::string_view)>& alsoShowPrompt) {
  constexpr std::string_view kPrompt = "--- press any key to end ---";
  writeUsageText(out);
  out.writeCodePage866(kPrompt, true);
  if (alsoShowPrompt) alsoShowPrompt(kPrompt);
  keys.waitForKey();
}

}  // namespace opfreq
