#include "analyzer/json_view.h"

#include <array>
#include <charconv>

#include "analyzer/opcode_table.h"
#include "textout/text_escape.h"

namespace opfreq {
namespace {

void appendNumber(std::string& out, int64_t value) {
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  out.append(digits.data(), end);
}

const char* formatName(HexFormat format) {
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

const char* modeName(SweepMode mode) {
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

// Appends `"key": value`, after a comma unless it opens an object.
class Fields {
 public:
  explicit Fields(std::string& out) : out_(out) { out_ += '{'; }
  ~Fields() { out_ += '}'; }
  Fields(const Fields&) = delete;
  Fields& operator=(const Fields&) = delete;

  // `name` is one of the keys here, which need no escaping.
  std::string& key(std::string_view name) {
    if (!first_) out_ += ", ";
    first_ = false;
    out_ += '"';
    out_ += name;
    out_ += "\": ";
    return out_;
  }
  void number(std::string_view name, int64_t value) { appendNumber(key(name), value); }
  void text(std::string_view name, std::string_view value) { appendJsonString(key(name), value); }

 private:
  std::string& out_;
  bool first_ = true;
};

void appendSweep(std::string& out, const SweepInfo& sweep) {
  Fields f(out);
  f.text("mode", modeName(sweep.mode));
  f.number("from", sweep.from);
  f.number("to", sweep.to);
  f.number("at", sweep.at);
  f.number("bytes", sweep.bytes);
  f.number("instructions", sweep.instructions);
  if (sweep.mode == SweepMode::Follow) {
    std::string& list = f.key("entries");
    list += '[';
    for (size_t i = 0; i < sweep.entries.size(); ++i) {
      if (i > 0) list += ", ";
      appendNumber(list, sweep.entries[i]);
    }
    list += ']';
  }
}

}  // namespace

std::string jsonLine(const Analysis& analysis) {
  std::string out;
  out.reserve(24576);
  {
    Fields f(out);
    f.text("file", analysis.name);
    f.text("format", formatName(analysis.format));
    f.number("image_size", analysis.imageSize);
    appendSweep(f.key("sweep"), analysis.sweep);
    std::string& opcodes = f.key("opcodes");
    opcodes += '[';
    for (size_t op = 0; op < 256; ++op) {
      if (op > 0) opcodes += ", ";
      Fields row(opcodes);
      const int32_t count = analysis.run.opcodeCount[op];
      row.number("opcode", static_cast<int64_t>(op));
      row.text("mnemonic", OpcodeTable[op].mnemonic);
      row.number("length", OpcodeTable[op].cmdlen);
      row.number("count", count);
      row.number("bytes", int64_t{count} * OpcodeTable[op].cmdlen);
    }
    opcodes += ']';
    std::string& calls = f.key("calls");
    calls += '[';
    bool firstCall = true;
    for (const CallTarget& target : analysis.run.calls.byCount()) {
      if (!firstCall) calls += ", ";
      firstCall = false;
      Fields row(calls);
      row.number("address", target.address);
      row.number("lcall", target.lcall);
      row.number("acall", target.acall);
      row.number("count", target.count());
      const std::string_view name = analysis.symbols.nameOf(target.address);
      if (!name.empty()) row.text("name", name);
    }
    calls += ']';
    f.number("acall_count", analysis.run.acallCount);
    f.number("subroutines", countSubroutines(analysis.run.calls));
  }
  return out += '\n';
}

std::string jsonErrorLine(std::string_view name, std::string_view problem) {
  std::string out;
  {
    Fields f(out);
    f.text("file", name);
    f.text("error", problem);
  }
  return out += '\n';
}

}  // namespace opfreq
