#include "analyzer/functions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

#include "analyzer/control_flow.h"

namespace opfreq {
namespace {

// Traces one function after another, each from its start, through what the sweep counted: the
// walk's policy that stops at what another function owns or starts, and never follows a call.
class FunctionTracer {
 public:
  // Marks its own in `marks`, the follow sweep's. Where instructions overlap, a function's bytes
  // are counted one by one: `overlapping`.
  FunctionTracer(const SweepInput& input, const Region& region, TraceMarks& marks, bool overlapping,
                 const std::vector<FunctionRange>& ranges)
      : flow_(input, region, marks), marks_(marks.marks.get()), ranges_(ranges) {
    if (overlapping) stamps_.resize(region.size());
  }

  void wantContents(bool wanted) { contents_ = wanted; }

  // Marks `address` as a function's start if the sweep counted an instruction there; says
  // whether it did.
  bool addStart(uint16_t address) {
    const size_t index = flow_.code().indexOf(address);
    if (index >= flow_.code().size() || (marks_[index] & kCounted) == 0) return false;
    marks_[index] = marks_[index] | kFunctionStart;
    return true;
  }

  // The instructions that the function at `start` owns, added up into `profile`, its opcodes
  // and edges onto `profiles`.
  void trace(uint16_t start, FunctionProfile& profile, FunctionProfiles& profiles) {
    std::vector<OpcodeCount>& opcodes = profiles.opcodes;
    start_ = start;
    const auto range = std::lower_bound(
        ranges_.begin(), ranges_.end(), start,
        [](const FunctionRange& r, uint16_t address) { return r.start < address; });
    end_ = range != ranges_.end() && range->start == start ? range->end : start;
    ++stamp_;
    ownBytes_ = 0;
    flow_.walk(start, *this);
    // The sums come from the counts by opcode, which keeps the walk to counting.
    const size_t first = opcodes.size();
    opcodes.resize(first + distinct_);
    OpcodeCount* out = opcodes.data() + first;
    int64_t bytes = 0;
    int64_t instructions = 0;
    int32_t calls = 0;
    for (size_t w = 0; w < touched_.size(); ++w) {
      for (uint64_t word = touched_[w]; word != 0; word &= word - 1) {
        const size_t op = w * 64 + static_cast<size_t>(std::countr_zero(word));
        const int32_t count = counts_[op];
        *out++ = {static_cast<uint8_t>(op), count};
        instructions += count;
        bytes += int64_t{count} * kSteps[op].length;
        if (kSteps[op].flow == Flow::Call) calls += count;
        counts_[op] = 0;
      }
      touched_[w] = 0;
    }
    profile.firstOpcode = static_cast<uint32_t>(first);
    profile.opcodeCount = static_cast<uint32_t>(distinct_);
    profile.bytes = stamps_.empty() ? bytes : ownBytes_;
    profile.instructions = instructions;
    profile.calls = calls;
    distinct_ = 0;
    if (callees_.size() > 1) {
      std::sort(callees_.begin(), callees_.end());
      callees_.erase(std::unique(callees_.begin(), callees_.end()), callees_.end());
    }
    profile.callsTo = edgesFrom(callees_, profiles.edges);
    profile.callees = static_cast<int32_t>(profile.callsTo.count);
    callees_.clear();
    profile.jumpsTo = edgesFrom(jumps_, profiles.edges);
    jumps_.clear();
    if (contents_) profile.content = contentOf(profile.bytes);
    profile.unresolved = unresolved_;
    unresolved_ = 0;
  }

