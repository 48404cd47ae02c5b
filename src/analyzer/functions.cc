#include "analyzer/functions.h"

#include <algorithm>
#include <array>
#include <memory>

#include "analyzer/region_code.h"

namespace opfreq {
namespace {

// Traces one function after another, each from its start, through what the sweep counted.
class FunctionTracer {
 public:
  FunctionTracer(const SweepInput& input, const Region& region, const bool* counted)
      : region_(input, region),
        counted_(counted),
        isStart_(std::make_unique<bool[]>(region.size())),
        owned_(std::make_unique<bool[]>(region.size())) {}

  // Marks `address` as a function's start if the sweep counted an instruction there; says
  // whether it did.
  bool addStart(uint16_t address) {
    const size_t index = region_.indexOf(address);
    if (index >= region_.size() || !counted_[index]) return false;
    isStart_[index] = true;
    return true;
  }

  // The instructions that the function at `start` owns, added up into `profile`.
  void trace(uint16_t start, FunctionProfile& profile) {
    start_ = start;
    pending_.assign(1, start);
    while (!pending_.empty()) {
      const uint16_t address = pending_.back();
      pending_.pop_back();
      follow(address, profile);
    }
    std::sort(touched_.begin(), touched_.end());
    for (const uint8_t op : touched_) {
      profile.opcodes.emplace_back(op, counts_[op]);
      counts_[op] = 0;
    }
    touched_.clear();
    std::sort(callees_.begin(), callees_.end());
    profile.callees =
        static_cast<int32_t>(std::unique(callees_.begin(), callees_.end()) - callees_.begin());
    callees_.clear();
  }

 private:
  void follow(uint16_t address, FunctionProfile& profile) {
    for (;;) {
      const size_t index = region_.indexOf(address);
      // Another function's start, something already owned, or nothing the sweep counted.
      if (index >= region_.size() || owned_[index] || !counted_[index] ||
          (isStart_[index] && address != start_)) {
        return;
      }
      owned_[index] = true;
      const uint8_t* code = region_.code(index);
      const auto [length, flow] = kSteps[*code];
      profile.bytes += length;
      ++profile.instructions;
      if (counts_[*code]++ == 0) touched_.push_back(*code);
      const auto next = static_cast<uint16_t>(address + length);
      switch (flow) {
        case Flow::Next:
          address = next;
          break;
        case Flow::Jump:
          address = *code == 0x02   ? longTarget(code)
                    : *code == 0x80 ? relativeTarget(code, length, next)
                                    : pageTarget(code, next);
          break;
        case Flow::Branch:
          pending_.push_back(relativeTarget(code, length, next));
          address = next;
          break;
        case Flow::Call:
          ++profile.calls;
          callees_.push_back(*code == 0x12 ? longTarget(code) : pageTarget(code, next));
          address = next;
          break;
        case Flow::Indirect:
          if (const std::optional<JumpTable> table = region_.tableAt(index)) {
            pending_.insert(pending_.end(), table->entries.begin(), table->entries.end());
          }
          return;
        case Flow::Return:
        case Flow::Undefined:
          return;
      }
    }
  }

  RegionCode region_;
  const bool* counted_;              // by region index: the sweep counted an instruction there
  std::unique_ptr<bool[]> isStart_;  // by region index
  std::unique_ptr<bool[]> owned_;    // by region index
  uint16_t start_ = 0;               // of the function being traced
  std::vector<uint16_t> pending_;
  // The function being traced: its counts by opcode, the opcodes counted, the addresses called.
  std::array<int32_t, 256> counts_{};
  std::vector<uint8_t> touched_;
  std::vector<uint16_t> callees_;
};

bool holds(const std::vector<uint16_t>& sorted, uint16_t address) {
  return std::binary_search(sorted.begin(), sorted.end(), address);
}

}  // namespace

std::string_view kindName(FunctionKind kind) {
  switch (kind) {
    case FunctionKind::Reset:
      return "reset";
    case FunctionKind::Vector:
      return "vector";
    case FunctionKind::Entry:
      return "entry";
    case FunctionKind::Symbol:
      return "symbol";
    case FunctionKind::Call:
      break;
  }
  return "call";
}

std::vector<FunctionProfile> profileFunctions(const SweepInput& input, const Region& region,
                                              const FollowTrace& trace,
                                              const FunctionStarts& starts,
                                              const SymbolTable& symbols, const CallTable& calls) {
  FunctionTracer tracer(input, region, trace.starts.get());
  std::vector<uint16_t> vectors = starts.vectors;
  std::vector<uint16_t> entries = starts.entries;
  const std::vector<uint16_t> named = symbols.codeAddresses();  // ascending
  std::sort(vectors.begin(), vectors.end());
  std::sort(entries.begin(), entries.end());
  std::vector<uint16_t> candidates = {starts.reset};
  for (const std::span<const uint16_t> list :
       {std::span<const uint16_t>(vectors), std::span<const uint16_t>(entries),
        std::span<const uint16_t>(named), calls.called()}) {
    candidates.insert(candidates.end(), list.begin(), list.end());
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  std::erase_if(candidates, [&](uint16_t address) { return !tracer.addStart(address); });

  std::vector<FunctionProfile> functions(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i) {
    const uint16_t address = candidates[i];
    FunctionProfile& function = functions[i];
    function.address = address;
    function.name = symbols.codeNameOf(address);
    function.kind = address == starts.reset   ? FunctionKind::Reset
                    : holds(vectors, address) ? FunctionKind::Vector
                    : holds(entries, address) ? FunctionKind::Entry
                    : holds(named, address)   ? FunctionKind::Symbol
                                              : FunctionKind::Call;
    function.callers = calls.countOf(address);
    tracer.trace(address, function);
  }
  return functions;
}

}  // namespace opfreq
