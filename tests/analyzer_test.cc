#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

#include "analyzer/call_targets.h"
#include "analyzer/code_scanner.h"
#include "analyzer/opcode_table.h"
#include "analyzer/report.h"

namespace opfreq {
namespace {

using CallCounts = std::map<uint16_t, uint16_t>;  // every address called, with its count

struct Swept {
  std::unique_ptr<RunState> run = std::make_unique<RunState>();
  std::string warnings;
  CallCounts calls;
};

// Sweeps `file` as the driver does: the first kCodeWindow bytes, zeros past the end.
Swept sweep(const std::vector<uint8_t>& file) {
  Swept s;
  auto image = std::make_unique<CodeImage>();
  std::copy_n(file.begin(), std::min(file.size(), image->size()), image->begin());
  s.run->fileSize = static_cast<int32_t>(file.size());
  StringSink sink;
  OutputStream out(sink);
  writeWarnings(scanCode(*image, *s.run), out);
  s.warnings = sink.text;
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
    CallCounts calls;
  };
  const Row rows[] = {
      {"lone 02: operands read as 0", {0x02}, "", {}},
      {"lone 12", {0x12}, kNotCode, {{0x0000, 1}}},
      {"trailing 12 01", {0x02, 0x00, 0x03, 0x12, 0x01}, "", {{0x0100, 1}}},
      {"last byte 31 at 0010h", bytesAt(0x11, 0x10, {0x31}), "", {{0x0100, 1}}},
      {"11 34 at 07FEh: next page", bytesAt(0x800, 0x7FE, {0x11, 0x34}), "", {{0x0834, 1}}},
      {"11 34 at 07FCh stays in page 0", bytesAt(0x800, 0x7FC, {0x11, 0x34}), "", {{0x0034, 1}}},
      {"31 00 at FFFEh wraps to page 0", bytesAt(65536, 0xFFFE, {0x31, 0x00}), "", {{0x0100, 1}}},
      {"LCALL at FFFFh of 64 KiB", bytesAt(65536, 0xFFFF, {0x12}), "", {{0x0000, 1}}},
      {"operand past the cap", bytesAt(65537, 0xFFFF, {0x12, 0xAB}), kOver64k, {{0xAB00, 1}}},
      {"3n bytes of 12", std::vector<uint8_t>(30, 0x12), kNotCode, {{0x1212, 10}}},
      {"3n+1 bytes of 12", std::vector<uint8_t>(31, 0x12), kNotCode, {{0x1212, 10}, {0, 1}}},
      {"both warnings", std::vector<uint8_t>(65537, 0xFF), std::string(kNotCode) + kOver64k, {}},
  };
  for (const Row& row : rows) {
    const Swept s = sweep(row.file);
    EXPECT_EQ(s.warnings, row.warnings) << row.what;
    EXPECT_EQ(s.calls, row.calls) << row.what;
  }
}

// The sweep exactly as written down: one byte at a time, bytes past the end reading as 0.
struct Reference {
  std::array<int32_t, 256> counts{};
  CallCounts calls;
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

// Random images, some with long runs of fill bytes reaching the end of the file or the cap,
// and some dense in calls to few targets so that many addresses are hot.
TEST(CodeScanner, AgreesWithTheByteByByteSweep) {
  std::mt19937 random(2026);
  const uint8_t callHeavy[] = {0x11, 0x31, 0x12, 0x00, 0x01, 0x02, 0xF1};
  for (int trial = 0; trial < 300; ++trial) {
    const size_t size = trial < 20 ? static_cast<size_t>(trial + 1) : 1 + random() % 70000;
    std::vector<uint8_t> file(size);
    for (auto& b : file) {
      b = trial % 10 == 9 ? callHeavy[random() % std::size(callHeavy)]
                          : static_cast<uint8_t>(random());
    }
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
    ASSERT_EQ(countSubroutines(s.run->calls), static_cast<int32_t>(r.calls.size()));
    std::vector<CallSite> hot;
    for (const auto& [address, count] : r.calls) {
      if (count >= kHotMinimum) hot.push_back({address, count});
    }
    ASSERT_EQ(s.run->calls.hotSites(), hot) << "size " << size;
  }
}

std::vector<CallSite> evenlySpaced(std::vector<uint16_t> counts) {
  std::vector<CallSite> sites;
  for (size_t i = 0; i < counts.size(); ++i) {
    sites.push_back({static_cast<uint16_t>((i + 1) * 0x100), counts[i]});
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
  const std::vector<uint16_t> eightThrees(8, 3);
  const Row rows[] = {
      {"no calls", {}, 0, {}},
      {"eight called 3 times: threshold 2", evenlySpaced(eightThrees), 8, eightThrees},
      {"1 to 20: threshold 12", evenlySpaced(oneToTwenty), 8, {13, 14, 15, 16, 17, 18, 19, 20}},
      {"one address called 3 times", {{0x1234, 3}}, 1, {3}},
      {"one called twice is never listed", {{0x1234, 2}}, 0, {}},
      {"100 to 109: seven",
       evenlySpaced({100, 101, 102, 103, 104, 105, 106, 107, 108, 109}),
       7,
       {103, 104, 105, 106, 107, 108, 109}},
      {"nine called 5 times: none", evenlySpaced(std::vector<uint16_t>(9, 5)), 0, {}},
      {"the cut by address drops the hottest", cutByAddress, 10, eightThrees},
  };
  for (const Row& row : rows) {
    const HotTargets hot = selectHotTargets(row.sites);
    EXPECT_EQ(hot.foundCount, row.foundCount) << row.what;
    std::vector<uint16_t> listed(hot.topCallCount.begin(), hot.topCallCount.begin() + hot.listed());
    EXPECT_EQ(listed, row.listedCounts) << row.what;
  }
}

// The length an instruction must have, read off its operand placeholders: a direct address, a
// bit, an immediate byte and a relative or in-page address take a byte each; LJMP's and LCALL's
// address and DPTR's immediate word take two.
int32_t lengthFromOperands(std::string_view mnemonic) {
  const size_t blank = mnemonic.find(' ');
  if (blank == std::string_view::npos) return 1;
  const std::string_view name = mnemonic.substr(0, blank);
  std::string_view operands = mnemonic.substr(blank + 1);
  int32_t length = 1;
  while (!operands.empty()) {
    const size_t comma = operands.find(',');
    const std::string_view operand = operands.substr(0, comma);
    if (operand == "addr") {
      length += name == "LJMP" || name == "LCALL" ? 2 : 1;
    } else if (operand == "#data") {
      length += mnemonic.starts_with("MOV DPTR,") ? 2 : 1;
    } else if (operand == "direct" || operand == "bit" || operand == "/bit") {
      length += 1;
    }
    operands = comma == std::string_view::npos ? "" : operands.substr(comma + 1);
  }
  return length;
}

// Where control goes, read off the instruction's name.
Flow flowFromName(std::string_view mnemonic) {
  const std::string_view name = mnemonic.substr(0, mnemonic.find(' '));
  const auto among = [&](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  if (mnemonic == "JMP @A+DPTR") return Flow::Indirect;
  if (name == "byte") return Flow::Undefined;
  if (among({"LJMP", "AJMP", "SJMP"})) return Flow::Jump;
  if (among({"JC", "JNC", "JZ", "JNZ", "JB", "JNB", "JBC", "CJNE", "DJNZ"})) return Flow::Branch;
  if (among({"LCALL", "ACALL"})) return Flow::Call;
  if (among({"RET", "RETI"})) return Flow::Return;
  return Flow::Next;
}

TEST(OpcodeTable, EveryLengthAndFlowFollowsFromTheMnemonic) {
  for (size_t op = 0; op < 256; ++op) {
    EXPECT_EQ(OpcodeTable[op].cmdlen, lengthFromOperands(OpcodeTable[op].mnemonic))
        << std::hex << op << " " << OpcodeTable[op].mnemonic;
    EXPECT_EQ(OpcodeTable[op].flow, flowFromName(OpcodeTable[op].mnemonic))
        << std::hex << op << " " << OpcodeTable[op].mnemonic;
  }
}

}  // namespace
}  // namespace opfreq
