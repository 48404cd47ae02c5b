#include "analyzer/json_view.h"

#include "analyzer/opcode_table.h"
#include "analyzer/view_text.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

std::string_view formatName(HexFormat format) {
  switch (format) {
    case HexFormat::IntelHex:
      return "intel-hex";
    case HexFormat::SRecord:
      return "s-record";
    case HexFormat::None:
      break;
  }
  return "binary";
}

std::string_view modeName(SweepMode mode) {
  switch (mode) {
    case SweepMode::Follow:
      return "follow";
    case SweepMode::Written:
      return "written";
    case SweepMode::Range:
      return "range";
    case SweepMode::Linear:
      break;
  }
  return "linear";
}

void writeSweep(ViewText& text, const SweepInfo& sweep) {
  text.put("{\"mode\": \"").raw(modeName(sweep.mode)).put("\", \"from\": ").number(sweep.from);
  text.put(", \"to\": ").number(sweep.to).put(", \"at\": ").number(sweep.at);
  text.put(", \"bytes\": ").number(sweep.bytes);
  text.put(", \"instructions\": ").number(sweep.instructions);
  if (sweep.mode == SweepMode::Follow) {
    text.put(", \"entries\": [");
    for (size_t i = 0; i < sweep.entries.size(); ++i) {
      if (i > 0) text.put(", ");
      text.number(sweep.entries[i]);
    }
    text.put("]");
  }
  text.put("}");
}

}  // namespace

void writeJsonLine(const Analysis& analysis, OutputStream& out) {
  ViewText text(out);
  text.put("{\"file\": ").escaped(analysis.name, appendJsonString);
  text.put(", \"format\": \"").raw(formatName(analysis.format)).put("\"");
  text.put(", \"image_size\": ").number(analysis.imageSize);
  text.put(", \"sweep\": ");
  writeSweep(text, analysis.sweep);
  text.put(", \"opcodes\": [");
  for (size_t op = 0; op < 256; ++op) {
    const int32_t count = analysis.run.opcodeCount[op];
    const int32_t length = OpcodeTable[op].cmdlen;
    if (op > 0) text.put(", ");
    text.put("{\"opcode\": ").number(static_cast<int64_t>(op));
    text.put(", \"mnemonic\": ").escaped(OpcodeTable[op].mnemonic, appendJsonString);
    text.put(", \"length\": ").number(length).put(", \"count\": ").number(count);
    text.put(", \"bytes\": ").number(int64_t{count} * length).put("}");
  }
  text.put("], \"calls\": [");
  bool firstCall = true;
  for (const CallTarget& target : analysis.run.calls.byCount()) {
    if (!firstCall) text.put(", ");
    firstCall = false;
    text.put("{\"address\": ").number(target.address).put(", \"lcall\": ").number(target.lcall);
    text.put(", \"acall\": ").number(target.acall).put(", \"count\": ").number(target.count());
    if (const std::string_view name = analysis.symbols.nameOf(target.address); !name.empty())
      text.put(", \"name\": ").escaped(name, appendJsonString);
    text.put("}");
  }
  text.put("], \"acall_count\": ").number(analysis.run.acallCount);
  text.put(", \"subroutines\": ").number(countSubroutines(analysis.run.calls)).put("}\n");
}

void writeJsonError(std::string_view name, std::string_view problem, OutputStream& out) {
  ViewText text(out);
  text.put("{\"file\": ").escaped(name, appendJsonString);
  text.put(", \"error\": ").escaped(problem, appendJsonString).put("}\n");
}

}  // namespace opfreq
