#include "analyzer/follow_sweep.h"

#include <algorithm>
#include <array>
#include <memory>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"

namespace opfreq {
namespace {

constexpr uint16_t kFirstVector = 3;  // past the reset address
constexpr uint16_t kVectorSpacing = 8;
constexpr int kVectors = 20;
constexpr uint8_t kMovDptr = 0x90;
constexpr uint8_t kJmpIndirect = 0x73;
constexpr size_t kTableSearch = 16;  // bytes before JMP @A+DPTR that may hold MOV DPTR
constexpr size_t kTableReach = 256;  // A picks an entry at most 255 bytes past the base

// The length and flow of each opcode, from OpcodeTable, side by side in two bytes.
struct Step {
  uint8_t length;
  Flow flow;
};
constexpr std::array<Step, 256> kSteps = [] {
  std::array<Step, 256> steps{};
  for (size_t op = 0; op < 256; ++op) {
    steps[op] = {static_cast<uint8_t>(OpcodeTable[op].cmdlen), OpcodeTable[op].flow};
  }
  return steps;
}();

// LJMP, AJMP and SJMP: what a jump table holds.
bool isTableEntry(uint8_t op) { return op == 0x02 || op == 0x80 || (op & 0x1F) == 0x01; }

template <typename Visitor>
class Follower {
 public:
  Follower(const SweepInput& input, Visitor& visitor, const Region& region)
      : bytes_(input.bytes.data() + region.from),
        written_(input.written),
        from_(static_cast<size_t>(region.from)),
        size_(region.size()),
        at_(region.at),
        visitor_(visitor),
        starts_(std::make_unique<bool[]>(size_)) {
    pending_.reserve(size_);
  }

  // Traces from `entry` when its byte is readable; says whether it was.
  bool trace(uint16_t entry) {
    if (!readable(indexOf(entry), 1)) return false;
    follow(entry);
    while (!pending_.empty()) {
      const uint16_t address = pending_.back();
      pending_.pop_back();
      follow(address);
    }
    return true;
  }

  // A vector is traced when it holds LJMP, AJMP or RETI that fits, whose jump target can be
  // read, and that no counted instruction covers.
  bool traceVector(uint16_t vector) {
    const size_t index = indexOf(vector);
    if (!readable(index, 1) || covered(index)) return false;
    const uint8_t* code = bytes_ + index;
    const auto [length, flow] = kSteps[*code];
    if (!readable(index, length)) return false;
    if (*code == 0x32) return trace(vector);  // RETI
    if (flow != Flow::Jump || *code == 0x80) return false;
    const auto next = static_cast<uint16_t>(vector + length);
    const uint16_t target = *code == 0x02 ? longTarget(code) : pageTarget(code, next);
    return readable(indexOf(target), 1) && trace(vector);
  }

  int64_t bytesSwept() const { return bytesSwept_; }
  // The base of each jump table read, in the order met.
  const std::vector<uint16_t>& tables() const { return tables_; }

 private:
  // The index in the region of the offset that holds `address`; size_ or more when the region
  // does not hold it.
  size_t indexOf(uint16_t address) const { return static_cast<uint16_t>(address - at_); }

  // Whether the `length` bytes from `index` on lie in the region and can be read.
  bool readable(size_t index, size_t length) const {
    if (index + length > size_) return false;
    if (written_ == nullptr) return true;
    for (size_t i = 0; i < length; ++i) {
      if (!written_->contains(from_ + index + i)) return false;
    }
    return true;
  }

  void push(uint16_t address) { pending_.push_back(address); }

  bool covered(size_t index) const {
    for (size_t back = 0; back < 3 && back <= index; ++back) {
      const size_t start = index - back;
      if (starts_[start] && kSteps[bytes_[start]].length > back) return true;
    }
    return false;
  }

  // The base of the table that JMP @A+DPTR at index `jump` reads: the operand of the nearest
  // MOV DPTR,#data before it from which the code runs straight on to it.
  std::optional<uint16_t> tableBase(size_t jump) const {
    for (size_t distance = 3; distance <= kTableSearch && distance <= jump; ++distance) {
      const size_t start = jump - distance;
      if (bytes_[start] != kMovDptr || !readable(start, distance)) continue;
      size_t at = start;
      while (at < jump && kSteps[bytes_[at]].flow == Flow::Next) at += kSteps[bytes_[at]].length;
      if (at == jump) return longTarget(bytes_ + start);
    }
    return std::nullopt;
  }

