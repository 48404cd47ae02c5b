#include "filein/symbol_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "filein/binary_file.h"

namespace opfreq {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

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

// Where `address` is in the sorted list of names, or would go.
template <typename Names>
auto placeOf(Names& names, uint16_t address) {
  return std::lower_bound(names.begin(), names.end(), address,
                          [](const auto& entry, uint16_t a) { return entry.first < a; });
}

bool isAreaSymbol(std::string_view name) {
  return name.starts_with("l_") || name.starts_with("s_");
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

void SymbolTable::addLine(std::string_view line) {
  if (line.find("Value  Global") != std::string_view::npos) inMap_ = true;
  const std::vector<std::string_view> words = wordsOf(line);
  if (inMap_) {
    if (words.size() >= 3 && words[0] == "C:") {
      if (const auto value = parseHexNumber(words[1])) add(*value, words[2]);
    }
  } else if (words.size() == 2) {
    if (const auto value = parseHexNumber(words[0])) add(*value, words[1]);
  }
}

void SymbolTable::add(uint64_t value, std::string_view name) {
  if (value > 0xFFFF) return;
  const auto address = static_cast<uint16_t>(value);
  const auto at = placeOf(names_, address);
  if (at == names_.end() || at->first != address) {
    names_.insert(at, {address, std::string(name)});
  } else if (isAreaSymbol(at->second) && !isAreaSymbol(name)) {
    at->second = name;
  }
}

std::string_view SymbolTable::nameOf(uint16_t address) const {
  const auto at = placeOf(names_, address);
  return at != names_.end() && at->first == address ? std::string_view(at->second) : "";
}

SymbolFile readSymbolFile(std::string_view name) {
  constexpr int32_t kNumber = 1;
  SymbolFile result;
  BinaryFile files;
  if (files.openBinary(name, kNumber) != FileStatus::Ok) {
    result.problem = std::strerror(files.openError());
    return result;
  }
  std::array<uint8_t, 8192> piece;
  std::string line;
  for (size_t got = piece.size(); got == piece.size();) {
    got = files.readAvailable(kNumber, piece);
    for (size_t i = 0; i < got; ++i) {
      if (piece[i] == '\n') {
        result.symbols.addLine(line);
        line.clear();
      } else {
        line += static_cast<char>(piece[i]);
      }
    }
  }
  result.symbols.addLine(line);
  if (const int error = files.readError(kNumber); error != 0) result.problem = std::strerror(error);
  return result;
}

}  // namespace opfreq
