#include "analyzer/report.h"

#include <string>

#include "analyzer/opcode_table.h"
#include "analyzer/view_makers.h"
#include "textout/extended.h"
#include "textout/text_escape.h"

namespace opfreq {
std::string opcodeColumns(size_t op) {
  return hexDigits(op, 2) + "  " +
         (std::string(OpcodeTable[op].mnemonic) + std::string(24, ' ')).substr(0, 24);
}

void writeWarnings(const LegacyWarnings& warnings, OutputStream& out) {
  // Both texts are kept as stored reports have them, the missing blank and "testing" included.
  if (warnings.notLjmpFirst) out.writeText("Warning: possibly not 8051 binary code", true);
  if (warnings.cut) out.writeText("Warning:only first 64KB are testing", true);
}

void writeReport(const RunState& run, const OpcodeRanking& ranking, OutputStream& out,
                 MaskPrinter& masks) {
  out.writeText("Total size of code:");
  out.writeInteger(run.lastOffset + 1, true);
  // The shares are of the whole file, also beyond the 64 KiB that were swept.
  writeOpcodeLines(run, ranking, run.fileSize, out, masks);
  const HotTargets hot = selectHotTargets(run.calls.hotSites());
  for (size_t k = 0; k < static_cast<size_t>(hot.listed()); ++k) {
    writeCallLine(hot.topCallCount[k], hot.topCallAddress[k], "", out, masks);
  }
}

void writeOpcodeLines(const RunState& run, const OpcodeRanking& ranking, int32_t denominator,
                      OutputStream& out, MaskPrinter& masks) {
  out.writeText("16 most popular codes:", true);
  // "memonic" is kept as stored reports have it.
  out.writeText("cop memonic            cmdlen found  size % of total", true);

  float firstThreePercent = 0;
  for (size_t rank = 0; rank < 16; ++rank) {
    const auto op = static_cast<size_t>(ranking.rankOrder[rank]);
    const int32_t count = ranking.opcodeCount[rank];
    const int32_t length = OpcodeTable[op].cmdlen;
    const int32_t size = count * length;
    out.writeText(opcodeColumns(op));
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

namespace {

// The legacy report as a view, so that a run with options but no sweep writes it as runs without
// options always have: the file name line, the legacy sweep's warnings, then writeReport.
class LegacyReport : public View {
 public:
  explicit LegacyReport(const ViewSetup& setup) : setup_(setup) {}
  void result(const Analysis& analysis) override {
    OutputStream& out = setup_.out;
    out.writeText(setup_.shownName(analysis.name), true);
    writeWarnings(analysis.warnings, out);
    MaskPrinter masks(out);
    writeReport(analysis.run, rankOpcodes(analysis.run.opcodeCount), out, masks);
  }

 private:
  ViewSetup setup_;
};

}  // namespace

std::unique_ptr<View> makeLegacyReport(const ViewSetup& setup) {
  return std::make_unique<LegacyReport>(setup);
}

}  // namespace opfreq
