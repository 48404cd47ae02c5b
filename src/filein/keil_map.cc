#include "filein/keil_map.h"

#include <optional>

#include "filein/hex_number.h"

namespace opfreq {
namespace {

constexpr uint64_t kCodeSpacePrefix = 0x01;

// "0800H", "C:0800H", "010000D6H": the code address, or a value above FFFFh when it is none.
uint64_t codeValueOf(std::string_view text, bool spacePrefixed) {
  if (text.starts_with("C:")) text.remove_prefix(2);
  std::optional<uint64_t> value = parseHexNumber(text);
  if (!value || !text.ends_with('H')) return ~uint64_t{0};
  if (spacePrefixed && *value > 0xFFFFFF) {
    if (*value >> 24 != kCodeSpacePrefix) return ~uint64_t{0};
    *value &= 0xFFFFFF;
  }
  return *value;
}

}  // namespace

KeilMap::Linker KeilMap::headerOf(std::string_view line) {
  if (line.starts_with("BL51 ")) return Linker::Bl51;
  if (line.starts_with("LX51 ")) return Linker::Lx51;
  return Linker::None;
}

void KeilMap::segment(std::string_view base, std::string_view name, SymbolSink& sink) const {
  const uint64_t value = codeValueOf(base, linker_ == Linker::Lx51);
  if (name.starts_with("?PR?")) {
    name.remove_prefix(4);
    sink.add(value, name.substr(0, name.find('?')), SymbolKind::Code, true);
  } else if (name.starts_with("?C_C51STARTUP")) {
    sink.add(value, name, SymbolKind::Code, true);
  }
}

void KeilMap::symbol(std::string_view value, std::string_view name, SymbolSink& sink) const {
  if (value.starts_with("*DEL*")) return;
  sink.add(codeValueOf(value, linker_ == Linker::Lx51), name, SymbolKind::Name);
}

void KeilMap::line(std::string_view text, const LineWords& words, SymbolSink& sink) {
  if (text.starts_with("LINK MAP OF MODULE") || text.starts_with("MEMORY MAP OF MODULE")) {
    section_ = Section::Segments;
    return;
  }
  if (text.starts_with("PUBLIC SYMBOLS OF MODULE")) {
    section_ = Section::Publics;
    return;
  }
  if (text.starts_with("SYMBOL TABLE OF MODULE")) {
    section_ = Section::Symbols;
    return;
  }
  if (text.find(" OF MODULE") != std::string_view::npos && !text.starts_with(' ')) {
    section_ = Section::Other;
    return;
  }
  switch (section_) {
    case Section::Other:
      break;
    case Section::Segments:
      if (linker_ == Linker::Bl51 && words.count >= 5 && words.first[0] == "CODE") {
        segment(words.first[1], words.last, sink);
      } else if (linker_ == Linker::Lx51 && words.count >= 5 && words.beforeLast == "CODE") {
        segment(words.first[0], words.last, sink);
      }
      break;
    case Section::Publics:
      if (words.count >= 3 && words.first[1] == "CODE") symbol(words.first[0], words.last, sink);
      break;
    case Section::Symbols:
      if (linker_ == Linker::Lx51) {
        if (words.count >= 4 && words.first[2] == "CODE") symbol(words.first[0], words.last, sink);
        break;
      }
      if (words.count == 3 && words.first[1] == "PROC") {
        procedure_ = words.first[2];
      } else if (words.count >= 2 && words.first[1] == "ENDPROC") {
        procedure_.clear();
      } else if (words.count >= 2 && words.first[0].starts_with("C:")) {
        if (!procedure_.empty()) symbol(words.first[0], procedure_, sink);
        procedure_.clear();
        if (words.count == 3 && words.first[1] == "PUBLIC")
          symbol(words.first[0], words.first[2], sink);
      }
      break;
  }
}

}  // namespace opfreq
