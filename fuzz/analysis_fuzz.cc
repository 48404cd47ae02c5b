// Any bytes, analysed as an image of that length: the report must keep its shape.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "analyzer/driver.h"

namespace {

class MemorySink : public opfreq::ByteSink {
 public:
  int write(std::string_view bytes) override {
    text.append(bytes);
    return 0;
  }
  std::string text;
};

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > opfreq::kMaxFileSize) return 0;
  opfreq::CodeImage image{};
  for (size_t i = 0; i < size && i < image.size(); ++i) image[i] = data[i];
  MemorySink sink;
  opfreq::OutputStream out(sink);
  opfreq::analyseImage("fuzz.bin", image, static_cast<int32_t>(size), out);

  // Every line ends in CR LF; after the file name, the warnings and the 23 fixed lines come at
  // most eight call lines, in ascending address order.
  std::string_view report = sink.text;
  int lines = 0;
  std::string previousAddress;
  for (size_t end; (end = report.find("\r\n")) != std::string_view::npos; ++lines) {
    const std::string_view line = report.substr(0, end);
    check(line.find('\n') == std::string_view::npos);
    if (line.size() == 27 && line.substr(5, 18) == " times to address ") {
      check(std::string(line.substr(23)) > previousAddress);
      previousAddress = line.substr(23);
    }
    report.remove_prefix(end + 2);
  }
  check(report.empty());
  const int warnings = (data[0] != 0x02) + (size > 65536);
  check(lines >= 24 + warnings && lines <= 32 + warnings);
  return 0;
}
