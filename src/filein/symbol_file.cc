#include "filein/symbol_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "filein/binary_file.h"
#include "filein/hex_number.h"

namespace opfreq {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isAreaSymbol(std::string_view name) {
  return name.starts_with("l_") || name.starts_with("s_");
}

constexpr int kAddressShift = 48;
constexpr int kFallbackShift = 47;
constexpr int kNameShift = 2;
constexpr uint64_t kKindMask = 3;

uint16_t addressIn(uint64_t symbol) { return static_cast<uint16_t>(symbol >> kAddressShift); }
SymbolKind kindOf(uint64_t symbol) { return static_cast<SymbolKind>(symbol & kKindMask); }
bool isName(uint64_t symbol) {
  return kindOf(symbol) == SymbolKind::Name || kindOf(symbol) == SymbolKind::Code;
}
bool isCode(uint64_t symbol) { return kindOf(symbol) == SymbolKind::Code; }

// The fields of an SDCC debug symbol, "G$main$0$0" or "Fmodule$name$0$0": its first and second,
// when it has at least four.
std::optional<std::pair<std::string_view, std::string_view>> debugFields(std::string_view name) {
  const size_t first = name.find('$');
  const size_t second = name.find('$', first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos ||
      name.find('$', second + 1) == std::string_view::npos) {
    return std::nullopt;
  }
  return std::pair(name.substr(0, first), name.substr(first + 1, second - first - 1));
}

// A map's area line, "CSEG  0000006D  000000A6 =  166. bytes (REL,CON,CODE)": whether its names
// are code. Empty for any other line.
std::optional<bool> codeAreaOf(const LineWords& words) {
  if (words.count < 3 || words.beforeLast != "bytes") return std::nullopt;
  const std::string_view attributes = words.last;
  if (!attributes.starts_with('(') || !attributes.ends_with(')')) return std::nullopt;
  const std::string_view area = words.first[0];
  const bool code = (attributes.find("(CODE") != std::string_view::npos ||
                     attributes.find(",CODE") != std::string_view::npos) &&
                    area != "CONST" && area != "XINIT" && area != "CABS";
  return code;
}

}  // namespace

std::span<const uint64_t> SymbolTable::at(uint16_t address) const {
  const auto key = uint64_t{address} << kAddressShift;
  const auto first = std::lower_bound(symbols_.begin(), symbols_.end(), key);
  const auto last = std::lower_bound(first, symbols_.end(), key + (uint64_t{1} << kAddressShift));
  return {first, last};
}

std::string_view SymbolTable::nameAt(uint64_t symbol) const {
  const auto start =
      static_cast<size_t>((symbol & ((uint64_t{1} << kFallbackShift) - 1)) >> kNameShift);
  return std::string_view(names_).substr(start, names_.find('\n', start) - start);
}

std::string_view SymbolTable::firstName(std::span<const uint64_t> here, bool areas) const {
  const auto named = std::find_if(here.begin(), here.end(), [&](uint64_t s) {
    return isName(s) && (areas || !isAreaSymbol(nameAt(s)));
  });
  return named != here.end() ? nameAt(*named) : "";
}

std::string_view SymbolTable::nameOf(uint16_t address) const {
  if (symbols_.empty()) return "";  // as for every call target of a run without names
  const std::span<const uint64_t> here = at(address);
  const std::string_view name = firstName(here, false);
  return name.empty() ? firstName(here, true) : name;
}

std::string_view SymbolTable::codeNameOf(uint16_t address) const {
  const std::span<const uint64_t> here = at(address);
  const std::string_view name = firstName(here, false);
  if (!name.empty() || std::none_of(here.begin(), here.end(), isCode)) return name;
  return firstName(here, true);
}

std::optional<uint16_t> SymbolTable::addressOf(std::string_view name) const {
  const auto found = std::find_if(symbols_.begin(), symbols_.end(),
                                  [&](uint64_t s) { return isName(s) && nameAt(s) == name; });
  return found != symbols_.end() ? std::optional(addressIn(*found)) : std::nullopt;
}

std::vector<uint16_t> SymbolTable::codeAddresses() const {
  std::vector<uint16_t> addresses;
  for (const uint64_t s : symbols_) {
    if (isCode(s) && (addresses.empty() || addresses.back() != addressIn(s))) {
      addresses.push_back(addressIn(s));
    }
  }
  return addresses;
}

// The reader as a sink for the Keil map's lines.
class SymbolReader::Sink : public SymbolSink {
 public:
  explicit Sink(SymbolReader& reader) : reader_(reader) {}
  void add(uint64_t value, std::string_view name, SymbolKind kind, bool fallback) override {
    reader_.add(value, name, kind, fallback);
  }

 private:
  SymbolReader& reader_;
};

void SymbolReader::feed(std::span<const uint8_t> text) {
  while (!text.empty()) {
    if (afterReturn_ && text[0] == '\n') text = text.subspan(1);  // the second half of CR LF
    afterReturn_ = false;
    const auto end =
        std::find_if(text.begin(), text.end(), [](uint8_t c) { return c == '\n' || c == '\r'; });
    line_.append(text.begin(), end);
    if (end == text.end()) return;
    afterReturn_ = *end == '\r';
    endLine();
    text = text.subspan(static_cast<size_t>(end - text.begin()) + 1);
  }
}

