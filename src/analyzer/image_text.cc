#include "analyzer/image_text.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

namespace opfreq {
namespace {

int hexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes that `digits` spells as hex pairs; nothing if it is anything else.
std::optional<std::vector<uint8_t>> hexBytes(std::span<const uint8_t> digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = hexValue(digits[i]);
    const int low = hexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}

uint8_t sum(const std::vector<uint8_t>& bytes) {
  return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

}  // namespace

std::string_view recogniseImageText(std::span<const uint8_t> head) {
  // The longest record of either format, with its line end: ':' and 260 bytes in hex, CR LF.
  // Looking no further keeps a large image without a line feed from costing a full scan.
  constexpr size_t kLongestLine = 1 + 2 * 260 + 2;
  head = head.first(std::min(head.size(), kLongestLine + 1));
  std::span<const uint8_t> line(head.begin(), std::find(head.begin(), head.end(), '\n'));
  if (!line.empty() && line.back() == '\r') line = line.first(line.size() - 1);
  if (line.size() < 2) return {};
  // ":" count, address (2), type (00 to 05), data, checksum: all bytes add up to 0.
  if (line[0] == ':') {
    const auto record = hexBytes(line.subspan(1));
    if (record && record->size() >= 5 && record->size() == 5u + (*record)[0] && (*record)[3] <= 5 &&
        sum(*record) == 0) {
      return "Intel HEX";
    }
  }
  // "S", type digit, count of the bytes that follow (address, data, checksum): all bytes but
  // the checksum add up to its complement.
  if (line[0] == 'S' && line[1] >= '0' && line[1] <= '9') {
    const auto record = hexBytes(line.subspan(2));
    if (record && record->size() >= 4 && record->size() == 1u + (*record)[0] &&
        sum(*record) == 0xFF) {
      return "Motorola S-record";
    }
  }
  return {};
}

}  // namespace opfreq
