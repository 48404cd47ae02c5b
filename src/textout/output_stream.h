// OutputStream: the one text sink of the tool. Every byte of the report and the usage text
// goes through writeText, writeInteger and writeLineEnd, which add nothing but the CR LF line
// terminator and the blank in front of a non-negative integer.
//
// Nothing is buffered here: each call hands its bytes to the ByteSink before it returns, so a
// prompt is on the screen before a key wait begins. A failed write does not stop the caller;
// the stream remembers the first failure so that the run can end with a non-zero status.
#ifndef OPFREQ_TEXTOUT_OUTPUT_STREAM_H_
#define OPFREQ_TEXTOUT_OUTPUT_STREAM_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace opfreq {

// Where the bytes end up: standard output in the program, memory in tests.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all of `bytes` or fails; returns 0 or an errno value describing the failure.
  virtual int write(std::string_view bytes) = 0;
  // The same for text in code page 866: a file or a pipe gets these bytes, while a screen that
  // shows another encoding may be given the characters they stand for instead.
  virtual int writeCodePage866(std::string_view bytes) { return write(bytes); }
};

// Keeps what is written, in memory.
class StringSink : public ByteSink {
 public:
  int write(std::string_view bytes) override {
    text.append(bytes);
    return 0;
  }
  std::string text;
};

class OutputStream {
 public:
  static constexpr std::string_view kLineEnd = "\r\n";

  explicit OutputStream(ByteSink& sink) : sink_(sink) {}

  void writeText(std::string_view text, bool lineEnd = false);
  // Text in code page 866 (see ByteSink::writeCodePage866).
  void writeCodePage866(std::string_view text, bool lineEnd = false);
  // The C library's "% d" form: a blank or '-', then the decimal digits.
  void writeInteger(int32_t value, bool lineEnd = false);
  void writeLineEnd();

  // errno value of the first failed write, 0 while every write succeeded.
  int firstError() const { return firstError_; }
  // Whether any byte was handed on, written or not.
  bool wroteAny() const { return wroteAny_; }

 private:
  void put(std::string_view bytes, bool codePage866 = false);

  ByteSink& sink_;
  int firstError_ = 0;
  bool wroteAny_ = false;
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_OUTPUT_STREAM_H_
