// The text view of a sweep other than the legacy one: the legacy report's layout, line for
// line with CR LF, except that line 2 says what was swept (in place of the warnings: the first
// eight entry points of a follow sweep, then how many more; a follow sweep's next line says how
// many jumps and calls it could not resolve), the size
// and every share are of the bytes swept, and the call lines are the eight most called
// addresses, most first, each with its name when there is one. With --functions, a blank line and
// the functions follow under a line that names their columns, most bytes first (then by address):
// bytes, instructions, calls and callers, then the address and the name.
#include <algorithm>

#include "analyzer/opcode_ranking.h"
#include "analyzer/report.h"
#include "analyzer/view_makers.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

constexpr size_t kCallLines = 8;
// Wide enough for "callers" and a blank; the address as wide as "address".
constexpr size_t kFunctionColumn = 8;
constexpr std::string_view kAddressGap = "    ";
constexpr size_t kEntriesShown = 8;

std::string sweptLine(const SweepInfo& sweep) {
  std::string line = "Swept: ";
  if (sweep.mode == SweepMode::Follow) {
    line += "the code reached from ";
    if (sweep.entries.empty()) line += "no entry point";
    // A map's symbols can be thousands of entry points; JSON lists them all.
    const size_t shown = std::min(sweep.entries.size(), kEntriesShown);
    for (size_t i = 0; i < shown; ++i) {
      if (i > 0) line += ' ';
      line += hexDigits(sweep.entries[i], 4);
      line += 'h';
    }
    if (shown < sweep.entries.size())
      line += " and " + std::to_string(sweep.entries.size() - shown) + " more";
    line += ", ";
  }
  if (sweep.written) line += "the bytes written in ";
  return line + describe(sweep.region);
}

// "unresolved: 3 (first at 0123h)", or "unresolved: 0".
std::string unresolvedLine(const SweepInfo& sweep) {
  std::string line = "unresolved: " + std::to_string(sweep.unresolved.size());
  if (!sweep.unresolved.empty())
    line += " (first at " + hexDigits(sweep.unresolved.front().address, 4) + "h)";
  return line;
}

class SweepReport : public View {
 public:
  // Most bytes first, then by address.
  void writeFunctions(const std::vector<FunctionProfile>& functions) {
    // Each function as one number whose order is the lines': fewer bytes above, then its place
    // in `functions`, which are by address. Thousands of them sort far faster so than as records.
    std::vector<uint64_t> bySize(functions.size());
    for (size_t i = 0; i < functions.size(); ++i) {
      bySize[i] = uint64_t{UINT32_MAX - static_cast<uint32_t>(functions[i].bytes)} << 32 | i;
    }
    std::sort(bySize.begin(), bySize.end());
    ViewText text(setup_.out);
    text.put("\r\nfunctions by size:\r\n");
    text.raw("   bytes  instrs   calls callers address name\r\n");
    for (const uint64_t key : bySize) {
      const FunctionProfile* f = &functions[static_cast<uint32_t>(key)];
      for (const int64_t number :
           {f->bytes, f->instructions, int64_t{f->calls}, int64_t{f->callers}})
        text.padded(number, kFunctionColumn);
      text.put(" ").hex(f->address, 4);
      if (!f->name.empty()) text.raw(kAddressGap).raw(printable(f->name));
      text.put("\r\n");
    }
  }

  explicit SweepReport(const ViewSetup& setup) : setup_(setup) {}

  void result(const Analysis& analysis) override {
    OutputStream& out = setup_.out;
    const RunState& run = analysis.run;
    MaskPrinter masks(out);
    // Names from files and maps are shown, never obeyed: a control byte is a '?'.
    out.writeText(printable(setup_.shownName(analysis.name)), true);
    out.writeText(sweptLine(analysis.sweep), true);
    if (analysis.sweep.mode == SweepMode::Follow)
      out.writeText(unresolvedLine(analysis.sweep), true);
    out.writeText("Total size of code:");
    const auto bytes = static_cast<int32_t>(analysis.sweep.bytes);
    out.writeInteger(bytes, true);
    writeOpcodeLines(run, rankOpcodes(run.opcodeCount), bytes, out, masks);
    for (const CallTarget& call : run.calls.byCount(kCallLines)) {
      writeCallLine(static_cast<uint16_t>(call.count()), call.address,
                    printable(analysis.symbols->nameOf(call.address)), out, masks);
    }
    if (analysis.functions) writeFunctions(analysis.functions->functions);
  }

 private:
  ViewSetup setup_;
};

}  // namespace

std::unique_ptr<View> makeSweepReport(const ViewSetup& setup) {
  return std::make_unique<SweepReport>(setup);
}

}  // namespace opfreq
