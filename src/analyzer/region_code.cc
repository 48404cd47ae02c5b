#include "analyzer/region_code.h"

namespace opfreq {
namespace {

constexpr uint8_t kMovDptr = 0x90;
constexpr size_t kTableSearch = 16;  // bytes before JMP @A+DPTR that may hold MOV DPTR
constexpr size_t kTableReach = 256;  // A picks an entry at most 255 bytes past the base

// LJMP, AJMP and SJMP: what a jump table holds.
bool isTableEntry(uint8_t op) { return op == 0x02 || op == 0x80 || (op & 0x1F) == 0x01; }

}  // namespace

std::optional<JumpTable> RegionCode::tableAt(size_t jump) const {
  for (size_t distance = 3; distance <= kTableSearch && distance <= jump; ++distance) {
    const size_t start = jump - distance;
    if (bytes_[start] != kMovDptr || !readable(start, distance)) continue;
    size_t at = start;
    while (at < jump && kSteps[bytes_[at]].flow == Flow::Next) at += kSteps[bytes_[at]].length;
    if (at != jump) continue;
    JumpTable table{longTarget(bytes_ + start), {}};
    for (size_t offset = 0; offset < kTableReach;) {
      const auto address = static_cast<uint16_t>(table.base + offset);
      const size_t index = indexOf(address);
      if (!readable(index, 1) || !isTableEntry(bytes_[index])) break;
      const size_t length = kSteps[bytes_[index]].length;
      if (!readable(index, length)) break;
      table.entries.push_back(address);
      offset += length;
    }
    if (table.entries.empty()) return std::nullopt;
    return table;
  }
  return std::nullopt;
}

}  // namespace opfreq
