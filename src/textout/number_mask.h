// Number masks: numbers rendered into fixed columns described by a mask text such as
// "# ##### ##### ##.##%", where runs of '#' are digit positions and most other bytes are
// printed as they stand.
//
// MaskPrinter walks one mask field by field as values arrive (beginMask, putNumber...,
// endMask) and writes each piece through an OutputStream. A value that does not fit its field
// is shifted by a power of ten and followed by a scale marker ("10.00%e+1" for 100 in
// "##.##", "40.00%e-4" for 0.004), or shown wider than the field; nothing is ever cut.
// Rounding is deliberately not round-half-even: a fraction is rounded up only when it lies
// above the half by more than a hair (2.5 gives 2, 0.125 gives 0.12). All arithmetic runs in
// the host-independent Extended type, so every platform writes the same bytes.
//
// Choices for inputs the report never produces, pinned by tests:
// - a negative value takes one integer position for its '-' (when the field has one);
// - infinities and NaN render as "inf" and "nan" in the integer positions;
// - integer digits that have no position in the field are shown all the same;
// - a fraction that rounds up to a whole unit carries into the integer part;
// - a '_' at the very end of a mask is printed; '!', '&' and '\' make an empty field.
#ifndef OPFREQ_TEXTOUT_NUMBER_MASK_H_
#define OPFREQ_TEXTOUT_NUMBER_MASK_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq {

struct MaskField {
  int32_t integerPlaces = 0;
  int32_t decimalPlaces = -1;  // -1: no point; 0: a point with no '#' behind it
  bool groupThousands = false;
  bool currencySign = false;
  bool leadingSign = false;
  bool trailingSign = false;
  bool trailingComma = false;
  bool exponentForm = false;
  char fillChar = ' ';
  int32_t exponentPlaces = 0;
};

// The mask text and how far it has been read.
struct NumberMask {
  std::string text;
  size_t cursor = 0;
};

// Decimal places a value can show: doubles 16, singles 7.
constexpr int32_t kMaxDecimalsDouble = 16;
constexpr int32_t kMaxDecimalsSingle = 7;

// Reads the literal run at mask.cursor and returns the bytes it prints.
std::string takeLiteralRun(NumberMask& mask);
// Parses the field at mask.cursor; the byte that ends it stays unread.
MaskField takeField(NumberMask& mask);
// The text of one value in one field.
std::string renderNumber(double value, MaskField field, int32_t maxDecimals);
// A single is shown through a double nudged up by a unit far below its shown digits, so that
// singles that are exact halves round up.
double nudgeSingle(float value);

class MaskPrinter {
 public:
  explicit MaskPrinter(OutputStream& out) : out_(out) {}

  void beginMask(std::string_view mask);
  void putNumber(double value);
  void putNumber(float value);
  void endMask(bool lineEnd);

 private:
  void put(double value, int32_t maxDecimals);
  void writeLiteral(std::string_view text);

  OutputStream& out_;
  NumberMask mask_;
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_NUMBER_MASK_H_
