#include "filein/hex_text.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "textout/text_escape.h"

namespace opfreq {
namespace {

constexpr uint8_t kNotHex = 0xFF;
constexpr uint8_t kCtrlZ = 0x1A;
constexpr int64_t kTextLimit = int64_t{64} << 20;

bool isBlank(uint8_t c) { return c == ' ' || c == '\t'; }

constexpr std::array<uint8_t, 256> kHexValue = [] {
  std::array<uint8_t, 256> table{};
  table.fill(kNotHex);
  for (uint8_t i = 0; i < 10; ++i) table[size_t{'0'} + i] = i;
  for (uint8_t i = 0; i < 6; ++i) {
    table[size_t{'A'} + i] = static_cast<uint8_t>(10 + i);
    table[size_t{'a'} + i] = static_cast<uint8_t>(10 + i);
  }
  return table;
}();

// Two hex digits as they lie in memory, read as one native 16-bit word, to the byte they spell,
// or to a value above any byte when either is not a digit: one lookup per byte.
constexpr unsigned kNotDigits = 0x100;
constexpr std::array<uint16_t, 65536> kDigitPair = [] {
  std::array<uint16_t, 65536> table{};
  for (size_t first = 0; first < 256; ++first) {
    for (size_t second = 0; second < 256; ++second) {
      const size_t word =
          std::endian::native == std::endian::little ? second << 8 | first : first << 8 | second;
      const bool digits = kHexValue[first] != kNotHex && kHexValue[second] != kNotHex;
      table[word] = digits ? static_cast<uint16_t>(kHexValue[first] << 4 | kHexValue[second])
                           : static_cast<uint16_t>(kNotDigits);
    }
  }
  return table;
}();

// Decodes `pairs` pairs of digits into `bytes` and adds them to `total`; the result has
// kNotDigits set if any character was not a digit.
unsigned decodePairs(const uint8_t* digit, size_t pairs, uint8_t* bytes, unsigned& total) {
  unsigned faults = 0;
  for (const uint8_t* end = digit + 2 * pairs; digit != end; digit += 2, ++bytes) {
    uint16_t two = 0;
    std::memcpy(&two, digit, sizeof two);
    const unsigned value = kDigitPair[two];
    faults |= value;
    total += value;
    *bytes = static_cast<uint8_t>(value);
  }
  return faults;
}

// A character as a message shows it: 'G', or byte 1Ah when it would not show.
std::string describe(uint8_t c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  return "byte " + hexDigits(c, 2) + "h";
}

}  // namespace

std::span<const uint8_t> withoutByteOrderMark(std::span<const uint8_t> text) {
  constexpr uint8_t kMark[] = {0xEF, 0xBB, 0xBF};
  return text.size() >= 3 && std::equal(kMark, kMark + 3, text.begin()) ? text.subspan(3) : text;
}

HexFormat recogniseHexText(std::span<const uint8_t> head) {
  head = withoutByteOrderMark(head);
  head = head.first(std::min(head.size(), kRecognitionSpan));
  const auto digit = [&](size_t i) { return i < head.size() && kHexValue[head[i]] != kNotHex; };
  HexFormat format = HexFormat::None;
  bool lineStart = true;  // nothing but blanks since the line began
  for (size_t i = 0; i < head.size(); ++i) {
    const uint8_t c = head[i];
    if ((c < 0x20 || c > 0x7E) && !isBlank(c) && c != '\r' && c != '\n' && c != kCtrlZ) {
      return HexFormat::None;
    }
    if (c == '\r' || c == '\n') {
      lineStart = true;
    } else if (!isBlank(c) && lineStart) {
      lineStart = false;
      if (format == HexFormat::None && c == ':' && digit(i + 1)) format = HexFormat::IntelHex;
      if (format == HexFormat::None && c == 'S' && i + 1 < head.size() && head[i + 1] >= '0' &&
          head[i + 1] <= '9' && digit(i + 2)) {
        format = HexFormat::SRecord;
      }
    }
  }
  return format;
}

HexTextDecoder::HexTextDecoder(HexFormat format, std::span<uint8_t> window, int64_t limit,
                               OffsetSet* written)
    : window_(window), limit_(limit), written_(written), format_(format) {
  std::fill(window_.begin(), window_.end(), uint8_t{0xFF});
}

const char* HexTextDecoder::formatName() const {
  return format_ == HexFormat::IntelHex ? "Intel HEX" : "S-record";
}

bool HexTextDecoder::refuse(Fault fault, uint64_t first, uint64_t second) {
  const bool intel = format_ == HexFormat::IntelHex;
  problem_ = formatName();
  problem_ += " line " + std::to_string(lineNumber_);
  switch (fault) {
    case Fault::NoMark:
      problem_ += std::string(": a record starts with '") + (intel ? ':' : 'S') + "', not " +
                  describe(static_cast<uint8_t>(first));
      break;
    case Fault::NotDigit:
      problem_ += ", column " + std::to_string(first) + ": " +
                  describe(static_cast<uint8_t>(second)) + " is not a hex digit";
      break;
    case Fault::Shorter:
      problem_ += ": record is shorter than its count";
      break;
    case Fault::Longer:
      problem_ += ": record is longer than its count";
      break;
    case Fault::Checksum:
      problem_ +=
          ": checksum is " + hexDigits(first, 2) + "h, should be " + hexDigits(second, 2) + "h";
      break;
    case Fault::UnknownType:
      problem_ += ": unknown record type ";
      if (intel) {
        problem_ += hexDigits(first, 2);
      } else {
        problem_ += 'S';
        problem_ += first >= 0x20 && first < 0x7F ? static_cast<char>(first) : '?';
      }
      break;
    case Fault::ExtendedAddress:
      problem_ += ": record type " + hexDigits(first, 2) + " must hold 2 data bytes";
      break;
    case Fault::NoRoomForAddress:
      problem_ += ": record is too short for its address";
      break;
    case Fault::RecordCount:
      problem_ += ": the record count is " + std::to_string(first) +
                  ", the data records before it " + std::to_string(second);
      break;
    case Fault::TextTooLong:
      problem_ += ": the text runs past " + std::to_string(kTextLimit >> 20) + " MiB before its " +
                  (intel ? "end-of-file record" : "termination record");
      break;
    case Fault::LineTooLong:
      problem_ += ", column " + std::to_string(first) + ": longer than any record (" +
                  std::to_string(longestRecord()) + " characters)";
      break;
    case Fault::TooLarge:
      problem_ += ": the image is larger than " + std::to_string(limit_) + " bytes (address " +
                  hexDigits(first, 4) + "h)";
      break;
  }
  return false;
}

size_t HexTextDecoder::decodeDataRecord(std::span<const uint8_t> text) {
  constexpr size_t kHeader = 1 + 2 * 4;  // ':', count, address, type
  if (text.size() < kHeader || text[0] != ':') return 0;
  std::array<uint8_t, 4> header{};
  unsigned total = 0;
  if ((decodePairs(text.data() + 1, 4, header.data(), total) & kNotDigits) != 0) return 0;
  const size_t count = header[0];
  const uint32_t offset = static_cast<uint32_t>(header[1]) << 8 | header[2];
  const uint64_t address = base_ + offset;
  const size_t length = kHeader + 2 * count + 2;  // and the checksum
  size_t end = length;                            // of the line
  if (text.size() <= length + 1 || header[3] != 0x00 || count == 0 ||
      address + count > static_cast<uint64_t>(limit_) || (segmented_ && offset + count > 0x10000) ||
      (address < window_.size() && address + count > window_.size())) {
    return 0;
  }
  if (text[end] == '\r') ++end;
  if (text[end] != '\n') return 0;
  // Beyond the window the bytes are only measured.
  uint8_t* bytes = address < window_.size() ? window_.data() + address : bytes_.data();
  uint8_t checksum = 0;
  unsigned faults = decodePairs(text.data() + kHeader, count, bytes, total);
  faults |= decodePairs(text.data() + kHeader + 2 * count, 1, &checksum, total);
  // What is wrong with a line that fails here is for decodeLine to say; the window it wrote
  // is then of no use anyway.
  if ((faults & kNotDigits) != 0 || static_cast<uint8_t>(total) != 0) return 0;
  imageSize_ = std::max(imageSize_, static_cast<int64_t>(address + count));
  if (written_ != nullptr) written_->add(address, count);
  return end + 1;
}

bool HexTextDecoder::feed(std::span<const uint8_t> text) {
  textLength_ += static_cast<int64_t>(text.size());
  while (!text.empty() && problem_.empty() && !ended_) {
    if (afterCarriageReturn_) {
      afterCarriageReturn_ = false;
      if (text[0] == '\n') {  // the second half of a CR LF
        text = text.subspan(1);
        continue;
      }
    }
    if (format_ == HexFormat::IntelHex && lineLength_ == 0) {
      if (const size_t taken = decodeDataRecord(text); taken > 0) {
        endLine();  // also the blanks before the record, skipped in an earlier piece
        text = text.subspan(taken);
        continue;
      }
    }
    const auto end =
        std::find_if(text.begin(), text.end(), [](uint8_t c) { return c == '\n' || c == '\r'; });
    const auto length = static_cast<size_t>(end - text.begin());
    if (end != text.end() && lineLength_ == 0 && length <= line_.size()) {
      decodeLine(text.first(length));  // the whole line is in this piece: no copy
    } else {
      keepLinePart(text.first(length));
      if (end == text.end() || !problem_.empty()) break;
      decodeLine(std::span(line_).first(lineLength_));
    }
    endLine();
    afterCarriageReturn_ = *end == '\r';
    text = text.subspan(length + 1);
  }
  if (problem_.empty() && !ended_ && textLength_ > kTextLimit) refuse(Fault::TextTooLong);
  return problem_.empty() && !ended_;
}

void HexTextDecoder::endLine() {
  lineLength_ = 0;
  skippedBlanks_ = 0;
  ++lineNumber_;
}

size_t HexTextDecoder::longestRecord() const {
  return format_ == HexFormat::IntelHex ? kLongestIntelHex : kLongestSRecord;
}

void HexTextDecoder::keepLinePart(std::span<const uint8_t> part) {
  // Blanks before a record are dropped here, so that they never take up the line's room.
  if (lineLength_ == 0) {
    const auto blanks =
        static_cast<size_t>(std::find_if_not(part.begin(), part.end(), isBlank) - part.begin());
    skippedBlanks_ += blanks;
    part = part.subspan(blanks);
  }
  // What follows a Ctrl+Z is kept out: it may be the end of the text (decodeLine).
  const auto held = line_.begin() + static_cast<std::ptrdiff_t>(lineLength_);
  if (std::find(line_.begin(), held, kCtrlZ) != held) return;
  const auto ctrlZ = std::find(part.begin(), part.end(), kCtrlZ);
  if (ctrlZ != part.end()) part = std::span(part.begin(), ctrlZ + 1);
  const size_t kept = std::min(part.size(), longestRecord() - lineLength_);
  std::copy_n(part.begin(), kept, held);
  lineLength_ += kept;
  // Blanks after a record are dropped too, up to a Ctrl+Z, which is kept in the room left for
  // it; anything else makes the record longer than any.
  std::span<const uint8_t> rest = part.subspan(kept);
  if (!rest.empty() && rest.back() == kCtrlZ) {
    rest = rest.first(rest.size() - 1);
    if (std::all_of(rest.begin(), rest.end(), isBlank)) line_[lineLength_++] = kCtrlZ;
  }
  if (!std::all_of(rest.begin(), rest.end(), isBlank)) {
    refuse(Fault::LineTooLong, skippedBlanks_ + longestRecord() + 1);
  }
}

bool HexTextDecoder::finish() {
  if (problem_.empty() && !ended_ && lineLength_ > 0) {
    decodeLine(std::span(line_).first(lineLength_));  // a last line without a line end
    if (!ended_) ++lineNumber_;
  }
  if (!problem_.empty()) return false;
  const std::string format = formatName();
  if (!ended_ && !countedToEnd_) {
    problem_ = format + " text ends at line " + std::to_string(lineNumber_ - 1) +
               (format_ == HexFormat::IntelHex
                    ? " without an end-of-file record"
                    : " without a termination record (S7, S8, S9) or a record count (S5, S6)");
    return false;
  }
  if (imageSize_ == 0) {
    problem_ = format + " text holds no data";
    return false;
  }
  return true;
}

void HexTextDecoder::decodeLine(std::span<const uint8_t> line) {
  // A Ctrl+Z ends the text when the record before it ends the text; anywhere else it is one
  // more character that is no hex digit.
  const auto ctrlZ = std::find(line.begin(), line.end(), kCtrlZ);
  const auto first = std::find_if_not(line.begin(), ctrlZ, isBlank);
  const auto last =
      std::find_if_not(std::reverse_iterator(ctrlZ), std::reverse_iterator(first), isBlank).base();
  skippedBlanks_ += static_cast<size_t>(first - line.begin());
  const auto length = static_cast<size_t>(last - first);
  if (length > longestRecord()) {
    refuse(Fault::LineTooLong, skippedBlanks_ + longestRecord() + 1);
  } else if (first < last) {
    decodeRecord(std::span(first, last));
  }
  if (ctrlZ != line.end() && problem_.empty() && !ended_) {
    decodeRecord(std::span(first, ctrlZ + 1));  // says what is wrong with it
  }
}

void HexTextDecoder::decodeRecord(std::span<const uint8_t> line) {
  const bool intel = format_ == HexFormat::IntelHex;
  const uint8_t mark = intel ? ':' : 'S';
  if (line[0] != mark) {
    refuse(Fault::NoMark, line[0]);
    return;
  }
  const size_t first = intel ? 1 : 2;  // the first hex digit
  const size_t digits = line.size() - std::min(line.size(), first);

  // Every pair that fits is decoded at once; whether all were digits is checked after.
  const size_t pairs = std::min(digits / 2, bytes_.size());
  unsigned total = 0;
  const unsigned faults = decodePairs(line.data() + first, pairs, bytes_.data(), total);
  if ((faults & kNotDigits) != 0 || digits > 2 * pairs) {
    for (size_t i = first; i < line.size(); ++i) {
      if (kHexValue[line[i]] == kNotHex) {
        refuse(Fault::NotDigit, skippedBlanks_ + i + 1, line[i]);
        return;
      }
    }
  }

  // Intel HEX: count, address (2), type, data, checksum. S-record: count, then as many bytes.
  if (digits < 2) {  // cut inside its count
    refuse(Fault::Shorter);
    return;
  }
  const size_t needed = bytes_[0] + (intel ? 5u : 1u);
  if (digits != 2 * needed) {
    refuse(digits > 2 * needed ? Fault::Longer : Fault::Shorter);
    return;
  }
  // All bytes add up to 0 in Intel HEX; to FFh in an S-record.
  if (static_cast<uint8_t>(total) != (intel ? 0 : 0xFF)) {
    const unsigned rest = total - bytes_[needed - 1];
    refuse(Fault::Checksum, bytes_[needed - 1], static_cast<uint8_t>(intel ? 0u - rest : ~rest));
    return;
  }
  const std::span<const uint8_t> record = std::span(bytes_).first(needed);
  if (intel) {
    decodeIntelHex(record);
  } else {
    decodeSRecord(line[1], record);
  }
}

bool HexTextDecoder::decodeIntelHex(std::span<const uint8_t> record) {
  const std::span<const uint8_t> data = record.subspan(4, record.size() - 5);
  const uint32_t offset = static_cast<uint32_t>(record[1]) << 8 | record[2];
  switch (record[3]) {
    case 0x00:
      if (segmented_ && offset + data.size() > 0x10000) {
        // Within a segment the offset wraps to its start.
        const size_t before = 0x10000 - offset;
        return store(base_ + offset, data.first(before)) && store(base_, data.subspan(before));
      }
      return store(base_ + offset, data);
    case 0x01:
      ended_ = true;
      return true;
    case 0x02:
    case 0x04:
      if (data.size() != 2) return refuse(Fault::ExtendedAddress, record[3]);
      segmented_ = record[3] == 0x02;
      base_ = (static_cast<uint64_t>(data[0]) << 8 | data[1]) << (segmented_ ? 4 : 16);
      return true;
    case 0x03:
    case 0x05:
      return true;  // a start address: nothing to load
    default:
      return refuse(Fault::UnknownType, record[3]);
  }
}

bool HexTextDecoder::decodeSRecord(uint8_t type, std::span<const uint8_t> record) {
  if (type == '0') return true;  // a header
  if (type == '7' || type == '8' || type == '9') {
    ended_ = true;
    return true;
  }
  // Data S1 to S3 and counts S5 and S6 carry an address field of 2 to 4 bytes.
  if ((type < '1' || type > '3') && type != '5' && type != '6') {
    return refuse(Fault::UnknownType, type);
  }
  const size_t addressLength = type == '5' ? 2 : type == '6' ? 3 : type - '0' + 1u;
  if (record.size() < addressLength + 2) return refuse(Fault::NoRoomForAddress);
  uint64_t address = 0;
  for (size_t i = 1; i <= addressLength; ++i) address = address << 8 | record[i];
  if (type == '5' || type == '6') {
    if (address != dataRecords_) return refuse(Fault::RecordCount, address, dataRecords_);
    dataRecords_ = 0;
    countedToEnd_ = true;
    return true;
  }
  ++dataRecords_;
  countedToEnd_ = false;
  return store(address, record.subspan(1 + addressLength, record.size() - addressLength - 2));
}

bool HexTextDecoder::store(uint64_t address, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return true;
  const uint64_t end = address + bytes.size();
  if (end > static_cast<uint64_t>(limit_)) return refuse(Fault::TooLarge, end - 1);
  imageSize_ = std::max(imageSize_, static_cast<int64_t>(end));
  if (written_ != nullptr) written_->add(address, bytes.size());
  if (address < window_.size()) {
    const size_t kept = std::min(bytes.size(), window_.size() - static_cast<size_t>(address));
    std::memcpy(window_.data() + address, bytes.data(), kept);
  }
  return true;
}

}  // namespace opfreq
