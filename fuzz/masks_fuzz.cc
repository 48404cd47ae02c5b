// Arbitrary masks and values (any 64-bit pattern as a double, any 32-bit one as a single)
// through the mask engine. Input: a mask, a 0 byte, then 9-byte records of a kind byte and
// the value's bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "textout/number_mask.h"

namespace {

class CountingSink : public opfreq::ByteSink {
 public:
  int write(std::string_view bytes) override {
    if (bytes.empty()) std::abort();  // empty pieces are never handed over
    written += bytes.size();
    return 0;
  }
  size_t written = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view mask = input.substr(0, split);
  std::string_view values = split == std::string_view::npos ? "" : input.substr(split + 1);
  CountingSink sink;
  opfreq::OutputStream out(sink);
  opfreq::MaskPrinter printer(out);
  printer.beginMask(mask);
  while (values.size() >= 9) {
    if (values[0] & 1) {
      float single = 0;
      std::memcpy(&single, values.data() + 1, sizeof single);
      printer.putNumber(single);
    } else {
      double value = 0;
      std::memcpy(&value, values.data() + 1, sizeof value);
      printer.putNumber(value);
    }
    values.remove_prefix(9);
  }
  printer.endMask(values.size() % 2 == 1);
  // Nothing renders without bound: a field is its mask bytes plus at most a double's digits.
  if (sink.written > 1024 * (size + 1)) std::abort();
  return 0;
}
