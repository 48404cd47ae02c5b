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

// hi:lo divided by v, where v has its top bit set and hi < v: the 64-bit quotient, and the
// remainder. Knuth's algorithm D with 32-bit digits, in the form of Hacker's Delight (divlu);
// products wrap modulo 2^64 where the algorithm allows it.
uint64_t divide128(uint64_t hi, uint64_t lo, uint64_t v, uint64_t& remainder) {
  constexpr uint64_t kBase = uint64_t{1} << 32;
  const uint64_t vn1 = v >> 32;
  const uint64_t vn0 = v & 0xFFFFFFFFu;
  const uint64_t un1 = lo >> 32;
  const uint64_t un0 = lo & 0xFFFFFFFFu;
  uint64_t q1 = hi / vn1;
  uint64_t rhat = hi - q1 * vn1;
  while (q1 >= kBase || q1 * vn0 > kBase * rhat + un1) {
    --q1;
    rhat += vn1;
    if (rhat >= kBase) break;
  }
  const uint64_t un21 = hi * kBase + un1 - q1 * v;
  uint64_t q0 = un21 / vn1;
  rhat = un21 - q0 * vn1;
  while (q0 >= kBase || q0 * vn0 > kBase * rhat + un0) {
    --q0;
    rhat += vn1;
    if (rhat >= kBase) break;
  }
  remainder = un21 * kBase + un0 - q0 * v;
  return q1 * kBase + q0;
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
  const auto bits = std::bit_cast<uint64_t>(value);
  const auto biased = static_cast<int32_t>((bits >> 52) & 0x7FF);
  uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased == 0 && fraction == 0) return r;
  r.negative_ = (bits >> 63) != 0;
  if (biased != 0) fraction |= uint64_t{1} << 52;  // the implicit leading bit of a normal double
  const int zeros = std::countl_zero(fraction);
  r.significand_ = fraction << zeros;
  // value = fraction * 2^(biased - 1075), subnormals counting as biased 1
  r.exponent_ = (biased == 0 ? 1 : biased) - 1075 - zeros;
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
                                multiply(a.significand_, b.significand_), a.exponent_ + b.exponent_,
                                false);
}

Extended operator/(const Extended& a, const Extended& b) {
  if (a.isZero()) return Extended{};
  // The quotient of the significands, sa * 2^64 / sb, has 64 or 65 bits; one more bit when it
  // has 64 leaves a guard bit for rounding, and the remainder says whether anything follows.
  const uint64_t sa = a.significand_;
  const uint64_t sb = b.significand_;
  const bool high = sa >= sb;
  uint64_t remainder = 0;
  const uint64_t low = divide128(high ? sa - sb : sa, 0, sb, remainder);
  const bool negative = a.negative_ != b.negative_;
  const int32_t exponent = a.exponent_ - b.exponent_ - 64;
  if (high) return ExtendedBuilder::round(negative, U128{1, low}, exponent, remainder != 0);
  const bool bit = (remainder >> 63) != 0 || (remainder << 1) >= sb;
  const uint64_t rest = (remainder << 1) - (bit ? sb : 0);
  return ExtendedBuilder::round(negative, U128{low >> 63, (low << 1) | (bit ? 1u : 0u)},
                                exponent - 1, rest != 0);
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