  // The walk's policy: nothing the sweep did not count, nothing already owned, and no other
  // function's start (a jump there is a tail call).
  bool enter(size_t index, uint16_t address) const {
    const RegionMark mark = marks_[index];
    return (mark & (kCounted | kOwned)) == kCounted &&
           ((mark & kFunctionStart) == 0 || address == start_);
  }
  void take(const Instruction& instruction, size_t index) {
    marks_[index] = marks_[index] | kOwned;
    if (contents_) owned_.push_back(static_cast<uint16_t>(index));
    unresolved_ += (marks_[index] & kUnresolved) != 0;
    if (!stamps_.empty()) [[unlikely]]
      own(index, instruction.length);
    if (counts_[instruction.opcode]++ == 0) [[unlikely]] {
      touched_[instruction.opcode / 64] |= uint64_t{1} << instruction.opcode % 64;
      ++distinct_;
    }
  }
  // A call is followed only into the function's own marked range (a trampoline).
  bool intoCall(uint16_t target) {
    callees_.push_back(target);
    return target > start_ && target <= end_;
  }
  // A jump to another function's start is a tail call.
  void jumped(uint16_t target) {
    const size_t index = flow_.code().indexOf(target);
    if (target != start_ && index < flow_.code().size() && (marks_[index] & kFunctionStart) != 0)
      jumps_.push_back(target);
  }
  static void readTable(const JumpTable& /*table*/) {}
  static void readInline(const InlineTable& /*data*/) {}
  // Those of the follow sweep, which it marked, are counted where they are taken.
  static void unresolved(uint16_t /*address*/, Unresolved /*kind*/) {}

 private:
  // The addresses in `targets`, each once with how often it is there, appended to `edges`.
  static EdgeSpan edgesFrom(std::vector<uint16_t>& targets, std::vector<Edge>& edges) {
    std::sort(targets.begin(), targets.end());
    const auto first = static_cast<uint32_t>(edges.size());
    for (size_t i = 0; i < targets.size(); ++i) {
      if (i > 0 && targets[i] == targets[i - 1]) {
        ++edges.back().count;
      } else {
        edges.push_back({targets[i], 1});
      }
    }
    return {first, static_cast<uint32_t>(edges.size() - first)};
  }

  // The function's content: FNV-1a over its instructions' bytes in address order, the code
  // addresses in them set aside, and its size.
  uint64_t contentOf(int64_t bytes) {
    std::sort(owned_.begin(), owned_.end());
    uint64_t hash = 0xCBF29CE484222325;
    const auto add = [&](uint8_t byte) { hash = (hash ^ byte) * 0x100000001B3; };
    for (const uint16_t index : owned_) {
      const uint8_t* code = flow_.code().code(index);
      const uint8_t op = *code;
      const bool address = op == kLjmp || op == kLcall || op == kMovDptr;
      const bool page = isAjmp(op) || isAcall(op);
      add(page ? op & 0x1F : op);
      for (size_t i = 1; i < kSteps[op].length; ++i) add(address || page ? 0 : code[i]);
    }
    owned_.clear();
    for (int shift = 0; shift < 64; shift += 8) add(static_cast<uint8_t>(bytes >> shift));
    return hash;
  }

  // Counts the bytes of the function's instruction at `index` that none of its others covers.
  void own(size_t index, size_t length) {
    for (size_t i = index; i < index + length; ++i) {
      if (stamps_[i] != stamp_) {
        stamps_[i] = stamp_;
        ++ownBytes_;
      }
    }
  }

