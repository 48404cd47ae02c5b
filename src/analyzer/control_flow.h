// How control moves through 8051 code, for every tracer that follows it (the follow sweep, the
// function tracer): one decoder that tells where control goes from an instruction, and one walk
// that takes every path from a start. The tracers differ only in their policy: what they do
// with each instruction taken, where a path must stop, and whether a call is followed into.
//
// The rules, each written here once:
// - Where control goes after each opcode is the flow column of OpcodeTable: on to the next
//   instruction; to a jump's target only (LJMP, AJMP, SJMP); to a branch's target or on; to a
//   call's target and back to the next instruction; nowhere that can be known (RET, RETI, A5h).
// - A path stops at a byte that cannot be read and at an instruction that does not fit.
// - JMP @A+DPTR goes where a jump table says (jumpTable), and ends the path when there is none.
#ifndef OPFREQ_ANALYZER_CONTROL_FLOW_H_
#define OPFREQ_ANALYZER_CONTROL_FLOW_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"
#include "analyzer/region_code.h"

namespace opfreq {

// A jump table: its base, and the addresses of its entries in order.
struct JumpTable {
  uint16_t base = 0;
  std::vector<uint16_t> entries;
};

// A policy is a class with these members, which the walk calls inline:
//   bool enter(size_t index, uint16_t address);  // whether a path goes on to the instruction
//                                                 // there; false where it must stop
//   void take(const Instruction& i, size_t index);  // the instruction, which the path takes
//   bool intoCall(uint16_t target);   // whether a call's target is followed too
//   void readTable(const JumpTable& table);  // a jump table read, its entries then followed
class ControlFlow {
 public:
  ControlFlow(const SweepInput& input, const Region& region) : code_(input, region) {}

  const RegionCode& code() const { return code_; }

  // The table that JMP @A+DPTR at index `jump` reads: the operand T of the nearest MOV DPTR,#T
  // at most 16 bytes before it, from which instructions that only go on to the next lead exactly
  // to the jump; its entries are the LJMP, AJMP and SJMP instructions one after another from T
  // that fit, up to the first that is none of them, and never from T + 256 on, as A picks at most
  // 255 bytes ahead. None when there is no such MOV or no entry. This is how SDCC compiles a
  // switch of up to seven cases, and how hand-written monitors dispatch commands.
  std::optional<JumpTable> jumpTable(size_t jump) const;

  // Takes every path from `start`, each to its end, leaving the other way of each branch (and
  // each call followed) for later.
  template <typename Policy>
  void walk(uint16_t start, Policy& policy);

 private:
  // Follows one path from `address` until it ends.
  template <typename Policy>
  void path(uint16_t address, Policy& policy);

  RegionCode code_;
  std::vector<uint16_t> pending_;  // addresses still to visit
};

template <typename Policy>
void ControlFlow::walk(uint16_t start, Policy& policy) {
  pending_.assign(1, start);
  while (!pending_.empty()) {
    const uint16_t address = pending_.back();
    pending_.pop_back();
    path(address, policy);
  }
}

template <typename Policy>
void ControlFlow::path(uint16_t address, Policy& policy) {
  for (;;) {
    const size_t index = code_.indexOf(address);
    if (index >= code_.size() || !policy.enter(index, address)) return;
    const uint8_t* code = code_.code(index);
    const auto [length, flow] = kSteps[*code];
    if (!code_.readable(index, length)) return;
    const auto next = static_cast<uint16_t>(address + length);
    Instruction instruction{code_.offsetOf(index), address, *code, length, std::nullopt};
    if (flow == Flow::Next) [[likely]] {
      policy.take(instruction, index);
      address = next;
      continue;
    }
    const uint16_t target = targetOf(code, next);
    switch (flow) {
      case Flow::Next:
        break;
      case Flow::Jump:
        policy.take(instruction, index);
        address = target;
        break;
      case Flow::Branch:
        policy.take(instruction, index);
        pending_.push_back(target);
        address = next;
        break;
      case Flow::Call:
        instruction.callTarget = target;
        policy.take(instruction, index);
        if (policy.intoCall(target)) pending_.push_back(target);
        address = next;
        break;
      case Flow::Indirect:
        policy.take(instruction, index);
        if (std::optional<JumpTable> table = jumpTable(index)) {
          policy.readTable(*table);
          pending_.insert(pending_.end(), table->entries.begin(), table->entries.end());
        }
        return;
      case Flow::Return:
      case Flow::Undefined:
        policy.take(instruction, index);
        return;
    }
  }
}

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CONTROL_FLOW_H_
