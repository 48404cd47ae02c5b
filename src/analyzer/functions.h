// Where the code goes, function by function: the code that the follow sweep counted, cut into
// functions by tracing it again from each function's start.
//
// A function starts at the reset address, at each vector taken, at each --entry, at each call
// target, and at each code symbol of the symbols, where the sweep counted an instruction. From
// each start in ascending address order, the trace goes as the follow sweep went, but not on to
// a call's target (it goes on after the call), and stops at any other function's start (a jump
// there is a tail call) and at what an earlier start already owns; a jump table's entries go
// with the JMP @A+DPTR that reads them. So every instruction counted belongs to one function.
// A static function that only a jump reaches, having no start of its own, belongs to the
// function that jumps to it.
#ifndef OPFREQ_ANALYZER_FUNCTIONS_H_
#define OPFREQ_ANALYZER_FUNCTIONS_H_

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analyzer/call_targets.h"
#include "analyzer/follow_sweep.h"
#include "filein/symbol_file.h"

namespace opfreq {

// Why a function starts where it does: the first that applies, in this order.
enum class FunctionKind : uint8_t { Reset, Vector, Entry, Symbol, Call };

// An edge of the call graph: the address at its other end, and how many instructions (or table
// entries) make it.
struct Edge {
  uint16_t address;
  int32_t count;
  friend bool operator==(const Edge&, const Edge&) = default;
};
// A function's edges in FunctionProfiles::edges.
struct EdgeSpan {
  uint32_t first = 0;
  uint32_t count = 0;
};

struct FunctionProfile {
  uint16_t address = 0;
  std::string name;  // the code symbol at its address; empty when there is none
  FunctionKind kind = FunctionKind::Call;
  int64_t bytes = 0;  // the bytes its instructions cover, each once
  int64_t instructions = 0;
  int32_t calls = 0;       // call instructions in it
  int32_t callees = 0;     // distinct addresses they call
  int32_t callers = 0;     // call instructions counted anywhere that call its address
  int32_t unresolved = 0;  // jumps and calls in it that the trace could not resolve
  // Its opcodes, each with its count, in opcode order: FunctionProfiles::opcodesOf.
  uint32_t firstOpcode = 0;
  uint32_t opcodeCount = 0;
  // The call graph, each by address: the addresses its calls call; the starts of other
  // functions that its jumps reach (tail calls: the entries of a table that its JMP @A+DPTR
  // reads count as its own, running on into the next function does not); the functions whose
  // calls, and whose tail calls, reach its start.
  EdgeSpan callsTo, jumpsTo, calledFrom, jumpedFrom;
  // Its own instructions' bytes in address order, those that hold a code address (LJMP, LCALL
  // and MOV DPTR,# operands, AJMP's and ACALL's 11 bits) set aside: code that moved, unchanged,
  // keeps its content.
  uint64_t content = 0;
};

using OpcodeCount = std::pair<uint8_t, int32_t>;

// The functions, ascending by address, and the opcode counts of all of them in one list: a
// random image has thousands of functions, and a list each would cost more than finding them.
struct FunctionProfiles {
  std::vector<FunctionProfile> functions;
  std::vector<OpcodeCount> opcodes;
  std::vector<Edge> edges;

  std::span<const OpcodeCount> opcodesOf(const FunctionProfile& function) const {
    return std::span(opcodes).subspan(function.firstOpcode, function.opcodeCount);
  }
  std::span<const Edge> edgesOf(EdgeSpan span) const {
    return std::span(edges).subspan(span.first, span.count);
  }
};

// What starts a function, besides a call target.
struct FunctionStarts {
  uint16_t reset = 0;
  std::vector<uint16_t> vectors;  // taken
  std::vector<uint16_t> entries;
  bool contents = false;  // each function's content too, for a comparison
};

// The functions of the `instructions` that the follow sweep `trace` counted in `region`, whose
// calls are `calls`. The trace's marks gain those of the functions.
FunctionProfiles profileFunctions(const SweepInput& input, const Region& region, FollowTrace& trace,
                                  int64_t instructions, const FunctionStarts& starts,
                                  const SymbolTable& symbols, const CallTable& calls);

std::string_view kindName(FunctionKind kind);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_FUNCTIONS_H_
