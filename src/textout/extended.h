// Extended: a binary floating-point value with a 64-bit significand, computed in plain
// integer arithmetic so that every host produces the same bits.
//
// The report's arithmetic is defined as "compute with a 64-bit significand, round to nearest
// even, then store as a double or a single". Hardware that offers such a format (the x87
// `long double`) is not available everywhere, so this type reproduces it exactly: each
// operation takes its operands exactly, rounds the true result once to 64 significant bits,
// and `toDouble` / `toFloat` round that again to 53 or 24 bits (nearest even, with subnormal
// results and overflow to infinity as IEEE 754 defines them).
//
// The exponent range is unbounded: the operands are doubles and singles and the chains are a
// few operations long, so the x87 format's own exponent limits are never reached.
// Infinities and NaN are not modelled; callers handle them before they get here.
#ifndef OPFREQ_TEXTOUT_EXTENDED_H_
#define OPFREQ_TEXTOUT_EXTENDED_H_

#include <cstdint>

namespace opfreq {

class Extended {
 public:
  constexpr Extended() = default;
  // Exact; `value` must be finite.
  static Extended fromDouble(double value);
  static Extended fromInt(int64_t value);

  friend Extended operator+(const Extended& a, const Extended& b);
  friend Extended operator-(const Extended& a, const Extended& b);
  friend Extended operator*(const Extended& a, const Extended& b);
  // `b` must not be zero.
  friend Extended operator/(const Extended& a, const Extended& b);

  double toDouble() const;
  float toFloat() const;
  // Truncates toward zero; the value must lie within the range of int64_t.
  int64_t truncToInt64() const;

  bool isZero() const { return significand_ == 0; }
  bool isNegative() const { return negative_; }
  // value = (-1)^negative * significand * 2^exponent, significand's top bit set unless zero.
  uint64_t significand() const { return significand_; }
  int32_t exponent() const { return exponent_; }

 private:
  double toBinary(int precision, int minExponent, int maxExponent) const;

  bool negative_ = false;
  int32_t exponent_ = 0;
  uint64_t significand_ = 0;

  friend struct ExtendedBuilder;
};

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_EXTENDED_H_
