#include "analyzer/follow_sweep.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "analyzer/code_scanner.h"
#include "analyzer/control_flow.h"

namespace opfreq {
namespace {

constexpr uint16_t kFirstVector = 3;  // past the reset address
constexpr uint16_t kVectorSpacing = 8;
constexpr int kVectors = 20;

// The follow sweep's policy for the walk: each instruction counted once, at the first visit,
// and every call followed into its target.
template <typename Visitor>
class Follower {
 public:
  Follower(const SweepInput& input, Visitor& visitor, const Region& region)
      : trace_(regionMarks(input, region)),
        marks_(trace_.marks.get()),
        flow_(input, region, trace_),
        visitor_(visitor) {}

  // Traces from `entry` when its byte is readable; says whether it was.
  bool trace(uint16_t entry) {
    if (!flow_.code().readable(flow_.code().indexOf(entry), 1)) return false;
    flow_.walk(entry, *this);
    return true;
  }

  // A vector is traced when it holds LJMP, AJMP or RETI that fits, whose jump target can be
  // read, and that no counted instruction covers.
  bool traceVector(uint16_t vector) {
    const RegionCode& code = flow_.code();
    const size_t index = code.indexOf(vector);
    if (!code.readable(index, 1) || (marks_[index] & kCovered) != 0) return false;
    const uint8_t* bytes = code.code(index);
    const auto [length, flow] = kSteps[*bytes];
    if (!code.readable(index, length)) return false;
    if (*bytes == kReti) return trace(vector);
    if (flow != Flow::Jump || *bytes == kSjmp) return false;
    const uint16_t target = targetOf(bytes, static_cast<uint16_t>(vector + length));
    return code.readable(code.indexOf(target), 1) && trace(vector);
  }

  int64_t bytesSwept() const { return bytesSwept_; }
  int64_t overlap() const { return overlap_; }
  // The base of each jump table read, the helpers' data read and what could not be resolved,
  // in the order met.
  std::vector<uint16_t>& tables() { return tables_; }
  std::vector<InlineTable>& inlineData() { return inline_; }
  // Once every path is walked: what could not be resolved, but the jumps in the bytes of a
  // helper that was called, each marked for the functions.
  std::vector<UnresolvedAt>& takeUnresolved() {
    std::erase_if(unresolved_, [&](const UnresolvedAt& at) {
      return at.kind == Unresolved::Jump && flow_.inCalledHelper(flow_.code().indexOf(at.address));
    });
    for (const UnresolvedAt& at : unresolved_) {
      const size_t index = flow_.code().indexOf(at.address);
      marks_[index] = marks_[index] | kUnresolved;
    }
    return unresolved_;
  }
  TraceMarks takeMarks() { return std::move(trace_); }

  // The walk's policy.
  bool enter(size_t index, uint16_t /*address*/) const { return (marks_[index] & kCounted) == 0; }
  void take(const Instruction& instruction, size_t index) {
    marks_[index] = marks_[index] | kCounted;
    cover(index, instruction.length);
    visitor_.instruction(instruction);
  }
  static bool intoCall(uint16_t /*target*/) { return true; }
  static void jumped(uint16_t /*target*/) {}
  void readTable(const JumpTable& table) { tables_.push_back(table.base); }
  void readInline(const InlineTable& data) { inline_.push_back(data); }
  void unresolved(uint16_t address, Unresolved kind) { unresolved_.push_back({address, kind}); }

 private:
  // Each byte of the code once, however many instructions cover it. Mostly none of them is
  // covered yet: the marks of the instruction's bytes are tested and set as one word.
  void cover(size_t index, size_t length) {
    static constexpr std::array<std::array<uint8_t, 4>, 4> kLanes = {
        {{}, {kCovered}, {kCovered, kCovered}, {kCovered, kCovered, kCovered}}};
    uint32_t lanes = 0;
    uint32_t word = 0;
    std::memcpy(&lanes, kLanes[length].data(), sizeof lanes);
    std::memcpy(&word, marks_ + index, sizeof word);
    if ((word & lanes) == 0) [[likely]] {
      word |= lanes;
      std::memcpy(marks_ + index, &word, sizeof word);
      bytesSwept_ += static_cast<int64_t>(length);
      return;
    }
    for (size_t i = index; i < index + length; ++i) {
      const RegionMark mark = marks_[i];
      if ((mark & kCovered) == 0) [[likely]] {
        marks_[i] = mark | kCovered;
        ++bytesSwept_;
      } else if ((mark & kOverlapped) == 0) {
        marks_[i] = mark | kOverlapped;
        ++overlap_;
      }
    }
  }

  TraceMarks trace_;
  RegionMark* marks_;
  ControlFlow flow_;
  Visitor& visitor_;
  int64_t bytesSwept_ = 0;
  int64_t overlap_ = 0;
  std::vector<uint16_t> tables_;
  std::vector<InlineTable> inline_;
  std::vector<UnresolvedAt> unresolved_;
};

template <typename Value>
void sortOnce(std::vector<Value>& values) {
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
  info.tables = std::move(follower.tables());
  info.inlineData = std::move(follower.inlineData());
  info.unresolved = std::move(follower.takeUnresolved());
  sortOnce(info.entries);
  sortOnce(info.tables);
  sortOnce(info.inlineData);
  sortOnce(info.unresolved);
  trace.overlapping = info.overlap > 0;
  trace.marks = follower.takeMarks();
  return trace;
}

template FollowTrace followCode<Counter>(const SweepInput&, const FollowEntries&, Counter&,
                                         SweepInfo&);

}  // namespace opfreq
