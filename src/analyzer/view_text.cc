#include "analyzer/view_text.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "textout/text_escape.h"

namespace opfreq {

ViewText& ViewText::raw(std::string_view text) {
  makeRoom(text.size());
  if (text.size() > bytes_.size()) {
    out_.writeText(text);
  } else {
    std::memcpy(end_, text.data(), text.size());
    end_ += text.size();
  }
  return *this;
}

ViewText& ViewText::escaped(std::string_view text, void (*escape)(std::string&, std::string_view)) {
  scratch_.clear();
  escape(scratch_, text);
  return raw(scratch_);
}

ViewText& ViewText::longNumber(int64_t value) {
  makeRoom(kNumberRoom);
  if (value < 0 || value > UINT32_MAX) {
    end_ = std::to_chars(end_, end_ + kNumberRoom, value).ptr;
    return *this;
  }
  // An address or a count of a few digits, which a general conversion takes far longer over:
  // two digits a step, right-aligned in a scratch buffer that is copied whole.
  static constexpr auto kPairs = [] {
    std::array<char, 200> pairs{};
    for (size_t i = 0; i < 100; ++i) {
      pairs[2 * i] = static_cast<char>('0' + i / 10);
      pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
  }();
  constexpr size_t kEnd = 16;  // and a copy of 16 bytes from the first digit still fits
  std::array<char, 2 * kEnd> digits{};
  size_t first = kEnd;
  for (auto rest = static_cast<uint32_t>(value);;) {
    first -= 2;
    std::memcpy(&digits[first], &kPairs[size_t{2} * (rest % 100)], 2);
    rest /= 100;
    if (rest == 0) break;
  }
  if (digits[first] == '0') ++first;  // an odd number of digits (the value is 10 or more)
  std::memcpy(end_, &digits[first], kEnd);
  end_ += kEnd - first;
  return *this;
}

ViewText& ViewText::hex(uint32_t value, int digits) { return raw(hexDigits(value, digits)); }

ViewText& ViewText::padded(int64_t value, size_t width) {
  // Right to left into a field of blanks, copied whole.
  makeRoom(kNumberRoom);
  char field[kNumberRoom];
  std::memset(field, ' ', sizeof field);
  char* first = field + sizeof field;
  auto rest = static_cast<uint64_t>(value < 0 ? -value : value);
  do {
    *--first = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) *--first = '-';
  first = std::min(first, field + sizeof field - std::min(width, sizeof field));
  const auto length = static_cast<size_t>(field + sizeof field - first);
  std::memcpy(end_, first, length);
  end_ += length;
  return *this;
}

void ViewText::flush() {
  out_.writeText(std::string_view(bytes_.data(), static_cast<size_t>(end_ - bytes_.data())));
  end_ = bytes_.data();
}

}  // namespace opfreq
