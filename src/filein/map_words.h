// The words of a line of a linker map, as the symbol reader needs them.
#ifndef OPFREQ_FILEIN_MAP_WORDS_H_
#define OPFREQ_FILEIN_MAP_WORDS_H_

#include <array>
#include <cstddef>
#include <string_view>

namespace opfreq {

// A line's words, split at blanks, however many it has: the first three, the last two and their
// count. A line of millions of words costs nothing more.
struct LineWords {
  std::array<std::string_view, 3> first;
  std::string_view beforeLast, last;
  size_t count = 0;
};

inline LineWords wordsOf(std::string_view line) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  LineWords words;
  for (size_t at = 0; at < line.size();) {
    while (at < line.size() && blank(line[at])) ++at;
    size_t end = at;
    while (end < line.size() && !blank(line[end])) ++end;
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

// What a line of a map gives the symbol table.
enum class SymbolKind : uint8_t {
  Name,   // a name for an address
  Code,   // a name, and code starts there: an entry point, a function's start
  Start,  // a debug map's mark of a function's start, paired with its End by their text
  End,    // a debug map's mark of a function's last instruction
};

class SymbolSink {
 public:
  virtual ~SymbolSink() = default;
  // `value` is an address when it is FFFFh or less; a `fallback` name is taken only where the
  // address has no other.
  virtual void add(uint64_t value, std::string_view name, SymbolKind kind,
                   bool fallback = false) = 0;
};

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_MAP_WORDS_H_
