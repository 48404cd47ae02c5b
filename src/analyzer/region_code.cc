#include "analyzer/region_code.h"

#include <cstring>

#include "analyzer/code_scanner.h"

namespace opfreq {

TraceMarks regionMarks(const SweepInput& input, const Region& region) {
  const size_t size = region.size();
  TraceMarks trace{clearMarks(size)};
  RegionMark* marks = trace.marks.get();
  const uint8_t* bytes = input.bytes.data() + region.from;
  const auto from = static_cast<size_t>(region.from);
  // Each run of written bytes (the whole region of a binary), the bytes between them blocked.
  for (size_t first = 0; first < size;) {
    size_t start = first;
    size_t end = size;
    if (input.written != nullptr) {
      start = input.written->next(from + first, from + size, true) - from;
      end = input.written->next(from + start, from + size, false) - from;
      std::memset(marks + first, kBlocked, start - first);
      trace.blocked = trace.blocked || start > first;
    }
    // The runs of fill in it.
    for (size_t at = start; at < end;) {
      const void* found = std::memchr(bytes + at, kMovR7A, end - at);
      if (found == nullptr) break;
      const auto fill = static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes);
      const size_t past = fill + sweep_detail::runLength(bytes, fill, end - 1);
      if (past - fill >= kFillRun) {
        std::memset(marks + fill, kBlocked, past - fill);
        trace.blocked = true;
      }
      at = past;
    }
    first = end;
  }
  return trace;
}

}  // namespace opfreq
