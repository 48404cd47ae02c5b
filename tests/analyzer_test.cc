#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "analyzer/call_targets.h"
#include "analyzer/code_scanner.h"
#include "analyzer/opcode_ranking.h"
#include "analyzer/opcode_table.h"
#include "test_support.h"

namespace opfreq {
namespace {

struct Swept {
  std::unique_ptr<RunState> run = std::make_unique<RunState>();
  std::string output;
  std::map<uint16_t, uint16_t> calls;  // every nonzero counter
};

// Sweeps `file` as the driver does: the first kCodeWindow bytes, zeros past the end.
Swept sweep(const std::vector<uint8_t>& file) {
  Swept s;
  auto image = std::make_unique<CodeImage>();
  std::copy_n(file.begin(), std::min(file.size(), image->size()), image->begin());
  s.run->fileSize = static_cast<int32_t>(file.size());
  testing::RecordingSink sink;
  OutputStream out(sink);
  scanCode(*image, *s.run, out);
  s.output = sink.text;
  for (uint32_t a = 0; a < 65536; ++a) {
    if (const uint16_t n = s.run->calls.countOf(static_cast<uint16_t>(a)); n != 0) {
      s.calls[static_cast<uint16_t>(a)] = n;
    }
  }
  return s;
}

std::vector<uint8_t> bytesAt(size_t size, size_t offset, std::vector<uint8_t> bytes) {
  std::vector<uint8_t> file(size, 0x00);
  file[0] = 0x02;
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
  return file;
}

constexpr char kNotCode[] = "Warning: possibly not 8051 binary code\r\n";
constexpr char kOver64k[] = "Warning:only first 64KB are testing\r\n";

TEST(CodeScanner, EdgeCasesOfTheSweep) {
  struct Row {
    const char* what;
    std::vector<uint8_t> file;
    std::string warnings;
    std::map<uint16_t, uint16_t> calls;
  };
  std::vector<uint8_t> twelves(30, 0x12);
  std::vector<uint8_t> twelvesPlusOne(31, 0x12);
  const Row rows[] = {
      {"lone 02: operands read as 0", {0x02}, "", {}},
      {"lone 12", {0x12}, kNotCode, {{0x0000, 1}}},
      {"trailing 12 01", {0x02, 0x00, 0x03, 0x12, 0x01}, "", {{0x0100, 1}}},
      {"last byte 31 at 0010h", bytesAt(0x11, 0x10, {0x31}), "", {{0x0100, 1}}},
      {"11 34 at 07FEh reaches the next page",
       bytesAt(0x800, 0x7FE, {0x11, 0x34}),
       "",
       {{0x0834, 1}}},
      {"11 34 at 07FCh stays in page 0", bytesAt(0x800, 0x7FC, {0x11, 0x34}), "", {{0x0034, 1}}},
      {"31 00 at FFFEh wraps to page 0", bytesAt(65536, 0xFFFE, {0x31, 0x00}), "", {{0x0100, 1}}},
      {"LCALL at FFFFh of 64 KiB", bytesAt(65536, 0xFFFF, {0x12}), "", {{0x0000, 1}}},
      {"byte past the cap read as operand",
       bytesAt(65537, 0xFFFF, {0x12, 0xAB}),
       kOver64k,
       {{0xAB00, 1}}},
      {"3n bytes of 12", twelves, kNotCode, {{0x1212, 10}}},
      {"3n+1 bytes of 12", twelvesPlusOne, kNotCode, {{0x1212, 10}, {0x0000, 1}}},
      {"both warnings, first-byte one first",
       std::vector<uint8_t>(65537, 0xFF),
       std::string(kNotCode) + kOver64k,
       {}},
  };
  for (const Row& row : rows) {
    const Swept s = sweep(row.file);
    EXPECT_EQ(s.output, row.warnings) << row.what;
    EXPECT_EQ(s.calls, row.calls) << row.what;
  }
}

TEST(CodeScanner, CapsTheSweepAt64KiB) {
  const Swept exact = sweep(std::vector<uint8_t>(65536, 0xA5));
  EXPECT_EQ(exact.run->lastOffset, 65535);
  EXPECT_EQ(exact.run->opcodeCount[0xA5], 65536);
  const Swept over = sweep(std::vector<uint8_t>(131072, 0x00));
  EXPECT_EQ(over.run->lastOffset, 65535);
  EXPECT_EQ(over.run->opcodeCount[0x00], 65536);
  const Swept one = sweep({0x02});
  EXPECT_EQ(one.run->lastOffset, 0);
  EXPECT_EQ(one.run->opcodeCount[0x02], 1);
}

TEST(CallTable, SitesMatchTheCounters) {
  // Dense in calls with few distinct operands, so that many addresses are called 3+ times.
  std::mt19937 random(7);
  const uint8_t alphabet[] = {0x11, 0x31, 0x12, 0x00, 0x01, 0x02, 0xF1};
  std::vector<uint8_t> file(65538);
  for (auto& b : file) b = alphabet[random() % std::size(alphabet)];
  const Swept s = sweep(file);
  std::vector<CallSite> all;
  std::vector<CallSite> hot;
  for (const auto& [address, count] : s.calls) {
    all.push_back({address, count});
    if (count >= kHotMinimum) hot.push_back({address, count});
  }
  ASSERT_GT(hot.size(), 8u);
  EXPECT_EQ(s.run->calls.sites(), all);
  EXPECT_EQ(s.run->calls.sites(kHotMinimum), hot);
  EXPECT_EQ(countSubroutines(s.run->calls), static_cast<int32_t>(all.size()));
}

// The sweep exactly as written down: one byte at a time, bytes past the end reading as 0.
struct Reference {
  std::array<int32_t, 256> counts{};
  std::map<uint16_t, uint16_t> calls;
  int32_t acalls = 0;
};

Reference referenceSweep(const std::vector<uint8_t>& file) {
  Reference r;
  size_t next = 0;
  const auto read = [&] { return next < file.size() ? file[next++] : (++next, uint8_t{0}); };
  const int32_t lastOffset = std::min<int32_t>(static_cast<int32_t>(file.size()) - 1, 65535);
  int32_t scanPos = 0;
  while (scanPos <= lastOffset) {
    const uint8_t b = read();
    ++scanPos;
    ++r.counts[b];
    if (b == 0x12) {
      const uint8_t hi = read();
      const uint8_t lo = read();
      scanPos += 2;
      ++r.calls[static_cast<uint16_t>(hi * 256 + lo)];
    } else if ((b & 0x1F) == 0x11) {
      ++r.acalls;
      const uint8_t lo = read();
      scanPos += 1;
      ++r.calls[static_cast<uint16_t>((scanPos & 0xF800) + (b >> 5) * 256 + lo)];
    } else {
      for (int i = 1; i < OpcodeTable[b].cmdlen; ++i, ++scanPos) read();
    }
  }
  return r;
}

TEST(CodeScanner, AgreesWithTheByteByByteSweep) {
  std::mt19937 random(2026);
  for (int trial = 0; trial < 300; ++trial) {
    const size_t size = trial < 20 ? static_cast<size_t>(trial + 1) : 1 + random() % 70000;
    std::vector<uint8_t> file(size);
    for (auto& b : file) b = static_cast<uint8_t>(random());
    // Runs of fill bytes of every length, some reaching the end or the 64 KiB cap.
    for (int runs = static_cast<int>(random() % 6); runs > 0; --runs) {
      const size_t at = random() % size;
      const size_t length = std::min<size_t>(size - at, random() % 40 == 0 ? 70000 : random() % 50);
      std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(at), length,
                  random() % 2 ? 0xFF : 0x00);
    }
    const Swept s = sweep(file);
    const Reference r = referenceSweep(file);
    ASSERT_EQ(s.run->opcodeCount, r.counts) << "size " << size;
    ASSERT_EQ(s.calls, r.calls) << "size " << size;
    ASSERT_EQ(s.run->acallCount, r.acalls) << "size " << size;
  }
}

std::vector<uint8_t> demoImage() {
  return {0x02, 0x00, 0x03, 0x75, 0x81, 0x4F, 0x78, 0x10, 0x12, 0x00, 0x40, 0x12, 0x00, 0x40,
          0x12, 0x00, 0x40, 0x11, 0x48, 0x11, 0x48, 0x11, 0x48, 0x11, 0x48, 0x31, 0x00, 0xD8,
          0xEB, 0x80, 0xFE, 0xF4, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
          0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
          0,    0,    0,    0,    0,    0,    0,    0,    0xE4, 0xF5, 0x90, 0x04, 0xF5, 0xA0,
          0x22, 0x00, 0x74, 0x55, 0xF5, 0xB0, 0xC3, 0x33, 0x22, 0x00};
}

TEST(WorkedExample, CountsRankingAndHotCalls) {
  Swept s = sweep(demoImage());
  RunState& run = *s.run;
  EXPECT_EQ(run.acallCount, 5);
  EXPECT_EQ(s.calls, (std::map<uint16_t, uint16_t>{{0x0040, 3}, {0x0048, 4}, {0x0100, 1}}));
  rankOpcodes(run);
  const std::vector<int32_t> order(run.rankOrder.begin(), run.rankOrder.begin() + 17);
  EXPECT_EQ(order, (std::vector<int32_t>{0x00, 0x11, 0x12, 0xF5, 0x22, 0x02, 0x04, 0x31, 0x33, 0x74,
                                         0x75, 0x78, 0x80, 0xC3, 0xD8, 0xE4, 0xF4}));
  const std::vector<int32_t> counts(run.opcodeCount.begin(), run.opcodeCount.begin() + 6);
  EXPECT_EQ(counts, (std::vector<int32_t>{34, 4, 3, 3, 2, 1}));
  const HotTargets hot = selectHotTargets(run.calls.sites());
  EXPECT_EQ(hot.foundCount, 2);
  EXPECT_EQ(hot.topCallAddress[0], 0x0040);
  EXPECT_EQ(hot.topCallCount[0], 3);
  EXPECT_EQ(hot.topCallAddress[1], 0x0048);
  EXPECT_EQ(hot.topCallCount[1], 4);
  EXPECT_EQ(hot.topCallAddress[2], 2);  // unused slots hold their index
}

TEST(OpcodeRanking, TiesKeepOpcodeOrderAndUnusedOpcodesFollow) {
  RunState run;
  run.opcodeCount[0x74] = 7;
  run.opcodeCount[0x22] = 7;
  run.opcodeCount[0xFF] = 9;
  rankOpcodes(run);
  EXPECT_EQ(run.rankOrder[0], 0xFF);
  EXPECT_EQ(run.rankOrder[1], 0x22);
  EXPECT_EQ(run.rankOrder[2], 0x74);
  EXPECT_EQ(run.rankOrder[3], 0x00);
  EXPECT_EQ(run.rankOrder[4], 0x01);
  EXPECT_EQ(run.opcodeCount[3], 0);

  RunState single;
  single.opcodeCount[0x05] = 100;
  rankOpcodes(single);
  const std::vector<int32_t> order(single.rankOrder.begin(), single.rankOrder.begin() + 8);
  EXPECT_EQ(order, (std::vector<int32_t>{0x05, 0x00, 0x01, 0x02, 0x03, 0x04, 0x06, 0x07}));
}

std::vector<CallSite> evenlySpaced(std::vector<uint16_t> counts, uint16_t spacing = 0x100) {
  std::vector<CallSite> sites;
  for (size_t i = 0; i < counts.size(); ++i) {
    sites.push_back({static_cast<uint16_t>((i + 1) * spacing), counts[i]});
  }
  return sites;
}

TEST(HotCalls, EveryOutcomeOfTheThresholdSearch) {
  struct Row {
    const char* what;
    std::vector<CallSite> sites;
    int32_t foundCount;
    std::vector<uint16_t> listedCounts;
  };
  std::vector<uint16_t> oneToTwenty;
  for (uint16_t n = 1; n <= 20; ++n) oneToTwenty.push_back(n);
  std::vector<CallSite> cutByAddress = evenlySpaced(std::vector<uint16_t>(9, 3));
  cutByAddress.push_back({0xF000, 100});
  const Row rows[] = {
      {"no calls", {}, 0, {}},
      {"eight called 3 times: found at threshold 2", evenlySpaced(std::vector<uint16_t>(8, 3)), 8,
       std::vector<uint16_t>(8, 3)},
      {"1 to 20 times: exactly eight at threshold 12",
       evenlySpaced(oneToTwenty),
       8,
       {13, 14, 15, 16, 17, 18, 19, 20}},
      {"a single address called 3 times", {{0x1234, 3}}, 1, {3}},
      {"a single address called twice is never listed", {{0x1234, 2}}, 0, {}},
      {"100 to 109 times: fewer than eight",
       evenlySpaced({100, 101, 102, 103, 104, 105, 106, 107, 108, 109}),
       7,
       {103, 104, 105, 106, 107, 108, 109}},
      {"nine called 5 times: none after nine", evenlySpaced(std::vector<uint16_t>(9, 5)), 0, {}},
      {"the cut by address drops the hottest", cutByAddress, 10, std::vector<uint16_t>(8, 3)},
  };
  for (const Row& row : rows) {
    const HotTargets hot = selectHotTargets(row.sites);
    EXPECT_EQ(hot.foundCount, row.foundCount) << row.what;
    std::vector<uint16_t> listed(hot.topCallCount.begin(), hot.topCallCount.begin() + hot.listed());
    EXPECT_EQ(listed, row.listedCounts) << row.what;
  }
  const HotTargets cut = selectHotTargets(cutByAddress);
  EXPECT_EQ(cut.topCallAddress[0], 0x0100);
  EXPECT_EQ(cut.topCallAddress[7], 0x0800);
}

TEST(OpcodeTable, LengthsAndLongestText) {
  int byLength[4] = {};
  size_t longest = 0;
  for (const OpcodeEntry& entry : OpcodeTable) {
    ++byLength[entry.cmdlen];
    longest = std::max(longest, entry.mnemonic.size());
  }
  EXPECT_EQ(byLength[1], 141);
  EXPECT_EQ(byLength[2], 91);
  EXPECT_EQ(byLength[3], 24);
  EXPECT_EQ(longest, 23u);
  EXPECT_EQ(OpcodeTable[0xA5].mnemonic, "byte 0A5h");
}

}  // namespace
}  // namespace opfreq
