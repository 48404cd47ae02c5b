#include "textout/output_stream.h"

#include <array>

namespace opfreq {

void OutputStream::put(std::string_view bytes, bool codePage866) {
  if (bytes.empty()) return;
  wroteAny_ = true;
  const int error = codePage866 ? sink_.writeCodePage866(bytes) : sink_.write(bytes);
  if (error != 0 && firstError_ == 0) firstError_ = error;
}

void OutputStream::writeText(std::string_view text, bool lineEnd) {
  put(text);
  if (lineEnd) put(kLineEnd);
}

void OutputStream::writeCodePage866(std::string_view text, bool lineEnd) {
  put(text, true);
  if (lineEnd) put(kLineEnd);
}

void OutputStream::writeInteger(int32_t value, bool lineEnd) {
  std::array<char, 13> buffer{};  // sign, ten digits, CR LF
  // Digits of the magnitude, computed unsigned so that INT32_MIN needs no special case.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  std::array<char, 10> digits{};
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t length = 0;
  buffer[length++] = value < 0 ? '-' : ' ';
  while (count > 0) buffer[length++] = digits[--count];
  if (lineEnd) {
    buffer[length++] = '\r';
    buffer[length++] = '\n';
  }
  put(std::string_view(buffer.data(), length));
}

void OutputStream::writeLineEnd() { put(kLineEnd); }

}  // namespace opfreq
