#include "analyzer/follow_sweep.h"

#include <algorithm>
#include <memory>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"

namespace opfreq {
namespace {

constexpr uint16_t kFirstVector = 0x0003;
constexpr uint16_t kVectorSpacing = 8;
constexpr int kVectors = 20;

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

template <typename Visitor>
class Follower {
 public:
  Follower(const SweepInput& input, Visitor& visitor, SweepInfo& info)
      : bytes_(input.bytes.data() + info.region.from),
        written_(input.written),
        from_(static_cast<size_t>(info.region.from)),
        size_(info.region.size()),
        at_(info.region.at),
        visitor_(visitor),
        starts_(std::make_unique<bool[]>(size_)),
        // An address is left for later by an instruction counted, at most one each.
        pending_(std::make_unique_for_overwrite<uint16_t[]>(size_)) {}

  // Traces from `entry` when its byte is readable; says whether it was.
  bool trace(uint16_t entry) {
    if (!readable(indexOf(entry), 1)) return false;
    follow(entry);
    while (pendingCount_ > 0) follow(pending_[--pendingCount_]);
    return true;
  }

  // A vector is traced when it holds a jump or RETI that no counted instruction covers.
  bool traceVector(uint16_t vector) {
    const size_t index = indexOf(vector);
    if (!readable(index, 1) || covered(index)) return false;
    const uint8_t op = bytes_[index];
    const bool jump = OpcodeTable[op].flow == Flow::Jump && op != 0x80;  // LJMP or AJMP
    return (jump || op == 0x32) && trace(vector);
  }

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

  void push(uint16_t address) { pending_[pendingCount_++] = address; }

  bool covered(size_t index) const {
    for (size_t back = 0; back < 3 && back <= index; ++back) {
      const size_t start = index - back;
      if (starts_[start] && OpcodeTable[bytes_[start]].cmdlen > static_cast<int32_t>(back)) {
        return true;
      }
    }
    return false;
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
      bytes_swept_ += length;
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
        case Flow::Return:
        case Flow::Indirect:
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
  std::unique_ptr<uint16_t[]> pending_;  // addresses still to visit
  size_t pendingCount_ = 0;

 public:
  int64_t bytes_swept_ = 0;  // the lengths of the instructions taken, added up
};

}  // namespace

template <typename Visitor>
void followCode(const SweepInput& input, std::span<const uint16_t> entries, Visitor& visitor,
                SweepInfo& info) {
  Follower<Visitor> follower(input, visitor, info);
  if (follower.trace(0x0000)) info.entries.push_back(0x0000);
  for (const uint16_t entry : entries) {
    if (follower.trace(entry)) info.entries.push_back(entry);
  }
  for (int k = 0; k < kVectors; ++k) {
    const auto vector = static_cast<uint16_t>(kFirstVector + kVectorSpacing * k);
    if (follower.traceVector(vector)) info.entries.push_back(vector);
  }
  info.bytes = follower.bytes_swept_;
  std::sort(info.entries.begin(), info.entries.end());
  info.entries.erase(std::unique(info.entries.begin(), info.entries.end()), info.entries.end());
}

template void followCode<Counter>(const SweepInput&, std::span<const uint16_t>, Counter&,
                                  SweepInfo&);

}  // namespace opfreq
