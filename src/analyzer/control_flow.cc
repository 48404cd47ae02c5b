#include "analyzer/control_flow.h"

namespace opfreq {
namespace {

constexpr size_t kTableSearch = 16;  // bytes before JMP @A+DPTR that may hold MOV DPTR
constexpr size_t kTableReach = 256;  // A picks an entry at most 255 bytes past the base

// LJMP, AJMP and SJMP: what a jump table holds.
bool isTableEntry(uint8_t op) { return op == kLjmp || op == kSjmp || isAjmp(op); }

}  // namespace

std::optional<JumpTable> ControlFlow::jumpTable(size_t jump) const {
  for (size_t distance = 3; distance <= kTableSearch && distance <= jump; ++distance) {
    const size_t start = jump - distance;
    const uint8_t* mov = code_.code(start);
    if (*mov != kMovDptr || !code_.readable(start, distance)) continue;
    size_t at = start;
    while (at < jump && kSteps[*code_.code(at)].flow == Flow::Next)
      at += kSteps[*code_.code(at)].length;
    if (at != jump) continue;
    JumpTable table{longTarget(mov), {}};
    for (size_t offset = 0; offset < kTableReach;) {
      const auto address = static_cast<uint16_t>(table.base + offset);
      const size_t index = code_.indexOf(address);
      if (!code_.readable(index, 1) || !isTableEntry(*code_.code(index))) break;
      const size_t length = kSteps[*code_.code(index)].length;
      if (!code_.readable(index, length)) break;
      table.entries.push_back(address);
      offset += length;
    }
    if (table.entries.empty()) return std::nullopt;
    return table;
  }
  return std::nullopt;
}

}  // namespace opfreq
