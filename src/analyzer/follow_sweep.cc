#include "analyzer/follow_sweep.h"

#include <algorithm>
#include <optional>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"

namespace opfreq {
namespace {

constexpr uint8_t kLjmp = 0x02;
constexpr uint8_t kLcall = 0x12;
constexpr uint8_t kSjmp = 0x80;
constexpr uint8_t kReti = 0x32;
constexpr uint16_t kFirstVector = 0x0003;
constexpr uint16_t kVectorSpacing = 8;
constexpr int kVectors = 20;

bool isAjmp(uint8_t op) { return (op & 0x1F) == 0x01; }
bool isAcall(uint8_t op) { return (op & 0x1F) == 0x11; }

// Where control may go after the instruction at `code` (address `address`, length `length`):
// none, one or two addresses.
struct Successors {
  std::array<uint16_t, 2> address{};
  int count = 0;
  void add(uint32_t a) { address[static_cast<size_t>(count++)] = static_cast<uint16_t>(a); }
};

Successors successorsOf(const uint8_t* code, uint16_t address, int32_t length) {
  const uint8_t op = code[0];
  const uint32_t next = (address + static_cast<uint32_t>(length)) & 0xFFFF;
  const auto relative = [&](size_t at) {
    return next + static_cast<uint32_t>(static_cast<int8_t>(code[at]));
  };
  Successors s;
  if (op == kLjmp || op == kLcall) {
    s.add(uint32_t{code[1]} << 8 | code[2]);
    if (op == kLcall) s.add(next);
  } else if (isAjmp(op) || isAcall(op)) {
    s.add((next & 0xF800) + (uint32_t{op} >> 5) * 256 + code[1]);
    if (isAcall(op)) s.add(next);
  } else if (op == kSjmp) {
    s.add(relative(1));
  } else if (op == 0x40 || op == 0x50 || op == 0x60 || op == 0x70 || (op >= 0xD8 && op <= 0xDF)) {
    s.add(relative(1));  // JC, JNC, JZ, JNZ, DJNZ Rn
    s.add(next);
  } else if (op == 0x10 || op == 0x20 || op == 0x30 || (op >= 0xB4 && op <= 0xBF) || op == 0xD5) {
    s.add(relative(2));  // JBC, JB, JNB, CJNE, DJNZ direct
    s.add(next);
  } else if (op != 0x22 && op != kReti && op != 0x73 && op != 0xA5) {
    s.add(next);  // RET, RETI, JMP @A+DPTR and A5h end a path
  }
  return s;
}

class Follower {
 public:
  Follower(const SweepInput& input, RunState& run, SweepInfo& info)
      : input_(input),
        run_(run),
        info_(info),
        size_(static_cast<size_t>(info.to - info.from) + 1),
        starts_(size_),
        covered_(size_) {}

  // Traces from `entry` when its byte is readable; says whether it was.
  bool trace(uint16_t entry) {
    if (!readableAddress(entry)) return false;
    pending_.push_back(entry);
    while (!pending_.empty()) {
      const uint16_t address = pending_.back();
      pending_.pop_back();
      visit(address);
    }
    return true;
  }

  // A vector is traced when it holds a jump or RETI that no counted instruction covers.
  bool traceVector(uint16_t vector) {
    const std::optional<size_t> index = indexOf(vector);
    if (!index || !readableAddress(vector) || covered_.contains(*index)) return false;
    const uint8_t op = input_.bytes[offsetOf(*index)];
    return (op == kLjmp || isAjmp(op) || op == kReti) && trace(vector);
  }

 private:
  // The index in the region of the offset that holds `address`, if the region holds it.
  std::optional<size_t> indexOf(uint16_t address) const {
    const size_t index = static_cast<uint16_t>(address - info_.at);
    if (index >= size_) return std::nullopt;
    return index;
  }
  size_t offsetOf(size_t index) const { return static_cast<size_t>(info_.from) + index; }
  bool readable(size_t index) const {
    return index < size_ && (input_.written == nullptr || input_.written->contains(offsetOf(index)));
  }
  bool readableAddress(uint16_t address) const {
    const std::optional<size_t> index = indexOf(address);
    return index && readable(*index);
  }

  void visit(uint16_t address) {
    const std::optional<size_t> index = indexOf(address);
    if (!index || !readable(*index) || starts_.contains(*index)) return;
    const size_t offset = offsetOf(*index);
    const int32_t length = OpcodeTable[input_.bytes[offset]].cmdlen;
    for (int32_t i = 1; i < length; ++i) {
      if (!readable(*index + static_cast<size_t>(i))) return;
    }
    starts_.add(*index);
    covered_.add(*index, static_cast<size_t>(length));
    const uint32_t bias = static_cast<uint32_t>(info_.at - info_.from) & 0xFFFF;
    sweepSpan(input_.bytes.data(), offset, offset, bias, run_);
    info_.bytes += length;
    const Successors next = successorsOf(&input_.bytes[offset], address, length);
    for (int i = 0; i < next.count; ++i) pending_.push_back(next.address[static_cast<size_t>(i)]);
  }

  const SweepInput& input_;
  RunState& run_;
  SweepInfo& info_;
  size_t size_;
  OffsetSet starts_;   // indexes where a counted instruction starts
  OffsetSet covered_;  // indexes that a counted instruction covers
  std::vector<uint16_t> pending_;
};

}  // namespace

void followCode(const SweepInput& input, std::span<const uint16_t> entries, RunState& run,
                SweepInfo& info) {
  Follower follower(input, run, info);
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

}  // namespace opfreq