  ControlFlow flow_;
  RegionMark* marks_;  // by region index
  const std::vector<FunctionRange>& ranges_;
  uint16_t start_ = 0;  // of the function being traced
  uint16_t end_ = 0;    // its last instruction, where a debug map marks it; else its start
  // The function being traced: its counts by opcode, the opcodes counted (a bit each, so that
  // they come out in order), the addresses called.
  std::array<int32_t, 256> counts_{};
  std::array<uint64_t, 4> touched_{};
  size_t distinct_ = 0;
  std::vector<uint16_t> callees_;
  std::vector<uint16_t> jumps_;  // the other functions' starts its jumps reach
  bool contents_ = false;        // each function's content is wanted
  std::vector<uint16_t> owned_;  // its instructions, by region index, for its content
  int32_t unresolved_ = 0;
  // Where instructions overlap: by region index, the last function that counted the byte.
  std::vector<uint32_t> stamps_;
  uint32_t stamp_ = 0;
  int64_t ownBytes_ = 0;
};

// The marked function that `address` lies in past its start.
const FunctionRange* rangeAround(const std::vector<FunctionRange>& ranges, uint16_t address) {
  const auto after =
      std::upper_bound(ranges.begin(), ranges.end(), address,
                       [](uint16_t a, const FunctionRange& range) { return a <= range.start; });
  if (after == ranges.begin()) return nullptr;
  const FunctionRange& range = *std::prev(after);
  return address <= range.end ? &range : nullptr;
}

// Each function's called_from and jumped_from, from the others' calls_to and jumps_to.
void invertEdges(FunctionProfiles& profiles) {
  std::vector<FunctionProfile>& functions = profiles.functions;
  const auto indexOf = [&](uint16_t address) -> std::optional<size_t> {
    const auto found =
        std::lower_bound(functions.begin(), functions.end(), address,
                         [](const FunctionProfile& f, uint16_t a) { return f.address < a; });
    if (found == functions.end() || found->address != address) return std::nullopt;
    return static_cast<size_t>(found - functions.begin());
  };
  for (const bool calls : {true, false}) {
    std::vector<std::vector<Edge>> from(functions.size());
    for (const FunctionProfile& f : functions) {
      for (const Edge& edge : profiles.edgesOf(calls ? f.callsTo : f.jumpsTo)) {
        if (const std::optional<size_t> to = indexOf(edge.address))
          from[*to].push_back({f.address, edge.count});
      }
    }
    for (size_t i = 0; i < functions.size(); ++i) {
      EdgeSpan& span = calls ? functions[i].calledFrom : functions[i].jumpedFrom;
      span = {static_cast<uint32_t>(profiles.edges.size()), static_cast<uint32_t>(from[i].size())};
      profiles.edges.insert(profiles.edges.end(), from[i].begin(), from[i].end());
    }
  }
}

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

FunctionProfiles profileFunctions(const SweepInput& input, const Region& region, FollowTrace& trace,
                                  int64_t instructions, const FunctionStarts& starts,
                                  const SymbolTable& symbols, const CallTable& calls) {
  FunctionTracer tracer(input, region, trace.marks, trace.overlapping, symbols.functionRanges());
  tracer.wantContents(starts.contents);
  std::vector<uint16_t> vectors = starts.vectors;
  std::vector<uint16_t> entries = starts.entries;
  const std::vector<uint16_t> named = symbols.codeAddresses();  // ascending
  std::sort(vectors.begin(), vectors.end());
  std::sort(entries.begin(), entries.end());
  // Every address that may start a function, a bit each, so that they come out in order.
  std::array<uint64_t, kCodeSpace / 64> marked{};
  const auto mark = [&](uint16_t address) { marked[address / 64] |= uint64_t{1} << address % 64; };
  mark(starts.reset);
  for (const std::span<const uint16_t> list :
       {std::span<const uint16_t>(vectors), std::span<const uint16_t>(entries),
        std::span<const uint16_t>(named)}) {
    for (const uint16_t address : list) mark(address);
  }
  // A call into a function that a debug map marks is part of it: SDCC's trampoline for a call
  // through a pointer.
  const std::vector<FunctionRange>& ranges = symbols.functionRanges();
  for (const uint16_t address : calls.called()) {
    if (!rangeAround(ranges, address)) mark(address);
  }
  std::vector<uint16_t> candidates;
  for (size_t w = 0; w < marked.size(); ++w) {
    for (uint64_t word = marked[w]; word != 0; word &= word - 1) {
      const auto address =
          static_cast<uint16_t>(w * 64 + static_cast<size_t>(std::countr_zero(word)));
      if (tracer.addStart(address)) candidates.push_back(address);
    }
  }

  FunctionProfiles profiles;
  profiles.functions.resize(candidates.size());
  // Room for the opcodes of all of them: no function has more kinds of opcode than instructions.
  profiles.opcodes.reserve(static_cast<size_t>(instructions));
  for (size_t i = 0; i < candidates.size(); ++i) {
    const uint16_t address = candidates[i];
    FunctionProfile& function = profiles.functions[i];
    function.address = address;
    function.name = symbols.codeNameOf(address);
    function.kind = address == starts.reset   ? FunctionKind::Reset
                    : holds(vectors, address) ? FunctionKind::Vector
                    : holds(entries, address) ? FunctionKind::Entry
                    : holds(named, address)   ? FunctionKind::Symbol
                                              : FunctionKind::Call;
    function.callers = calls.countOf(address);
    tracer.trace(address, function, profiles);
  }
  invertEdges(profiles);
  return profiles;
}

}  // namespace opfreq