  // Leaves each entry of the table at `base` to be traced; says whether there was one.
  bool readTable(uint16_t base) {
    size_t entries = 0;
    for (size_t offset = 0; offset < kTableReach;) {
      const auto address = static_cast<uint16_t>(base + offset);
      const size_t index = indexOf(address);
      if (!readable(index, 1) || !isTableEntry(bytes_[index])) break;
      const size_t length = kSteps[bytes_[index]].length;
      if (!readable(index, length)) break;
      push(address);
      ++entries;
      offset += length;
    }
    return entries > 0;
  }

  // The jump table that JMP @A+DPTR at index `jump` reads, if any, left to be traced. Out of
  // the way of the loop that every instruction takes: JMP @A+DPTR is rare.
  [[gnu::noinline]] void followTable(size_t jump) {
    if (const std::optional<uint16_t> base = tableBase(jump)) {
      if (readTable(*base)) tables_.push_back(*base);
    }
  }

  // Follows one path from `address` until it ends or meets counted code, and leaves the other
  // way of each branch and call for later.
  void follow(uint16_t address) {
    for (;;) {
      const size_t index = indexOf(address);
      if (index >= size_ || starts_[index]) return;
      const uint8_t* code = bytes_ + index;
      const auto [length, flow] = kSteps[*code];
      if (!readable(index, length)) return;
      starts_[index] = true;
      bytesSwept_ += length;
      const auto next = static_cast<uint16_t>(address + length);
      const Instruction instruction{from_ + index, address, *code, length, std::nullopt};
      switch (flow) {
        case Flow::Next:
          visitor_.instruction(instruction);
          address = next;
          break;
        case Flow::Jump:
          visitor_.instruction(instruction);
          address = *code == 0x02   ? longTarget(code)
                    : *code == 0x80 ? relativeTarget(code, length, next)
                                    : pageTarget(code, next);
          break;
        case Flow::Branch:
          visitor_.instruction(instruction);
          push(relativeTarget(code, length, next));
          address = next;
          break;
        case Flow::Call: {
          const uint16_t target = *code == 0x12 ? longTarget(code) : pageTarget(code, next);
          visitor_.instruction({from_ + index, address, *code, length, target});
          push(target);
          address = next;
          break;
        }
        case Flow::Indirect:
          visitor_.instruction(instruction);
          followTable(index);
          return;
        case Flow::Return:
        case Flow::Undefined:
          visitor_.instruction(instruction);
          return;
      }
    }
  }

  const uint8_t* bytes_;  // the region's first byte
  const OffsetSet* written_;
  size_t from_;
  size_t size_;
  uint16_t at_;
  Visitor& visitor_;
  // Where a counted instruction starts, an entry a region index: a byte each is quicker to test
  // and set than a bit, on the path that every instruction takes.
  std::unique_ptr<bool[]> starts_;
  std::vector<uint16_t> pending_;  // addresses still to visit
  int64_t bytesSwept_ = 0;
  std::vector<uint16_t> tables_;
};

void sortOnce(std::vector<uint16_t>& values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
}

}  // namespace

template <typename Visitor>
void followCode(const SweepInput& input, const FollowEntries& entries, Visitor& visitor,
                SweepInfo& info) {
  Follower<Visitor> follower(input, visitor, info.region);
  const auto traced = [&](uint16_t entry, bool taken) {
    if (taken) info.entries.push_back(entry);
  };
  traced(entries.reset, follower.trace(entries.reset));
  for (const uint16_t entry : entries.entries) traced(entry, follower.trace(entry));
  for (int k = 0; k < kVectors; ++k) {
    const auto vector = static_cast<uint16_t>(entries.reset + kFirstVector + kVectorSpacing * k);
    traced(vector, follower.traceVector(vector));
  }
  for (const uint16_t entry : entries.late) traced(entry, follower.trace(entry));
  info.bytes = follower.bytesSwept();
  info.tables = follower.tables();
  sortOnce(info.entries);
  sortOnce(info.tables);
}

template void followCode<Counter>(const SweepInput&, const FollowEntries&, Counter&, SweepInfo&);

}  // namespace opfreq
