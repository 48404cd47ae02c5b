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

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// What the reader needs of a line's words, split at blanks, however many it has: the first
// three, the last two and their count. A line of millions of words costs nothing more.
struct LineWords {
  std::array<std::string_view, 3> first;
  std::string_view beforeLast, last;
  size_t count = 0;
};

LineWords wordsOf(std::string_view line) {
  LineWords words;
  for (size_t at = 0; at < line.size();) {
    while (at < line.size() && isBlank(line[at])) ++at;
    size_t end = at;
    while (end < line.size() && !isBlank(line[end])) ++end;
    if (end > at) {
      const std::string_view word = line.substr(at, end - at);
      if (words.count < words.first.size()) words.first[words.count] = word;
      words.beforeLast = words.last;
      words.last = word;
      ++words.count;
    }
    at = end;
  }
  return words;
}

bool isAreaSymbol(std::string_view name) {
  return name.starts_with("l_") || name.starts_with("s_");
}

constexpr int kAddressShift = 48;

uint16_t addressIn(uint64_t symbol) { return static_cast<uint16_t>(symbol >> kAddressShift); }
bool isCode(uint64_t symbol) { return (symbol & 1) != 0; }

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
  const auto start = static_cast<size_t>((symbol & ((uint64_t{1} << kAddressShift) - 1)) >> 1);
  return std::string_view(names_).substr(start, names_.find('\n', start) - start);
}

std::string_view SymbolTable::nameOf(uint16_t address) const {
  const std::span<const uint64_t> here = at(address);
  if (here.empty()) return "";
  const auto named =
      std::find_if(here.begin(), here.end(), [&](uint64_t s) { return !isAreaSymbol(nameAt(s)); });
  return nameAt(named != here.end() ? *named : here.front());
}

std::string_view SymbolTable::codeNameOf(uint16_t address) const {
  const std::span<const uint64_t> here = at(address);
  const auto code = std::find_if(here.begin(), here.end(), isCode);
  return code != here.end() ? nameAt(*code) : "";
}

std::optional<uint16_t> SymbolTable::addressOf(std::string_view name) const {
  const auto found =
      std::find_if(symbols_.begin(), symbols_.end(), [&](uint64_t s) { return nameAt(s) == name; });
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
  const LineWords words = wordsOf(line);
  if (inMap_) {
    if (const std::optional<bool> area = codeAreaOf(words)) codeArea_ = *area;
    if (words.count >= 3 && words.first[0] == "C:") {
      add(parseHexNumber(words.first[1]).value_or(~uint64_t{0}), words.first[2], codeArea_);
    }
  } else if (words.count == 2) {
    add(parseHexNumber(words.first[0]).value_or(~uint64_t{0}), words.first[1], true);
  }
  line_.clear();
}

void SymbolReader::add(uint64_t value, std::string_view name, bool code) {
  if (value > 0xFFFF) return;
  table_.symbols_.push_back(value << kAddressShift | uint64_t{table_.names_.size()} << 1 |
                            uint64_t{code});
  table_.names_.append(name);
  table_.names_ += '\n';
}

SymbolTable SymbolReader::finish() {
  if (!line_.empty()) endLine();  // a last line without a line end
  std::sort(table_.symbols_.begin(), table_.symbols_.end());
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
