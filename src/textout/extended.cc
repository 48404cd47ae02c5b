#include "textout/extended.h"

#include <bit>
#include <cmath>
#include <limits>

namespace opfreq {
namespace {

// Just enough of a 128-bit unsigned integer for exact products, aligned sums and long division.
struct U128 {
  uint64_t hi = 0;
  uint64_t lo = 0;

  bool isZero() const { return hi == 0 && lo == 0; }
  int topBit() const {  // index of the highest set bit; the value must not be zero
    return hi != 0 ? 127 - std::countl_zero(hi) : 63 - std::countl_zero(lo);
  }
  friend bool operator>=(const U128& a, const U128& b) {
    return a.hi != b.hi ? a.hi > b.hi : a.lo >= b.lo;
  }
  friend U128 operator+(const U128& a, const U128& b) {
    U128 r{a.hi + b.hi, a.lo + b.lo};
    if (r.lo < a.lo) ++r.hi;
    return r;
  }
  friend U128 operator-(const U128& a, const U128& b) {
    U128 r{a.hi - b.hi, a.lo - b.lo};
    if (a.lo < b.lo) --r.hi;
    return r;
  }
  U128 shl(int n) const {
    if (n == 0) return *this;
    if (n >= 128) return {};
    if (n >= 64) return {lo << (n - 64), 0};
    return {(hi << n) | (lo >> (64 - n)), lo << n};
  }
  U128 shr(int n) const {
    if (n == 0) return *this;
    if (n >= 128) return {};
    if (n >= 64) return {0, hi >> (n - 64)};
    return {hi >> n, (lo >> n) | (hi << (64 - n))};
  }
  // The bits that shr(n) drops, as a value.
  U128 lowBits(int n) const {
    if (n >= 128) return *this;
    if (n >= 64) return {hi & ((uint64_t{1} << (n - 64)) - 1), lo};
    return {0, n == 0 ? 0 : lo & ((uint64_t{1} << n) - 1)};
  }
};

U128 multiply(uint64_t a, uint64_t b) {
  const uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
  const uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
  const uint64_t ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
  const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
  return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & 0xFFFFFFFFu)};
}

}  // namespace

struct ExtendedBuilder {
  // Rounds m * 2^exponent (plus a nonzero amount below bit 0 of m when `sticky`) to 64
  // significant bits, nearest even.
  static Extended round(bool negative, U128 m, int32_t exponent, bool sticky) {
    Extended r;
    if (m.isZero()) return r;  // callers never pass a zero m with sticky set
    r.negative_ = negative;
    const int top = m.topBit();
    if (top <= 63) {
      r.significand_ = m.lo << (63 - top);
      r.exponent_ = exponent - (63 - top);
      return r;
    }
    const int drop = top - 63;
    uint64_t kept = m.shr(drop).lo;
    const U128 rest = m.lowBits(drop);
    const U128 half = U128{0, 1}.shl(drop - 1);
    const bool above = !(half >= rest) || (rest.hi == half.hi && rest.lo == half.lo && sticky);
    const bool tie = rest.hi == half.hi && rest.lo == half.lo && !sticky;
    exponent += drop;
    if (above || (tie && (kept & 1) != 0)) {
      ++kept;
      if (kept == 0) {  // carried out of 64 bits
        kept = uint64_t{1} << 63;
        ++exponent;
      }
    }
    r.significand_ = kept;
    r.exponent_ = exponent;
    return r;
  }

  static Extended addMagnitudes(const Extended& a, const Extended& b, bool subtract) {
    // Larger magnitude first, so that a subtraction never goes negative.
    const bool aLarger = a.exponent_ > b.exponent_ ||
                         (a.exponent_ == b.exponent_ && a.significand_ >= b.significand_);
    const Extended& big = aLarger ? a : b;
    const Extended& small = aLarger ? b : a;
    const bool negative = aLarger ? a.negative_ : (subtract ? !a.negative_ : a.negative_);
    const U128 x{big.significand_, 0};
    const int64_t distance = int64_t{big.exponent_} - small.exponent_;
    U128 y{small.significand_, 0};
    bool sticky = false;
    if (distance >= 128) {
      sticky = small.significand_ != 0;
      y = {};
    } else {
      const int n = static_cast<int>(distance);
      sticky = !y.lowBits(n).isZero();
      y = y.shr(n);
    }
    // 64 guard bits below the larger operand make the jammed sticky bit exact enough for
    // correct rounding of both sums and differences.
    if (sticky) y.lo |= 1;
    const U128 m = subtract ? x - y : x + y;
    // A carry out of x + y would need bit 128; shift it in first.
    if (!subtract && m.hi < x.hi) {
      const bool lost = (m.lo & 1) != 0;
      U128 shifted = m.shr(1);
      shifted.hi |= uint64_t{1} << 63;
      return round(negative, shifted, big.exponent_ - 63, lost);
    }
    if (m.isZero()) return Extended{};
    return round(negative, m, big.exponent_ - 64, false);
  }
};