void SymbolReader::endLine() {
  std::string_view line = line_;
  if (!started_ && line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
  started_ = true;
  if (line.find("Value  Global") != std::string_view::npos) inMap_ = true;
  if (const KeilMap::Linker linker = KeilMap::headerOf(line);
      !inMap_ && !keil_ && linker != KeilMap::Linker::None) {
    keil_.emplace(linker);
  }
  const LineWords words = wordsOf(line);
  if (keil_) {
    Sink sink(*this);
    keil_->line(line, words, sink);
  } else if (inMap_) {
    if (const std::optional<bool> area = codeAreaOf(words)) codeArea_ = *area;
    if (words.count >= 3 && words.first[0] == "C:") {
      sdccSymbol(parseHexNumber(words.first[1]).value_or(~uint64_t{0}), words.first[2]);
    }
  } else if (words.count == 2) {
    add(parseHexNumber(words.first[0]).value_or(~uint64_t{0}), words.first[1], SymbolKind::Code,
        false);
  }
  line_.clear();
}

void SymbolReader::sdccSymbol(uint64_t value, std::string_view name) {
  const SymbolKind code = codeArea_ ? SymbolKind::Code : SymbolKind::Name;
  if (name.starts_with("A$") || name.starts_with("C$")) return;  // a line of assembler or C
  const auto fields = debugFields(name);
  if (!fields) return add(value, name, code, false);
  const auto [first, second] = *fields;
  if (first == "G") {
    if (codeArea_) add(value, name, SymbolKind::Start, false);
  } else if (first.starts_with("XG") || first.starts_with("XF")) {
    if (codeArea_) add(value, name.substr(1), SymbolKind::End, false);
  } else if (first.starts_with('F') && first.size() > 1) {
    add(value, std::string(first.substr(1)) + ":" + std::string(second), code, false);
    if (codeArea_) add(value, name, SymbolKind::Start, false);
  } else {
    add(value, name, code, false);
  }
}

void SymbolReader::add(uint64_t value, std::string_view name, SymbolKind kind, bool fallback) {
  if (value > 0xFFFF || name.empty()) return;
  table_.symbols_.push_back(value << kAddressShift | uint64_t{fallback} << kFallbackShift |
                            uint64_t{table_.names_.size()} << kNameShift |
                            static_cast<uint64_t>(kind));
  table_.names_.append(name);
  table_.names_ += '\n';
}

// Each function's start with its end, the marks paired by their text.
void SymbolReader::pairRanges() {
  std::vector<uint32_t> marks;
  for (size_t i = 0; i < table_.symbols_.size(); ++i) {
    const SymbolKind kind = kindOf(table_.symbols_[i]);
    if (kind == SymbolKind::Start || kind == SymbolKind::End)
      marks.push_back(static_cast<uint32_t>(i));
  }
  const auto key = [&](uint32_t i) {
    return std::pair(table_.nameAt(table_.symbols_[i]), kindOf(table_.symbols_[i]));
  };
  std::sort(marks.begin(), marks.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  for (size_t i = 0; i + 1 < marks.size(); ++i) {
    const uint64_t start = table_.symbols_[marks[i]];
    const uint64_t end = table_.symbols_[marks[i + 1]];
    if (kindOf(start) == SymbolKind::Start && kindOf(end) == SymbolKind::End &&
        table_.nameAt(start) == table_.nameAt(end) && addressIn(start) <= addressIn(end)) {
      table_.ranges_.push_back({addressIn(start), addressIn(end)});
    }
  }
  std::sort(table_.ranges_.begin(), table_.ranges_.end(),
            [](const FunctionRange& a, const FunctionRange& b) { return a.start < b.start; });
}

SymbolTable SymbolReader::finish() {
  if (!line_.empty()) endLine();  // a last line without a line end
  std::sort(table_.symbols_.begin(), table_.symbols_.end());
  pairRanges();
  return std::move(table_);
}

SymbolFile readSymbolFile(std::string_view name, bool regularOnly) {
  constexpr int32_t kNumber = 1;
  SymbolFile result;
  BinaryFile files;
  const FileStatus opened =
      regularOnly ? files.openRegular(name, kNumber) : files.openBinary(name, kNumber);
  if (opened != FileStatus::Ok) {
    result.error = files.openError();
    result.problem = result.error != 0
                         ? std::strerror(result.error)
                         : "is " + std::string(files.openRefusal()) + ", not a regular file";
    return result;
  }
  SymbolReader reader;
  std::array<uint8_t, 8192> piece;
  int64_t length = 0;
  for (size_t got = piece.size(); got == piece.size();) {
    got = files.readAvailable(kNumber, piece);
    length += static_cast<int64_t>(got);
    if (length > kSymbolTextLimit) {
      result.problem =
          "the symbols file is larger than " + std::to_string(kSymbolTextLimit >> 20) + " MiB";
      return result;
    }
    reader.feed(std::span(piece).first(got));
  }
  if (const int error = files.readError(kNumber); error != 0) {
    result.error = error;
    result.problem = std::strerror(error);
    return result;
  }
  result.symbols = reader.finish();
  return result;
}

}  // namespace opfreq
