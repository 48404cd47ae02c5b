#include "analyzer/compare.h"

#include <gtest/gtest.h>

namespace opfreq {
namespace {

FunctionProfile function(uint16_t address, std::string name, int64_t bytes) {
  FunctionProfile f;
  f.address = address;
  f.name = std::move(name);
  f.bytes = bytes;
  return f;
}

TEST(Compare, NamesMatchWhereverTheyMovedTheRestByAddress) {
  Build old{"old",
            0,
            {},
            {function(0x10, "_main", 40), function(0x40, "", 8), function(0x50, "", 6),
             function(0x60, "_gone", 5)}};
  Build now{"new",
            0,
            {},
            {function(0x10, "", 8), function(0x18, "_main", 40), function(0x50, "", 9),
             function(0x70, "_came", 5)}};
  const std::vector<Change> changes = changesBetween(old, now);
  // _main moved but kept its size: no change. 0050h grew by 3; 0040h went and 0010h came, as
  // functions without a name are the same only at the same address. Largest first.
  ASSERT_EQ(changes.size(), 5u);
  EXPECT_EQ(changes[0], (Change{"", std::nullopt, 0x0010, std::nullopt, 8}));
  EXPECT_EQ(changes[1], (Change{"", 0x0040, std::nullopt, 8, std::nullopt}));
  // Equal changes: the named first, by name; then by the new address, then the old.
  EXPECT_EQ(changes[2], (Change{"_came", std::nullopt, 0x0070, std::nullopt, 5}));
  EXPECT_EQ(changes[3], (Change{"_gone", 0x0060, std::nullopt, 5, std::nullopt}));
  EXPECT_EQ(changes[4], (Change{"", 0x0050, 0x0050, 6, 9}));
}

}  // namespace
}  // namespace opfreq