Extended Extended::fromDouble(double value) {
  Extended r;
  if (value == 0) return r;
  int e = 0;
  const double mantissa = std::frexp(std::fabs(value), &e);  // [0.5, 1)
  r.negative_ = value < 0;
  r.significand_ = static_cast<uint64_t>(std::ldexp(mantissa, 53)) << 11;
  r.exponent_ = e - 64;
  return r;
}

Extended Extended::fromInt(int64_t value) {
  Extended r;
  if (value == 0) return r;
  r.negative_ = value < 0;
  const uint64_t magnitude =
      value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
  const int zeros = std::countl_zero(magnitude);
  r.significand_ = magnitude << zeros;
  r.exponent_ = -zeros;
  return r;
}

Extended operator+(const Extended& a, const Extended& b) {
  if (a.isZero()) return b;
  if (b.isZero()) return a;
  return ExtendedBuilder::addMagnitudes(a, b, a.negative_ != b.negative_);
}

Extended operator-(const Extended& a, const Extended& b) {
  Extended negated = b;
  negated.negative_ = !b.negative_;
  return a + negated;
}

Extended operator*(const Extended& a, const Extended& b) {
  if (a.isZero() || b.isZero()) return Extended{};
  return ExtendedBuilder::round(a.negative_ != b.negative_,
                                multiply(a.significand_, b.significand_),
                                a.exponent_ + b.exponent_, false);
}

Extended operator/(const Extended& a, const Extended& b) {
  if (a.isZero()) return Extended{};
  // Long division: 67 quotient bits (one integer bit, 64 significant, guard and round) and
  // the remainder as the sticky bit.
  const U128 divisor{0, b.significand_};
  U128 remainder{0, a.significand_};
  U128 quotient;
  for (int i = 0; i < 67; ++i) {
    quotient = quotient.shl(1);
    if (remainder >= divisor) {
      remainder = remainder - divisor;
      quotient.lo |= 1;
    }
    remainder = remainder.shl(1);
  }
  return ExtendedBuilder::round(a.negative_ != b.negative_, quotient,
                                a.exponent_ - b.exponent_ - 66, !remainder.isZero());
}

double Extended::toBinary(int precision, int minExponent, int maxExponent) const {
  if (significand_ == 0) return negative_ ? -0.0 : 0.0;
  const double sign = negative_ ? -1.0 : 1.0;
  const int64_t lead = int64_t{exponent_} + 63;  // exponent of the leading bit
  if (lead > maxExponent) return sign * std::numeric_limits<double>::infinity();
  const int64_t keep = lead >= minExponent ? precision : precision - (minExponent - lead);
  if (keep < 0) return sign * 0.0;
  uint64_t kept = 0;
  bool roundUp = false;
  if (keep == 0) {
    roundUp = significand_ > (uint64_t{1} << 63);  // above half the smallest subnormal
  } else {
    const int drop = 64 - static_cast<int>(keep);
    kept = significand_ >> drop;
    const uint64_t rest = significand_ & ((uint64_t{1} << drop) - 1);
    const uint64_t half = uint64_t{1} << (drop - 1);
    roundUp = rest > half || (rest == half && (kept & 1) != 0);
  }
  if (roundUp) ++kept;
  const int scale = static_cast<int>(int64_t{exponent_} + 64 - keep);
  const double magnitude = std::ldexp(static_cast<double>(kept), scale);
  if (std::ilogb(magnitude) > maxExponent) return sign * std::numeric_limits<double>::infinity();
  return sign * magnitude;
}

double Extended::toDouble() const { return toBinary(53, -1022, 1023); }

float Extended::toFloat() const { return static_cast<float>(toBinary(24, -126, 127)); }

int64_t Extended::truncToInt64() const {
  if (significand_ == 0 || exponent_ <= -64) return 0;
  const uint64_t magnitude = exponent_ < 0 ? significand_ >> -exponent_ : significand_ << exponent_;
  return negative_ ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

}  // namespace opfreq
