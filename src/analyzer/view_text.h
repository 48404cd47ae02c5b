// The text of the JSON and CSV views, built in a buffer of its own and handed to the output in
// large pieces. A random image has thousands of call targets: appending their rows piece by
// piece to a string costs more than the sweep that found them.
#ifndef OPFREQ_ANALYZER_VIEW_TEXT_H_
#define OPFREQ_ANALYZER_VIEW_TEXT_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq {

class ViewText {
 public:
  explicit ViewText(OutputStream& out) : out_(out) {}
  ~ViewText() { flush(); }
  ViewText(const ViewText&) = delete;
  ViewText& operator=(const ViewText&) = delete;

  // A literal: its length is known when compiled, so it costs a few stores.
  template <size_t N>
  ViewText& put(const char (&text)[N]) {
    static_assert(N - 1 <= kNumberRoom);
    makeRoom(N - 1);
    std::memcpy(end_, text, N - 1);
    end_ += N - 1;
    return *this;
  }
  // Text as it is, already escaped where it needs to be.
  ViewText& raw(std::string_view text);
  // Text escaped by `escape` (appendJsonString, appendCsvField).
  ViewText& escaped(std::string_view text, void (*escape)(std::string&, std::string_view));
  // In decimal. Most counts here are a single digit.
  ViewText& number(int64_t value) {
    if (value < 0 || value > 9) return longNumber(value);
    makeRoom(1);
    *end_++ = static_cast<char>('0' + value);
    return *this;
  }
  // In upper-case hex digits, at least `digits` of them.
  ViewText& hex(uint32_t value, int digits);
  // In decimal, right-aligned in a column `width` characters wide, at most 20.
  ViewText& padded(int64_t value, size_t width);

 private:
  static constexpr size_t kNumberRoom = 24;

  void makeRoom(size_t length) {
    if (static_cast<size_t>(bytes_.data() + bytes_.size() - end_) < length) flush();
  }
  ViewText& longNumber(int64_t value);
  void flush();

  OutputStream& out_;
  std::string scratch_;
  std::array<char, 16384> bytes_;
  char* end_ = bytes_.data();
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_VIEW_TEXT_H_
