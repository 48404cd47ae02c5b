#include "analyzer/call_helpers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace opfreq {
namespace {

constexpr uint8_t kDph = 0x83;
constexpr uint8_t kDpl = 0x82;
constexpr size_t kPopSearch = 12;  // bytes from a routine's start that may pop its return address

// A signature's bytes, -1 for any byte, parsed once.
struct Signature {
  std::array<int16_t, 56> bytes{};
  size_t length = 0;
};

constexpr Signature parse(std::string_view hex) {
  Signature signature;
  const auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  for (size_t at = 0; at + 1 < hex.size(); at += 3) {
    signature.bytes[signature.length++] =
        hex[at] == '.' ? int16_t{-1}
                       : static_cast<int16_t>(digit(hex[at]) << 4 | digit(hex[at + 1]));
  }
  return signature;
}

constexpr auto kSignatures = [] {
  std::array<Signature, kCallHelpers.size()> signatures{};
  for (size_t row = 0; row < kCallHelpers.size(); ++row) {
    signatures[row] = parse(kCallHelpers[row].signature);
  }
  return signatures;
}();

// A routine is told by its first byte before anything else.
static_assert(std::all_of(kSignatures.begin(), kSignatures.end(),
                          [](const Signature& s) { return s.bytes[0] >= 0; }));
// The OPTR constant helper goes on in the XDATA one.
static_assert(kCallHelpers[8].jumpsTo == 5 && kSignatures[5].bytes[0] == 0xA8 &&
              kSignatures[8].bytes[kSignatures[8].length - 1] == kLjmp);

bool matches(const RegionCode& code, size_t start, size_t row) {
  const CallHelper& helper = kCallHelpers[row];
  const Signature& signature = kSignatures[row];
  const size_t length = signature.length;
  if (!code.readable(start, length)) return false;
  for (size_t i = 0; i < length; ++i) {
    if (signature.bytes[i] >= 0 && *code.code(start + i) != signature.bytes[i]) return false;
  }
  if (helper.jumpsTo < 0) return true;
  const uint8_t* jump = code.code(start + length - 1);  // the LJMP that ends it
  return code.readable(start + length, 2) &&
         matches(code, code.indexOf(longTarget(jump)), static_cast<size_t>(helper.jumpsTo));
}

// Reads the data after a call as its layout says, a whole entry at a time.
class DataReader {
 public:
  DataReader(const RegionCode& code, size_t start) : code_(code), start_(start) {}

  // The next `width` bytes as a number, low byte first (or high first, `highFirst`); none when
  // they cannot be read, and nothing more is read then.
  std::optional<uint32_t> take(size_t width, bool highFirst = false) {
    if (ended_ || !code_.readable(start_ + taken_, width)) {
      ended_ = true;
      return std::nullopt;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) {
      const uint8_t byte = *code_.code(start_ + taken_ + (highFirst ? i : width - 1 - i));
      value = value << 8 | byte;
    }
    taken_ += width;
    return value;
  }
  // Ends an entry: its bytes count as read.
  void entry(InlineData& data) const { data.length = taken_; }

 private:
  const RegionCode& code_;
  size_t start_;
  size_t taken_ = 0;
  bool ended_ = false;
};

void readKeilCase(DataReader& reader, size_t width, InlineData& data) {
  for (;;) {
    const std::optional<uint32_t> target = reader.take(2, true);
    if (!target) return;
    if (*target == 0) break;
    if (!reader.take(width - 2)) return;
    data.targets.push_back(static_cast<uint16_t>(*target));
    reader.entry(data);
  }
  reader.entry(data);
  if (const std::optional<uint32_t> fallback = reader.take(2, true)) {
    data.targets.push_back(static_cast<uint16_t>(*fallback));
    reader.entry(data);
  }
}

void readIarDense(DataReader& reader, InlineData& data) {
  if (!reader.take(1)) return;
  const std::optional<uint32_t> count = reader.take(1);
  if (!count) return;
  reader.entry(data);
  for (uint32_t i = 0; i < *count + 2; ++i) {
    const std::optional<uint32_t> target = reader.take(2);
    if (!target) return;
    data.targets.push_back(static_cast<uint16_t>(*target));
    reader.entry(data);
  }
}

void readIarSparse(DataReader& reader, size_t width, InlineData& data) {
  for (const size_t bounds : {size_t{2}, size_t{1}}) {  // ranges (low, high), then values
    const std::optional<uint32_t> count = reader.take(width);
    if (!count) return;
    reader.entry(data);
    for (uint32_t i = 0; i < *count; ++i) {
      if (!reader.take(width * bounds)) return;
      const std::optional<uint32_t> target = reader.take(2);
      if (!target) return;
      data.targets.push_back(static_cast<uint16_t>(*target));
      reader.entry(data);
    }
  }
  if (const std::optional<uint32_t> fallback = reader.take(2)) {
    data.targets.push_back(static_cast<uint16_t>(*fallback));
    reader.entry(data);
  }
}

}  // namespace

CalleeKind calleeAt(const RegionCode& code, size_t start) {
  if (!code.readable(start, 1)) return {};
  for (size_t row = 0; row < kCallHelpers.size(); ++row) {
    if (kSignatures[row].bytes[0] == *code.code(start) && matches(code, start, row))
      return {Callee::Helper, static_cast<uint8_t>(row)};
  }
  // Most routines hold no POP DPH at all: told without decoding them.
  const size_t search = std::min(kPopSearch, code.size() - start);
  if (std::memchr(code.code(start), kPop, search) == nullptr) return {};
  for (size_t at = start; at + 4 <= start + kPopSearch && code.readable(at, 1);) {
    const uint8_t* bytes = code.code(at);
    if (code.readable(at, 4) && bytes[0] == kPop && bytes[1] == kDph && bytes[2] == kPop &&
        bytes[3] == kDpl) {
      return {Callee::PopsReturn, 0};
    }
    if (kSteps[*bytes].flow != Flow::Next) break;
    at += kSteps[*bytes].length;
  }
  return {};
}

bool helperJumpsAt(size_t row, size_t offset) {
  return offset < kSignatures[row].length && kSignatures[row].bytes[offset] == kJmpIndirect;
}

InlineData readInlineData(const RegionCode& code, const CallHelper& helper, size_t data) {
  InlineData read;
  DataReader reader(code, data);
  switch (helper.data) {
    case HelperData::KeilCase:
      readKeilCase(reader, helper.width, read);
      break;
    case HelperData::IarDense:
      readIarDense(reader, read);
      break;
    case HelperData::IarSparse:
      readIarSparse(reader, helper.width, read);
      break;
    case HelperData::Constant:
      read.returns = reader.take(helper.width).has_value();
      reader.entry(read);
      break;
    case HelperData::None:
      read.returns = true;
      break;
  }
  return read;
}

}  // namespace opfreq
