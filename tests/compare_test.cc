#include "analyzer/compare.h"

#include <gtest/gtest.h>

namespace opfreq {
namespace {

FunctionProfile function(uint16_t address, std::string name, int64_t bytes, uint64_t content = 0) {
  FunctionProfile f;
  f.address = address;
  f.name = std::move(name);
  f.bytes = bytes;
  f.content = content;
  return f;
}

Build build(std::vector<FunctionProfile> functions) {
  Build b;
  b.functions = std::move(functions);
  return b;
}

TEST(Compare, NamesThenContentThenAddressesMatch) {
  // _main grew and moved the unnamed routines after it; 0040h's content is 0050h's in the new
  // build, 0050h's is 0060h's. _dup is named twice in each: first with first. 0070h changed.
  const Build old =
      build({function(0x10, "_main", 40), function(0x38, "_dup", 4), function(0x3C, "_dup", 4),
             function(0x40, "", 8, 1), function(0x48, "", 6, 2), function(0x70, "", 5, 3),
             function(0x80, "_gone", 5)});
  const Build now =
      build({function(0x10, "_main", 48), function(0x38, "_dup", 4), function(0x3C, "_dup", 7),
             function(0x50, "", 8, 1), function(0x58, "", 6, 2), function(0x70, "", 9, 4),
             function(0x90, "_came", 5)});
  EXPECT_EQ(changesBetween(old, now),
            (std::vector<Change>{
                {"_main", 0x10, 0x10, 40, 48},
                // Equal changes: the named first, by name, then by the new address and the old.
                {"_came", std::nullopt, 0x90, std::nullopt, 5},
                {"_gone", 0x80, std::nullopt, 5, std::nullopt},
                {"", 0x70, 0x70, 5, 9},
                {"_dup", 0x3C, 0x3C, 4, 7},
            }));
}

TEST(Compare, ContentMatchesFirstWithFirstAndTheRestByAddress) {
  // Two routines of one content in each: matched in address order, unchanged. A third of that
  // content in the new build came; by address, it meets nothing.
  const Build old = build({function(0x20, "", 6, 7), function(0x30, "", 6, 7)});
  const Build now = build({function(0x24, "", 6, 7), function(0x34, "", 6, 7),
                           function(0x40, "", 6, 7), function(0x20, "", 3, 9)});
  EXPECT_EQ(changesBetween(old, now),
            (std::vector<Change>{{"", std::nullopt, 0x40, std::nullopt, 6},
                                 {"", std::nullopt, 0x20, std::nullopt, 3}}));
}

}  // namespace
}  // namespace opfreq
