// OffsetSet: a set of image offsets, one bit each, that can be walked run by run. The record
// text reader marks the offsets that records write in one; the sweeps keep what they counted
// in others.
#ifndef OPFREQ_FILEIN_OFFSET_SET_H_
#define OPFREQ_FILEIN_OFFSET_SET_H_

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace opfreq {

class OffsetSet {
 public:
  // Offsets 0 to size - 1 can be held; none is in the set. A range that runs past them is cut
  // there.
  explicit OffsetSet(size_t size) : size_(size), words_((size + 63) / 64) {}

  bool contains(size_t offset) const { return (words_[offset / 64] >> offset % 64 & 1) != 0; }
  // How many offsets are in the set.
  size_t count() const {
    size_t count = 0;
    for (const uint64_t word : words_) count += static_cast<size_t>(std::popcount(word));
    return count;
  }
  void add(size_t offset) { words_[offset / 64] |= uint64_t{1} << offset % 64; }
  void add(size_t first, size_t count) {
    for (size_t offset = first, end = std::min(first + count, size_); offset < end;) {
      const size_t bit = offset % 64;
      const size_t bits = std::min<size_t>(64 - bit, end - offset);
      const uint64_t mask = bits == 64 ? ~uint64_t{0} : ((uint64_t{1} << bits) - 1) << bit;
      words_[offset / 64] |= mask;
      offset += bits;
    }
  }
  // The first offset from `offset` on, before `end`, that is in the set (with `in`) or not in
  // it; `end` when there is none.
  size_t next(size_t offset, size_t end, bool in) const {
    while (offset < end) {
      const uint64_t word = in ? words_[offset / 64] : ~words_[offset / 64];
      const uint64_t ahead = word >> offset % 64;
      if (ahead != 0) {
        const size_t found = offset + static_cast<size_t>(std::countr_zero(ahead));
        return found < end ? found : end;
      }
      offset = (offset / 64 + 1) * 64;
    }
    return end;
  }

 private:
  size_t size_;
  std::vector<uint64_t> words_;
};

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_OFFSET_SET_H_
