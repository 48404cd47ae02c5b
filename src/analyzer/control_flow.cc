#include "analyzer/control_flow.h"

namespace opfreq {
namespace {

constexpr size_t kTableSearch = 16;  // bytes before JMP @A+DPTR that may hold MOV DPTR
constexpr size_t kTableReach = 256;  // A picks an entry at most 255 bytes past the base
constexpr size_t kMovcSearch = 24;   // bytes before JMP @A+DPTR that may load DPTR by MOVC
constexpr uint8_t kPushAcc[] = {0xC0, 0xE0};
constexpr uint8_t kDpl = 0x82;
constexpr uint8_t kDph = 0x83;

// LJMP, AJMP and SJMP: what a jump table holds.
bool isTableEntry(uint8_t op) { return op == kLjmp || op == kSjmp || isAjmp(op); }

// Whether `bytes` take the byte a MOVC left in A on to DPL or DPH: MOV DPL,A, MOV DPH,A, or PUSH
// ACC, for a later POP.
bool movesToDptr(const uint8_t* bytes) {
  return (bytes[0] == kMovDirectA && (bytes[1] == kDpl || bytes[1] == kDph)) ||
         (bytes[0] == kPushAcc[0] && bytes[1] == kPushAcc[1]);
}

}  // namespace

std::string_view unresolvedName(Unresolved kind) {
  switch (kind) {
    case Unresolved::Jump:
      return "jump";
    case Unresolved::Inline:
      return "inline";
    case Unresolved::IndirectCall:
      break;
  }
  return "indirect call";
}

std::optional<JumpTable> ControlFlow::jumpTable(size_t jump) const {
  if (std::optional<JumpTable> table = movcTables(jump)) return table;
  return dptrTable(jump);
}

std::optional<JumpTable> ControlFlow::movcTables(size_t jump) const {
  if (jump == 0 || *code_.code(jump - 1) != kClrA) return std::nullopt;
  // The shortest straight-line stretch before the jump that loads DPL and DPH by two MOVCs.
  for (size_t distance = 2; distance <= kMovcSearch && distance <= jump; ++distance) {
    const size_t start = jump - distance;
    if (!code_.readable(start, distance + 1)) continue;  // the jump too, which a MOVC's MOV reads
    std::vector<uint16_t> tables;
    size_t previous = start;
    size_t at = start;
    while (at < jump && kSteps[*code_.code(at)].flow == Flow::Next) {
      const uint8_t* bytes = code_.code(at);
      const size_t before = at - previous;
      if ((*bytes == kMovcPc || *bytes == kMovcDptr) && movesToDptr(bytes + 1)) {
        const uint8_t* loads = code_.code(previous);
        const uint16_t movc = code_.addressOf(at);
        if (*bytes == kMovcPc && before == 2 && *loads == kAddImmediate) {
          tables.push_back(static_cast<uint16_t>(movc + 1 + loads[1]));
        } else if (*bytes == kMovcDptr && before == 3 && *loads == kMovDptr) {
          tables.push_back(longTarget(loads));
        }
      }
      previous = at;
      at += kSteps[*bytes].length;
    }
    if (at != jump || previous != jump - 1 || tables.size() != 2) continue;
    const uint16_t low = std::min(tables[0], tables[1]);
    const size_t cases = static_cast<uint16_t>(std::max(tables[0], tables[1]) - low);
    if (cases < 1 || cases > kTableReach) return std::nullopt;
    JumpTable table{low, {}};
    for (size_t i = 0; i < cases; ++i) {
      const size_t lowByte = code_.indexOf(static_cast<uint16_t>(low + i));
      const size_t highByte = code_.indexOf(static_cast<uint16_t>(low + cases + i));
      if (!code_.readable(lowByte, 1) || !code_.readable(highByte, 1)) break;
      table.entries.push_back(
          static_cast<uint16_t>(*code_.code(lowByte) | *code_.code(highByte) << 8));
    }
    if (table.entries.empty()) return std::nullopt;
    return table;
  }
  return std::nullopt;
}

std::optional<JumpTable> ControlFlow::dptrTable(size_t jump) const {
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

bool ControlFlow::inCalledHelper(size_t jump) const {
  // The routines that are no plain ones are few.
  return std::any_of(callees_.begin(), callees_.end(), [&](const auto& callee) {
    return callee.second >= 3 && jump >= callee.first &&
           helperJumpsAt(callee.second - 3u, jump - callee.first);
  });
}

CalleeKind ControlFlow::callee(uint16_t target) {
  const size_t index = code_.indexOf(target);
  if (index >= code_.size()) return {};
  if ((marks_[index] & kPlainRoutine) != 0) return {};
  const auto known = callees_.find(index);
  if (known != callees_.end()) {
    if (known->second >= 3) return {Callee::Helper, static_cast<uint8_t>(known->second - 3)};
    return {Callee::PopsReturn, 0};
  }
  const CalleeKind kind = calleeAt(code_, index);
  if (kind.kind == Callee::Plain) {
    marks_[index] = marks_[index] | kPlainRoutine;
  } else {
    callees_[index] = kind.kind == Callee::PopsReturn ? 2 : static_cast<uint8_t>(3 + kind.helper);
  }
  return kind;
}

}  // namespace opfreq
