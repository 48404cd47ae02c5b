#include "analyzer/sweep_report.h"

#include "analyzer/opcode_ranking.h"
#include "analyzer/report.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

constexpr size_t kCallLines = 8;

std::string sweptLine(const SweepInfo& sweep) {
  std::string line = "Swept: ";
  if (sweep.mode == SweepMode::Follow) {
    line += "the code reached from ";
    if (sweep.entries.empty()) line += "no entry point";
    for (size_t i = 0; i < sweep.entries.size(); ++i) {
      if (i > 0) line += ' ';
      line += hexDigits(sweep.entries[i], 4);
      line += 'h';
    }
    line += ", ";
  }
  if (sweep.written) line += "the bytes written in ";
  line += "offsets " + hexDigits(static_cast<uint64_t>(sweep.from), 5) + "h to " +
          hexDigits(static_cast<uint64_t>(sweep.to), 5) + "h at address " + hexDigits(sweep.at, 4) +
          "h";
  return line;
}

}  // namespace

void writeSweepReport(const Analysis& analysis, OutputStream& out) {
  RunState& run = analysis.run;
  const std::vector<CallTarget> calls = run.calls.byCount(kCallLines);
  rankOpcodes(run);
  MaskPrinter masks(out);
  // Names from files and maps are shown, never obeyed: a control byte is a '?'.
  out.writeText(printable(analysis.name), true);
  out.writeText(sweptLine(analysis.sweep), true);
  out.writeText("Total size of code:");
  const auto bytes = static_cast<int32_t>(analysis.sweep.bytes);
  out.writeInteger(bytes, true);
  writeOpcodeLines(run, bytes, out, masks);
  for (const CallTarget& call : calls) {
    writeCallLine(static_cast<uint16_t>(call.count()), call.address,
                  printable(analysis.symbols.nameOf(call.address)), out, masks);
  }
}

}  // namespace opfreq
