#include "analyzer/report.h"

#include <string>

#include "analyzer/opcode_table.h"
#include "textout/extended.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

std::string mnemonicColumn(std::string_view mnemonic) {
  return (std::string(mnemonic) + std::string(24, ' ')).substr(0, 24);
}

}  // namespace

void writeReport(const RunState& run, OutputStream& out, MaskPrinter& masks) {
  out.writeText("Total size of code:");
  out.writeInteger(run.lastOffset + 1, true);
  // The shares are of the whole file, also beyond the 64 KiB that were swept.
  writeOpcodeLines(run, run.fileSize, out, masks);
  const HotTargets hot = selectHotTargets(run.calls.hotSites());
  for (size_t k = 0; k < static_cast<size_t>(hot.listed()); ++k) {
    writeCallLine(hot.topCallCount[k], hot.topCallAddress[k], "", out, masks);
  }
}

void writeOpcodeLines(const RunState& run, int32_t denominator, OutputStream& out,
                      MaskPrinter& masks) {
  out.writeText("16 most popular codes:", true);
  // "memonic" is kept as stored reports have it.
  out.writeText("cop memonic            cmdlen found  size % of total", true);

  float firstThreePercent = 0;
  for (size_t rank = 0; rank < 16; ++rank) {
    const auto op = static_cast<size_t>(run.rankOrder[rank]);
    const int32_t count = run.opcodeCount[rank];
    const int32_t length = OpcodeTable[op].cmdlen;
    const int32_t size = count * length;
    out.writeText(hexDigits(op, 2));
    out.writeText("  ");
    out.writeText(mnemonicColumn(OpcodeTable[op].mnemonic));
    masks.beginMask("# ##### ##### ##.##%");
    masks.putNumber(static_cast<double>(length));
    masks.putNumber(static_cast<double>(count));
    masks.putNumber(static_cast<double>(size));
    const Extended percent =
        denominator == 0 ? Extended::fromInt(0)
                         : Extended::fromInt(int64_t{size} * 100) / Extended::fromInt(denominator);
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
  out.writeText("most popular calls are:", true);
}

void writeCallLine(uint16_t count, uint16_t address, std::string_view name, OutputStream& out,
                   MaskPrinter& masks) {
  masks.beginMask("##### times");
  masks.putNumber(static_cast<double>(count));
  masks.endMask(false);
  out.writeText(" to address ");
  out.writeText(hexDigits(address, 4), name.empty());
  if (!name.empty()) {
    out.writeText(" ");
    out.writeText(name, true);
  }
}

}  // namespace opfreq
