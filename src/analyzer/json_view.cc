// The JSON view: one object a file on one line (JSON Lines), UTF-8 with an LF line end, with
// every opcode and every called address and exact integer counts, for scripts and CI. An input
// that could not be analysed has an object with its error in its place.
#include "analyzer/opcode_table.h"
#include "analyzer/view_makers.h"
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
    case SweepMode::Legacy:
      break;
  }
  return "linear";  // as scripts have read it since before the other sweeps
}

void writeNumbers(ViewText& text, const std::vector<uint16_t>& numbers) {
  text.put("[");
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text.put(", ");
    text.number(numbers[i]);
  }
  text.put("]");
}

void writeSweep(ViewText& text, const SweepInfo& sweep) {
  const Region& region = sweep.region;
  text.put("{\"mode\": \"").raw(modeName(sweep.mode)).put("\", \"from\": ").number(region.from);
  text.put(", \"to\": ").number(region.to).put(", \"at\": ").number(region.at);
  text.put(", \"bytes\": ").number(sweep.bytes);
  text.put(", \"instructions\": ").number(sweep.instructions);
  if (sweep.mode == SweepMode::Follow) {
    text.put(", \"overlap\": ").number(sweep.overlap);
    text.put(", \"entries\": ");
    writeNumbers(text, sweep.entries);
    text.put(", \"tables\": ");
    writeNumbers(text, sweep.tables);
    text.put(", \"inline\": [");
    for (size_t i = 0; i < sweep.inlineData.size(); ++i) {
      const InlineTable& data = sweep.inlineData[i];
      if (i > 0) text.put(", ");
      text.put("{\"address\": ").number(data.address);
      text.put(", \"length\": ").number(data.length);
      text.put(", \"helper\": \"").raw(data.helper).put("\"}");
    }
    text.put("], \"unresolved\": [");
    for (size_t i = 0; i < sweep.unresolved.size(); ++i) {
      const UnresolvedAt& at = sweep.unresolved[i];
      if (i > 0) text.put(", ");
      text.put("{\"address\": ").number(at.address);
      text.put(", \"kind\": \"").raw(unresolvedName(at.kind)).put("\"}");
    }
    text.put("]");
  }
  text.put("}");
}

// [[address, count], ...]
void writeEdges(ViewText& text, std::span<const Edge> edges) {
  text.put("[");
  for (size_t i = 0; i < edges.size(); ++i) {
    if (i > 0) text.put(", ");
    text.put("[").number(edges[i].address).put(", ").number(edges[i].count).put("]");
  }
  text.put("]");
}

void writeFunctions(ViewText& text, const FunctionProfiles& profiles) {
  const std::vector<FunctionProfile>& functions = profiles.functions;
  text.put(", \"functions\": [");
  for (size_t i = 0; i < functions.size(); ++i) {
    const FunctionProfile& f = functions[i];
    if (i > 0) text.put(", ");
    text.put("{\"address\": ").number(f.address);
    if (!f.name.empty()) text.put(", \"name\": ").escaped(f.name, appendJsonString);
    text.put(", \"kind\": \"").raw(kindName(f.kind)).put("\", \"bytes\": ").number(f.bytes);
    text.put(", \"instructions\": ").number(f.instructions).put(", \"calls\": ").number(f.calls);
    text.put(", \"callees\": ").number(f.callees).put(", \"callers\": ").number(f.callers);
    text.put(", \"unresolved\": ").number(f.unresolved);
    text.put(", \"opcodes\": [");
    const std::span<const OpcodeCount> opcodes = profiles.opcodesOf(f);
    for (size_t k = 0; k < opcodes.size(); ++k) {
      if (k > 0) text.put(", ");
      text.put("[").number(opcodes[k].first).put(", ").number(opcodes[k].second).put("]");
    }
    text.put("], \"calls_to\": ");
    writeEdges(text, profiles.edgesOf(f.callsTo));
    text.put(", \"jumps_to\": ");
    writeEdges(text, profiles.edgesOf(f.jumpsTo));
    text.put(", \"called_from\": ");
    writeEdges(text, profiles.edgesOf(f.calledFrom));
    text.put(", \"jumped_from\": ");
    writeEdges(text, profiles.edgesOf(f.jumpedFrom));
    text.put("}");
  }
  text.put("]");
}

class JsonView : public View {
 public:
  explicit JsonView(const ViewSetup& setup) : out_(setup.out) {}

  void result(const Analysis& analysis) override {
    ViewText text(out_);
    text.put("{\"file\": ").escaped(analysis.name, appendJsonString);
    text.put(", \"format\": \"").raw(formatName(analysis.format)).put("\"");
    text.put(", \"image_size\": ").number(analysis.imageSize);
    text.put(", \"sweep\": ");
    writeSweep(text, analysis.sweep);
    text.put(", \"opcodes\": [");
    const RunState& run = analysis.run;
    for (size_t op = 0; op < 256; ++op) {
      const int32_t count = run.opcodeCount[op];
      const int32_t length = OpcodeTable[op].cmdlen;
      if (op > 0) text.put(", ");
      text.put("{\"opcode\": ").number(static_cast<int64_t>(op));
      text.put(", \"mnemonic\": ").escaped(OpcodeTable[op].mnemonic, appendJsonString);
      text.put(", \"length\": ").number(length).put(", \"count\": ").number(count);
      text.put(", \"bytes\": ").number(int64_t{count} * length).put("}");
    }
    text.put("], \"calls\": [");
    bool firstCall = true;
    for (const CallTarget& target : run.calls.byCount()) {
      if (!firstCall) text.put(", ");
      firstCall = false;
      text.put("{\"address\": ").number(target.address).put(", \"lcall\": ").number(target.lcall);
      text.put(", \"acall\": ").number(target.acall).put(", \"count\": ").number(target.count());
      if (const std::string_view name = analysis.symbols->nameOf(target.address); !name.empty())
        text.put(", \"name\": ").escaped(name, appendJsonString);
      text.put("}");
    }
    text.put("], \"acall_count\": ").number(run.acallCount);
    text.put(", \"subroutines\": ").number(countSubroutines(run.calls));
    if (analysis.functions) writeFunctions(text, *analysis.functions);
    text.put("}\n");
  }

  void failed(std::string_view name, const Problem& problem) override {
    ViewText text(out_);
    text.put("{\"file\": ").escaped(name, appendJsonString);
    text.put(", \"error\": ").escaped(problem.reason(), appendJsonString).put("}\n");
  }

 private:
  OutputStream& out_;
};

}  // namespace

std::unique_ptr<View> makeJsonView(const ViewSetup& setup) {
  return std::make_unique<JsonView>(setup);
}

}  // namespace opfreq
