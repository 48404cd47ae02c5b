#include "analyzer/call_helpers.h"

#include <optional>

namespace opfreq {
namespace {

constexpr uint8_t kDph = 0x83;
constexpr uint8_t kDpl = 0x82;
constexpr size_t kPopSearch = 12;  // bytes from a routine's start that may pop its return address

// The byte that a signature's hex pair at `pair` stands for; none for "..".
std::optional<uint8_t> signatureByte(std::string_view signature, size_t pair) {
  const std::string_view hex = signature.substr(pair * 3, 2);
  if (hex == "..") return std::nullopt;
  const auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
  return static_cast<uint8_t>(digit(hex[0]) << 4 | digit(hex[1]));
}

size_t signatureLength(std::string_view signature) { return (signature.size() + 1) / 3; }

bool matches(const RegionCode& code, size_t start, size_t row) {
  const CallHelper& helper = kCallHelpers[row];
  const size_t length = signatureLength(helper.signature);
  if (!code.readable(start, length)) return false;
  for (size_t i = 0; i < length; ++i) {
    const std::optional<uint8_t> byte = signatureByte(helper.signature, i);
    if (byte && *code.code(start + i) != *byte) return false;
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
  for (size_t row = 0; row < kCallHelpers.size(); ++row) {
    if (matches(code, start, row)) return {Callee::Helper, static_cast<uint8_t>(row)};
  }
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

std::vector<std::pair<size_t, uint8_t>> helpersAround(const RegionCode& code, size_t jump) {
  std::vector<std::pair<size_t, uint8_t>> starts;
  for (size_t row = 0; row < kCallHelpers.size(); ++row) {
    const std::string_view signature = kCallHelpers[row].signature;
    for (size_t i = 0; i < signatureLength(signature) && i <= jump; ++i) {
      if (signatureByte(signature, i) == kJmpIndirect && matches(code, jump - i, row))
        starts.emplace_back(jump - i, static_cast<uint8_t>(row));
    }
  }
  return starts;
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
