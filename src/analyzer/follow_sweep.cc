#include "analyzer/follow_sweep.h"

#include <algorithm>

#include "analyzer/code_scanner.h"
#include "analyzer/region_code.h"

namespace opfreq {
namespace {

constexpr uint16_t kFirstVector = 3;  // past the reset address
constexpr uint16_t kVectorSpacing = 8;
constexpr int kVectors = 20;

template <typename Visitor>
class Follower {
 public:
  Follower(const SweepInput& input, Visitor& visitor, const Region& region)
      : region_(input, region), visitor_(visitor), marks_(clearMarks(region.size())) {
    pending_.reserve(region.size());
  }

  // Traces from `entry` when its byte is readable; says whether it was.
  bool trace(uint16_t entry) {
    if (!region_.readable(region_.indexOf(entry), 1)) return false;
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
    const size_t index = region_.indexOf(vector);
    if (!region_.readable(index, 1) || covered(index)) return false;
    const uint8_t* code = region_.code(index);
    const auto [length, flow] = kSteps[*code];
    if (!region_.readable(index, length)) return false;
    if (*code == 0x32) return trace(vector);  // RETI
    if (flow != Flow::Jump || *code == 0x80) return false;
    const auto next = static_cast<uint16_t>(vector + length);
    const uint16_t target = *code == 0x02 ? longTarget(code) : pageTarget(code, next);
    return region_.readable(region_.indexOf(target), 1) && trace(vector);
  }

  int64_t bytesSwept() const { return bytesSwept_; }
  int64_t overlap() const { return overlap_; }
  // The base of each jump table read, in the order met.
  const std::vector<uint16_t>& tables() const { return tables_; }
  RegionMarks takeMarks() { return std::move(marks_); }

 private:
  void push(uint16_t address) { pending_.push_back(address); }

  bool covered(size_t index) const { return (marks_[index] & kCovered) != 0; }

  // Each byte of the code once, however many instructions cover it.
  void cover(size_t index, size_t length) {
    for (size_t i = index; i < index + length; ++i) {
      const RegionMark mark = marks_[i];
      if ((mark & kCovered) == 0) {
        marks_[i] = mark | kCovered;
        ++bytesSwept_;
      } else if ((mark & kOverlapped) == 0) {
        marks_[i] = mark | kOverlapped;
        ++overlap_;
      }
    }
  }

  // The jump table that JMP @A+DPTR at index `jump` reads, if any, left to be traced. Out of
  // the way of the loop that every instruction takes: JMP @A+DPTR is rare.
  [[gnu::noinline]] void followTable(size_t jump) {
    if (std::optional<JumpTable> table = region_.tableAt(jump)) {
      pending_.insert(pending_.end(), table->entries.begin(), table->entries.end());
      tables_.push_back(table->base);
    }
  }

  // Follows one path from `address` until it ends or meets counted code, and leaves the other
  // way of each branch and call for later.
  void follow(uint16_t address) {
    for (;;) {
      const size_t index = region_.indexOf(address);
      if (index >= region_.size() || (marks_[index] & kCounted) != 0) return;
      const uint8_t* code = region_.code(index);
      const auto [length, flow] = kSteps[*code];
      if (!region_.readable(index, length)) return;
      marks_[index] = marks_[index] | kCounted;
      cover(index, length);
      const auto next = static_cast<uint16_t>(address + length);
      const Instruction instruction{region_.offsetOf(index), address, *code, length, std::nullopt};
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
          visitor_.instruction({region_.offsetOf(index), address, *code, length, target});
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

  RegionCode region_;
  Visitor& visitor_;
  RegionMarks marks_;
  std::vector<uint16_t> pending_;  // addresses still to visit
  int64_t bytesSwept_ = 0;
  int64_t overlap_ = 0;
  std::vector<uint16_t> tables_;
};

void sortOnce(std::vector<uint16_t>& values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
}

}  // namespace

template <typename Visitor>
FollowTrace followCode(const SweepInput& input, const FollowEntries& entries, Visitor& visitor,
                       SweepInfo& info) {
  Follower<Visitor> follower(input, visitor, info.region);
  FollowTrace trace;
  const auto traced = [&](uint16_t entry, bool taken) {
    if (taken) info.entries.push_back(entry);
  };
  traced(entries.reset, follower.trace(entries.reset));
  for (const uint16_t entry : entries.entries) traced(entry, follower.trace(entry));
  for (int k = 0; k < kVectors; ++k) {
    const auto vector = static_cast<uint16_t>(entries.reset + kFirstVector + kVectorSpacing * k);
    if (follower.traceVector(vector)) trace.vectors.push_back(vector);
  }
  info.entries.insert(info.entries.end(), trace.vectors.begin(), trace.vectors.end());
  for (const uint16_t entry : entries.late) traced(entry, follower.trace(entry));
  info.bytes = follower.bytesSwept();
  info.overlap = follower.overlap();
  info.tables = follower.tables();
  sortOnce(info.entries);
  sortOnce(info.tables);
  trace.overlapping = info.overlap > 0;
  trace.marks = follower.takeMarks();
  return trace;
}

template FollowTrace followCode<Counter>(const SweepInput&, const FollowEntries&, Counter&,
                                         SweepInfo&);

}  // namespace opfreq
