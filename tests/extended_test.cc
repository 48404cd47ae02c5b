#include "textout/extended.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace opfreq {
namespace {

Extended ext(double v) { return Extended::fromDouble(v); }

TEST(Extended, RoundsEachStepOnceThenAgainWhenStored) {
  struct Row {
    const char* what;
    Extended value;
    double stored;
  };
  const Row rows[] = {
      {"1/3", ext(1) / ext(3), 1.0 / 3.0},
      {"share 34*100/1702", Extended::fromInt(3400) / Extended::fromInt(1702), 3400.0 / 1702.0},
      {"1 + 1 carries out of the significand", ext(1) + ext(1), 2.0},
      {"exact cancellation", ext(0.1) - ext(0.1), 0.0},
      {"a difference below zero", ext(1) - ext(3.5), -2.5},
      // 2^53 + 1 + 2^-11 is above the double halfway point only by what 64 bits keep:
      // rounded once to 53 bits it goes up, through 64 bits it is a tie and goes to even.
      {"double rounding", Extended::fromInt((int64_t{1} << 53) + 1) + ext(std::ldexp(1, -11)),
       9007199254740992.0},
      {"largest single below 100 widens exactly", ext(99.99999237060546875), 99.99999237060546875},
  };
  for (const Row& row : rows) EXPECT_EQ(row.value.toDouble(), row.stored) << row.what;
  // 1/3 is 0.AAAA... in binary: the bit after the 64 kept ones is set, so the last rounds up.
  EXPECT_EQ((ext(1) / ext(3)).significand(), 0xAAAAAAAAAAAAAAABu);
  EXPECT_EQ((ext(0.125) + ext(2)).toFloat(), 2.125f);
  EXPECT_EQ((ext(0.4) * ext(1e15)).truncToInt64(), 400000000000000);
  EXPECT_EQ((ext(1e300) * ext(1e300)).toDouble(), HUGE_VAL);
  EXPECT_EQ((ext(DBL_MIN) * ext(0.25)).toDouble(), DBL_MIN / 4);  // subnormal, exact
  EXPECT_EQ((ext(5e-324) * ext(0.5)).toDouble(), 0.0);            // tie to even zero
  EXPECT_EQ((ext(5e-324) * ext(0.75)).toDouble(), 5e-324);
}

// The x87 format is the reference: where `long double` is that format, every operation of the
// type must give the very bits that it gives.
class HardwareCrossCheck : public ::testing::Test {
 protected:
  struct Operand {
    Extended value;
    long double hardware;
  };

  // Full 64-bit significands at any exponent, near powers of two, small integers and plain
  // doubles, so that ties and carries at both 64 and 53 bits come up often.
  Operand next() {
    const uint64_t bits = random_();
    switch (random_() % 5) {
      case 0: {
        const auto r = static_cast<int64_t>(bits);
        const int scale = static_cast<int>(random_() % 200) - 100;
        return {Extended::fromInt(r) * ext(std::ldexp(1.0, scale)),
                static_cast<long double>(r) * std::ldexp(1.0L, scale)};
      }
      case 1: {
        const int64_t offset = static_cast<int64_t>(random_() % 9) - 4;
        const auto r =
            static_cast<int64_t>((uint64_t{1} << (random_() % 63)) + static_cast<uint64_t>(offset));
        return {Extended::fromInt(r), static_cast<long double>(r)};
      }
      case 2: {
        const auto r = static_cast<int64_t>(bits % 20001) - 10000;
        return {Extended::fromInt(r), static_cast<long double>(r)};
      }
      default: {
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d)) d = 1.5;
        return {ext(d), d};
      }
    }
  }

  static void expectSame(const Extended& value, long double hardware, const char* op) {
    if (hardware == 0) {
      ASSERT_TRUE(value.isZero()) << op;
      return;
    }
    int exponent = 0;
    const long double mantissa = std::frexp(std::fabs(hardware), &exponent);
    const auto significand = static_cast<uint64_t>(std::ldexp(mantissa, 64));
    ASSERT_EQ(value.isNegative(), hardware < 0) << op;
    ASSERT_EQ(value.significand(), significand) << op;
    ASSERT_EQ(value.exponent(), exponent - 64) << op;
    ASSERT_EQ(value.toDouble(), static_cast<double>(hardware)) << op;
    ASSERT_EQ(value.toFloat(), static_cast<float>(hardware)) << op;
    if (std::fabs(hardware) < 9.2e18L) {
      ASSERT_EQ(value.truncToInt64(), static_cast<int64_t>(hardware)) << op;
    }
  }

  std::mt19937_64 random_{20261206};
};

constexpr int kOperandsPerOperation = 1 << 20;

TEST_F(HardwareCrossCheck, MultiplyDivideAddSubtractAndStoreAgree) {
  if (LDBL_MANT_DIG != 64) {
    GTEST_SKIP() << "long double here has " << LDBL_MANT_DIG
                 << " significand bits, not the x87 format's 64: no hardware to check against";
  }
  for (int n = 0; n < kOperandsPerOperation; ++n) {
    const Operand a = next();
    const Operand b = next();
    expectSame(a.value * b.value, a.hardware * b.hardware, "multiply");
    expectSame(a.value + b.value, a.hardware + b.hardware, "add");
    expectSame(a.value - b.value, a.hardware - b.hardware, "subtract");
    if (b.hardware != 0) expectSame(a.value / b.value, a.hardware / b.hardware, "divide");
    if (HasFatalFailure()) {
      ADD_FAILURE() << "operands " << static_cast<double>(a.hardware) << ", "
                    << static_cast<double>(b.hardware);
      return;
    }
  }
}

}  // namespace
}  // namespace opfreq
