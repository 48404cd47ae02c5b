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
        info_(info),
        starts_(size_),
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
    for (size_t i = 0; written_ != nullptr && i < length; ++i) {
      if (!written_->contains(from_ + index + i)) return false;
    }
    return true;
  }

  void push(uint16_t address) { pending_[pendingCount_++] = address; }

  bool covered(size_t index) const {
    for (size_t back = 0; back < 3 && back <= index; ++back) {
      const size_t start = index - back;
      if (starts_.contains(start) &&
          OpcodeTable[bytes_[start]].cmdlen > static_cast<int32_t>(back)) {
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
      if (index >= size_ || starts_.contains(index)) return;
      const uint8_t* code = bytes_ + index;
      const OpcodeEntry& entry = OpcodeTable[*code];
      const auto length = static_cast<uint8_t>(entry.cmdlen);
      if (!readable(index, length)) return;
      starts_.add(index);
      const auto next = static_cast<uint16_t>(address + length);
      const bool goesToTarget =
          entry.flow == Flow::Jump || entry.flow == Flow::Branch || entry.flow == Flow::Call;
      const uint16_t target = goesToTarget ? targetOf(code, next) : uint16_t{0};
      visitor_.instruction({from_ + index, address, *code, length,
                            entry.flow == Flow::Call ? std::optional(target) : std::nullopt});
      info_.bytes += length;
      switch (entry.flow) {
        case Flow::Next:
          address = next;
          break;
        case Flow::Jump:
          address = target;
          break;
        case Flow::Branch:
        case Flow::Call:
          push(target);
          address = next;
          break;
        case Flow::Return:
        case Flow::Indirect:
        case Flow::Undefined:
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
  SweepInfo& info_;
  OffsetSet starts_;                     // indexes where a counted instruction starts
  std::unique_ptr<uint16_t[]> pending_;  // addresses still to visit
  size_t pendingCount_ = 0;
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
  std::sort(info.entries.begin(), info.entries.end());
  info.entries.erase(std::unique(info.entries.begin(), info.entries.end()), info.entries.end());
}

template void followCode<Counter>(const SweepInput&, std::span<const uint16_t>, Counter&,
                                  SweepInfo&);

}  // namespace opfreq
