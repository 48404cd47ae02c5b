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

// Where control goes after an instruction, besides the next one or instead of it.
enum class Flow : uint8_t {
  Next,      // the next instruction
  End,       // nowhere that can be known: RET, RETI, JMP @A+DPTR, A5h
  Long,      // LJMP: the 16-bit target
  LongCall,  // LCALL: the target and the next instruction
  Page,      // AJMP: the target in the next instruction's 2 KiB page
  PageCall,  // ACALL: that target and the next instruction
  Short,     // SJMP: next + rel
  Branch1,   // JC, JNC, JZ, JNZ, DJNZ Rn: next + rel (operand byte 1), and next
  Branch2,   // JBC, JB, JNB, CJNE, DJNZ direct: next + rel (operand byte 2), and next
};

constexpr std::array<Flow, 256> kFlow = [] {
  std::array<Flow, 256> flow{};
  for (size_t op = 0; op < 256; ++op) {
    if ((op & 0x1F) == 0x01) flow[op] = Flow::Page;
    if ((op & 0x1F) == 0x11) flow[op] = Flow::PageCall;
    if ((op >= 0xB4 && op <= 0xBF) || op == 0x10 || op == 0x20 || op == 0x30 || op == 0xD5) {
      flow[op] = Flow::Branch2;
    }
    if ((op >= 0xD8 && op <= 0xDF) || op == 0x40 || op == 0x50 || op == 0x60 || op == 0x70) {
      flow[op] = Flow::Branch1;
    }
  }
  flow[0x02] = Flow::Long;
  flow[0x12] = Flow::LongCall;
  flow[0x80] = Flow::Short;
  for (const size_t op : {0x22u, 0x32u, 0x73u, 0xA5u}) flow[op] = Flow::End;
  return flow;
}();

class Follower {
 public:
  Follower(const SweepInput& input, RunState& run, const SweepInfo& info)
      : bytes_(input.bytes.data() + info.from),
        written_(input.written),
        from_(static_cast<size_t>(info.from)),
        size_(static_cast<size_t>(info.to - info.from) + 1),
        at_(info.at),
        bias_(static_cast<uint32_t>(info.at - info.from) & 0xFFFF),
        run_(run),
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
    const Flow flow = kFlow[bytes_[index]];
    return (flow == Flow::Long || flow == Flow::Page || bytes_[index] == 0x32) && trace(vector);
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
      const auto length = static_cast<size_t>(OpcodeTable[*code].cmdlen);
      if (!readable(index, length)) return;
      starts_.add(index);
      ++run_.opcodeCount[*code];
      const auto next = static_cast<uint16_t>(address + length);
      if (isCall(*code)) countCall(code, from_ + index + length + bias_, run_);
      const auto relative = [&](size_t at) {
        return static_cast<uint16_t>(next + static_cast<int8_t>(code[at]));
      };
      const auto page = [&] {
        return static_cast<uint16_t>((next & 0xF800) + (code[0] >> 5) * 256 + code[1]);
      };
      const auto longTarget = [&] { return static_cast<uint16_t>(code[1] << 8 | code[2]); };
      switch (kFlow[*code]) {
        case Flow::Next:
          address = next;
          break;
        case Flow::End:
          return;
        case Flow::Long:
          address = longTarget();
          break;
        case Flow::LongCall:
          push(longTarget());
          address = next;
          break;
        case Flow::Page:
          address = page();
          break;
        case Flow::PageCall:
          push(page());
          address = next;
          break;
        case Flow::Short:
          address = relative(1);
          break;
        case Flow::Branch1:
          push(relative(1));
          address = next;
          break;
        case Flow::Branch2:
          push(relative(2));
          address = next;
          break;
      }
    }
  }

  const uint8_t* bytes_;  // the region's first byte
  const OffsetSet* written_;
  size_t from_;
  size_t size_;
  uint16_t at_;
  uint32_t bias_;  // code address minus image offset
  RunState& run_;
  OffsetSet starts_;                     // indexes where a counted instruction starts
  std::unique_ptr<uint16_t[]> pending_;  // addresses still to visit
  size_t pendingCount_ = 0;
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
  // Each instruction is counted once: the bytes swept are the counts times the lengths.
  for (size_t op = 0; op < 256; ++op)
    info.bytes += int64_t{run.opcodeCount[op]} * OpcodeTable[op].cmdlen;
  std::sort(info.entries.begin(), info.entries.end());
  info.entries.erase(std::unique(info.entries.begin(), info.entries.end()), info.entries.end());
}

}  // namespace opfreq
