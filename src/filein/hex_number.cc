#include "filein/hex_number.h"

#include <charconv>

namespace opfreq {

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

}  // namespace opfreq
