#include "filein/symbol_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "filein/binary_file.h"

namespace opfreq {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The line's words, split at blanks.
std::vector<std::string_view> wordsOf(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < line.size();) {
    while (at < line.size() && isBlank(line[at])) ++at;
    size_t end = at;
    while (end < line.size() && !isBlank(line[end])) ++end;
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

bool isAreaSymbol(std::string_view name) {
  return name.starts_with("l_") || name.starts_with("s_");
}

// The symbols at `address`: a range of the table's sorted list.
std::span<const Symbol> symbolsAt(const std::vector<Symbol>& symbols, uint16_t address) {
  const auto [first, last] =
      std::equal_range(symbols.begin(), symbols.end(), Symbol{address, {}, false},
                       [](const Symbol& a, const Symbol& b) { return a.address < b.address; });
  return {first, last};
}

// A map's area line, "CSEG  0000006D  000000A6 =  166. bytes (REL,CON,CODE)": whether its names
// are code. Empty for any other line.
std::optional<bool> codeAreaOf(const std::vector<std::string_view>& words) {
  if (words.size() < 3 || words[words.size() - 2] != "bytes") return std::nullopt;
  const std::string_view attributes = words.back();
  if (!attributes.starts_with('(') || !attributes.ends_with(')')) return std::nullopt;
  const std::string_view area = words[0];
  const bool code = (attributes.find("(CODE") != std::string_view::npos ||
                     attributes.find(",CODE") != std::string_view::npos) &&
                    area != "CONST" && area != "XINIT" && area != "CABS";
  return code;
}

}  // namespace

std::optional<uint64_t> parseHexNumber(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
  } else if (text.ends_with('h') || text.ends_with('H')) {
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 15) return std::nullopt;
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  if (std::from_chars(text.data(), end, value, 16).ptr != end) return std::nullopt;
  return value;
}

std::string_view SymbolTable::nameOf(uint16_t address) const {
  const std::span<const Symbol> here = symbolsAt(symbols_, address);
  if (here.empty()) return "";
  const auto named =
      std::find_if(here.begin(), here.end(), [](const Symbol& s) { return !isAreaSymbol(s.name); });
  return named != here.end() ? named->name : here.front().name;
}

std::string_view SymbolTable::codeNameOf(uint16_t address) const {
  const std::span<const Symbol> here = symbolsAt(symbols_, address);
  const auto code = std::find_if(here.begin(), here.end(), [](const Symbol& s) { return s.code; });
  return code != here.end() ? std::string_view(code->name) : "";
}

std::optional<uint16_t> SymbolTable::addressOf(std::string_view name) const {
  const auto found = std::find_if(symbols_.begin(), symbols_.end(),
                                  [&](const Symbol& s) { return s.name == name; });
  return found != symbols_.end() ? std::optional(found->address) : std::nullopt;
}

std::vector<uint16_t> SymbolTable::codeAddresses() const {
  std::vector<uint16_t> addresses;
  for (const Symbol& s : symbols_) {
    if (s.code && (addresses.empty() || addresses.back() != s.address)) {
      addresses.push_back(s.address);
    }
  }
  return addresses;
}

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
  const std::vector<std::string_view> words = wordsOf(line);
  std::optional<uint64_t> value;
  std::string_view name;
  bool code = true;
  if (inMap_) {
    if (const std::optional<bool> area = codeAreaOf(words)) codeArea_ = *area;
    if (words.size() >= 3 && words[0] == "C:") {
      value = parseHexNumber(words[1]);
      name = words[2];
      code = codeArea_;
    }
  } else if (words.size() == 2) {
    value = parseHexNumber(words[0]);
    name = words[1];
  }
  if (value && *value <= 0xFFFF) {
    table_.symbols_.push_back({static_cast<uint16_t>(*value), std::string(name), code});
  }
  line_.clear();
}

SymbolTable SymbolReader::finish() {
  if (!line_.empty()) endLine();  // a last line without a line end
  std::stable_sort(table_.symbols_.begin(), table_.symbols_.end(),
                   [](const Symbol& a, const Symbol& b) { return a.address < b.address; });
  return std::move(table_);
}

SymbolFile readSymbolFile(std::string_view name) {
  constexpr int32_t kNumber = 1;
  SymbolFile result;
  BinaryFile files;
  if (files.openBinary(name, kNumber) != FileStatus::Ok) {
    result.error = files.openError();
    result.problem = std::strerror(result.error);
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
