#include "analyzer/report.h"

#include <string>

#include "analyzer/opcode_table.h"
#include "textout/extended.h"

namespace opfreq {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string hexDigits(uint32_t value, int width) {
  std::string text(static_cast<size_t>(width), '0');
  for (int pos = width - 1; pos >= 0; --pos, value >>= 4) {
    text[static_cast<size_t>(pos)] = kHexDigits[value & 0xF];
  }
  return text;
}

std::string mnemonicColumn(std::string_view mnemonic) {
  return (std::string(mnemonic) + std::string(24, ' ')).substr(0, 24);
}

}  // namespace

void writeReport(const RunState& run, OutputStream& out, MaskPrinter& masks) {
  out.writeText("Total size of code:");
  out.writeInteger(run.lastOffset + 1, true);
  out.writeText("16 most popular codes:", true);
  out.writeText("cop memonic            cmdlen found  size % of total", true);

  float firstThreePercent = 0;
  for (size_t rank = 0; rank < 16; ++rank) {
    const auto op = static_cast<size_t>(run.rankOrder[rank]);
    const int32_t count = run.opcodeCount[rank];
    const int32_t length = OpcodeTable[op].cmdlen;
    const int32_t size = count * length;
    out.writeText(hexDigits(static_cast<uint32_t>(op), 2));
    out.writeText("  ");
    out.writeText(mnemonicColumn(OpcodeTable[op].mnemonic));
    masks.beginMask("# ##### ##### ##.##%");
    masks.putNumber(static_cast<double>(length));
    masks.putNumber(static_cast<double>(count));
    masks.putNumber(static_cast<double>(size));
    // The share is of the whole file, also beyond the 64 KiB that were swept.
    const Extended percent =
        Extended::fromInt(int64_t{size} * 100) / Extended::fromInt(run.fileSize);
    masks.putNumber(percent.toDouble());
    masks.endMask(true);
    if (rank < 3) firstThreePercent = (percent + Extended::fromDouble(firstThreePercent)).toFloat();
  }
  masks.beginMask("first 3 opcodes: ##.##%");
  masks.putNumber(firstThreePercent);
  masks.endMask(true);

  out.writeText("ACALL found       ");
  out.writeInteger(run.acallCount, true);
  out.writeText("Subroutines found:");
  out.writeInteger(countSubroutines(run.calls), true);
  const HotTargets hot = selectHotTargets(run.calls.hotSites());
  out.writeText("most popular calls are:", true);
  for (size_t k = 0; k < static_cast<size_t>(hot.listed()); ++k) {
    masks.beginMask("##### times");
    masks.putNumber(static_cast<double>(hot.topCallCount[k]));
    masks.endMask(false);
    out.writeText(" to address ");
    out.writeText(hexDigits(hot.topCallAddress[k], 4), true);
  }
}

}  // namespace opfreq
