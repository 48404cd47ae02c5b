// How control moves through 8051 code, for every tracer that follows it (the follow sweep, the
// function tracer): one decoder that tells where control goes from an instruction, and one walk
// that takes every path from a start. The tracers differ only in their policy: what they do
// with each instruction taken, where a path must stop, and whether a call is followed into.
//
// The rules, each written here once:
// - Where control goes after each opcode is the flow column of OpcodeTable: on to the next
//   instruction; to a jump's target only (LJMP, AJMP, SJMP); to a branch's target or on; to a
//   call's target and back to the next instruction; nowhere that can be known (RET, RETI, A5h).
// - A path stops at a byte that cannot be read (region_code.h: unwritten bytes and erased fill
//   included) and at an instruction that does not fit.
// - A call of a known helper goes on where the data after the call says, and one of a routine
//   that pops its return address goes nowhere that can be known (call_helpers.h).
// - JMP @A+DPTR goes where a table says (jumpTable), and ends the path when there is none.
// What cannot be known is told to the policy as unresolved, so that views can say it; a tracer
// that has walked everything leaves out the jumps in the helpers' own bytes (inCalledHelper).
#ifndef OPFREQ_ANALYZER_CONTROL_FLOW_H_
#define OPFREQ_ANALYZER_CONTROL_FLOW_H_

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "analyzer/call_helpers.h"
#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"
#include "analyzer/region_code.h"

namespace opfreq {

// A table that a JMP @A+DPTR reads: its base, and the addresses it leads to, in order.
struct JumpTable {
  uint16_t base = 0;
  std::vector<uint16_t> entries;
};

// A policy is a class with these members, which the walk calls inline:
//   bool enter(size_t index, uint16_t address);  // whether a path goes on to the instruction
//                                                 // there; false where it must stop
//   void take(const Instruction& i, size_t index);  // the instruction, which the path takes
//   bool intoCall(uint16_t target);   // whether a call's target is followed too
//   void jumped(uint16_t target);     // a jump, a branch or a table leads to `target`
//   void readTable(const JumpTable& table);  // a jump table read, its entries then followed
//   void readInline(const InlineTable& data);  // a helper's data read, its targets followed
//   void unresolved(uint16_t address, Unresolved kind);
class ControlFlow {
 public:
  // `marks` are the region's (regionMarks), which outlive this; it marks the plain routines.
  ControlFlow(const SweepInput& input, const Region& region, TraceMarks& marks)
      : code_(input, region, marks), marks_(marks.marks.get()) {}

  const RegionCode& code() const { return code_; }

  // The table that JMP @A+DPTR at index `jump` reads, by the first of these rules that finds one:
  // - SDCC's switch of eight cases or more: the straight-line code before the jump (at most 24
  //   bytes, ending in CLR A) loads DPL and DPH by MOVC from two byte tables, L and H. A MOVC
  //   A,@A+PC right after ADD A,#k at address P reads the table at P + 3 + k; a MOVC A,@A+DPTR
  //   right after MOV DPTR,#T the table at T; each MOVC's byte goes on to DPL or DPH (MOV DPL,A,
  //   MOV DPH,A, or PUSH ACC for a later POP). SDCC writes the high bytes right after the low
  //   ones, so H - L, from 1 to 256, is the count of cases, and case i leads to L[i] + 256 x
  //   H[i]. The table's base is L.
  // - A jump table: the operand T of the nearest MOV DPTR,#T at most 16 bytes before the jump,
  //   from which instructions that only go on to the next lead exactly to it; its entries are the
  //   LJMP, AJMP and SJMP instructions one after another from T that fit, up to the first that
  //   is none of them, and never from T + 256 on, as A picks at most 255 bytes ahead. This is
  //   how SDCC compiles a switch of up to seven cases, and how hand-written monitors dispatch
  //   commands.
  // None when neither finds a table with an entry.
  std::optional<JumpTable> jumpTable(size_t jump) const;

  // Whether the JMP @A+DPTR at index `jump` lies in the first bytes of a known helper that a
  // call walked so far reached: where no table is expected, as the helper's data decides.
  bool inCalledHelper(size_t jump) const;

  // Takes every path from `start`, each to its end, leaving the other way of each branch (and
  // each call followed) for later.
  template <typename Policy>
  void walk(uint16_t start, Policy& policy);

 private:
  // Follows one path from `address` until it ends.
  template <typename Policy>
  void path(uint16_t address, Policy& policy);
  // Where a call at `address` of the routine at `target` goes on; none when it does not.
  template <typename Policy>
  std::optional<uint16_t> afterCall(uint16_t address, uint16_t target, uint16_t next,
                                    Policy& policy);
  std::optional<JumpTable> movcTables(size_t jump) const;
  std::optional<JumpTable> dptrTable(size_t jump) const;
  CalleeKind callee(uint16_t target);

  RegionCode code_;
  std::vector<uint16_t> pending_;  // addresses still to visit
  RegionMark* marks_;
  // What each routine called that is not plain (kPlainRoutine) is, by region index: 2 pops its
  // return address, 3 + h known helper h.
  std::unordered_map<size_t, uint8_t> callees_;
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
        policy.jumped(target);
        address = target;
        break;
      case Flow::Branch:
        policy.take(instruction, index);
        policy.jumped(target);
        pending_.push_back(target);
        address = next;
        break;
      case Flow::Call: {
        instruction.callTarget = target;
        policy.take(instruction, index);
        if (policy.intoCall(target)) pending_.push_back(target);
        const std::optional<uint16_t> after = afterCall(address, target, next, policy);
        if (!after) return;
        address = *after;
        break;
      }
      case Flow::Indirect:
        policy.take(instruction, index);
        if (std::optional<JumpTable> table = jumpTable(index)) {
          policy.readTable(*table);
          for (const uint16_t entry : table->entries) policy.jumped(entry);
          pending_.insert(pending_.end(), table->entries.begin(), table->entries.end());
        } else {
          policy.unresolved(address, Unresolved::Jump);
        }
        return;
      case Flow::Return:
      case Flow::Undefined:
        policy.take(instruction, index);
        return;
    }
  }
}

template <typename Policy>
std::optional<uint16_t> ControlFlow::afterCall(uint16_t address, uint16_t target, uint16_t next,
                                               Policy& policy) {
  const CalleeKind callee = this->callee(target);
  if (callee.kind == Callee::Plain) [[likely]]
    return next;
  if (callee.kind == Callee::PopsReturn) {
    policy.unresolved(address, Unresolved::Inline);
    return std::nullopt;
  }
  const CallHelper& helper = kCallHelpers[callee.helper];
  if (helper.data == HelperData::None) {
    policy.unresolved(address, Unresolved::IndirectCall);
    return next;
  }
  const InlineData data = readInlineData(code_, helper, code_.indexOf(next));
  policy.readInline({next, static_cast<uint16_t>(data.length), helper.name});
  for (const uint16_t successor : data.targets) policy.jumped(successor);
  pending_.insert(pending_.end(), data.targets.begin(), data.targets.end());
  if (!data.returns) return std::nullopt;
  return static_cast<uint16_t>(next + data.length);
}

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_CONTROL_FLOW_H_
