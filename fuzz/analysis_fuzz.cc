// Any bytes, analysed as an image of that length: the report must keep its shape.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    check(end != std::string_view::npos);  // every line ends in CR LF
    result.push_back(text.substr(0, end));
    check(result.back().find('\n') == std::string_view::npos);
    text.remove_prefix(end + 2);
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > opfreq::kMaxFileSize) return 0;
  opfreq::CodeImage image{};
  for (size_t i = 0; i < size && i < image.size(); ++i) image[i] = data[i];
  MemorySink sink;
  opfreq::OutputStream out(sink);
  opfreq::analyseImage("fuzz.bin", image, static_cast<int32_t>(size), out);

  const std::vector<std::string_view> report = lines(sink.text);
  size_t at = 1;
  if (data[0] != 0x02) check(report.at(at++) == "Warning: possibly not 8051 binary code");
  if (size > 65536) check(report.at(at++) == "Warning:only first 64KB are testing");
  const size_t swept = size < 65536 ? size : 65536;
  check(report.at(at++) == "Total size of code: " + std::to_string(swept));
  at += 2;
  for (int row = 0; row < 16; ++row, ++at) {
    check(report.at(at).size() >= 48 && report.at(at)[2] == ' ' && report.at(at).back() == '%');
  }
  check(report.at(at++).starts_with("first 3 opcodes: "));
  check(report.at(at++).starts_with("ACALL found        "));
  check(report.at(at++).starts_with("Subroutines found: "));
  check(report.at(at++) == "most popular calls are:");
  check(report.size() - at <= 8);
  std::string previous;
  for (; at < report.size(); ++at) {
    const std::string_view line = report[at];
    check(line.size() == 27 && line.substr(5, 18) == " times to address ");
    const std::string address(line.substr(23));
    check(previous.empty() || previous < address);  // ascending, four uppercase hex digits
    previous = address;
  }
  return 0;
}
