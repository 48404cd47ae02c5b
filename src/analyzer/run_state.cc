#include "analyzer/run_state.h"

namespace opfreq {

RunState::RunState() {
  for (int32_t op = 0; op < 256; ++op) rankOrder[static_cast<size_t>(op)] = op;
}

}  // namespace opfreq
