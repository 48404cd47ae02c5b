#include "textout/extended.h"

#include <gtest/gtest.h>

namespace opfreq {
namespace {
TEST(Extended, Placeholder) { EXPECT_EQ(Extended::fromInt(3).toDouble(), 3.0); }
}  // namespace
}  // namespace opfreq
