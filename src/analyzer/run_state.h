// RunState: the counts of one sweep. The sweep fills opcodeCount (by opcode value), calls and
// acallCount; the legacy sweep also sets fileSize and lastOffset, which its report reads.
#ifndef OPFREQ_ANALYZER_RUN_STATE_H_
#define OPFREQ_ANALYZER_RUN_STATE_H_

#include <array>
#include <cstdint>

#include "analyzer/call_targets.h"
#include "analyzer/opcode_table.h"

namespace opfreq {

// The legacy sweep starts instructions in the first 64 KiB only; the last one may need two
// operand bytes beyond that.
constexpr size_t kCodeWindow = kCodeSpace + 2;

struct RunState {
  std::array<int32_t, 256> opcodeCount{};  // by opcode value
  CallTable calls;
  int32_t acallCount = 0;
  int32_t fileSize = 0;
  int32_t lastOffset = 0;  // highest offset at which an instruction may start
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_RUN_STATE_H_
