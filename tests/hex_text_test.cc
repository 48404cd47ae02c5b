#include "filein/hex_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace opfreq {
namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

struct Decoded {
  std::vector<uint8_t> window;
  int64_t size = 0;
  std::string problem;
  bool operator==(const Decoded&) const = default;
};

// Decodes `text` fed in pieces of `piece` bytes into a window of `window` bytes, as the format
// that its first line shows, or that of `whole`.
Decoded decode(std::string_view text, size_t piece = 1 << 20, size_t window = 16,
               std::string_view whole = {}) {
  Decoded d;
  d.window.resize(window);
  HexTextDecoder decoder(recogniseHexText(bytesOf(whole.empty() ? text : whole)), d.window, 262144);
  for (size_t at = 0; at < text.size() && decoder.feed(bytesOf(text.substr(at, piece)));) {
    at += piece;
  }
  if (decoder.finish()) d.size = decoder.imageSize();
  d.problem = decoder.problem();
  return d;
}

TEST(HexText, RecordTextIsKnownByItsFirst8KiBWhateverItsFirstLine) {
  const auto text = [](size_t length) { return std::string(length, 'x') + "\n:0"; };
  const struct {
    std::string head;
    HexFormat format;
  } rows[] = {
      {":00000001ff", HexFormat::IntelHex},
      {":0300000002", HexFormat::IntelHex},  // cut inside the first record
      {"\xEF\xBB\xBF:0300000002000CEF\r\n", HexFormat::IntelHex},
      {"; made by hand\r \t\r\n\t:0", HexFormat::IntelHex},
      {"\x1A\n  S00600004844521C\n:00000001FF\n", HexFormat::SRecord},
      {text(kRecognitionSpan - 3), HexFormat::IntelHex},
      {text(kRecognitionSpan - 2), HexFormat::None},  // the digit is past the first 8 KiB
      {"\xEF\xBB\xBF" + text(kRecognitionSpan - 3), HexFormat::IntelHex},
      {":0300000002000CEF\n" + std::string(1, '\0'), HexFormat::None},
      {"::::\n::", HexFormat::None},
      {"S:00\nSX0\n", HexFormat::None},
      {":\x02\x01\x03\x75\x81", HexFormat::None},
      {"x:00000001FF\n", HexFormat::None},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(recogniseHexText(bytesOf(row.head)), row.format) << row.head.substr(0, 40);
  }
}

TEST(HexTextDecoder, BuildsTheImageTheRecordsDescribe) {
  const struct {
    const char* what;
    std::string text;
    std::vector<uint8_t> window;
    int64_t size;
    std::string problem;
  } rows[] = {
      {"lower case, CR LF, blank lines, start addresses, Ctrl+Z after the end",
       ":0200020002fdfd\r\n\r\n:0400000300001234B3\r\n:0400000500001234B1\r\n:00000001FF\r\n\x1a",
       {0xFF, 0xFF, 0x02, 0xFD},
       4,
       ""},
      {"a segment wraps within 64 KiB",
       ":020000020000FC\n:02FFFF00AABB9B\n:00000001FF\n",
       {0xBB},
       0x10000,
       ""},
      {"linear addresses run on past 64 KiB; only the window is kept",
       ":020000040000FA\n:02FFFF00AABB9B\n:00000001FF\n",
       {0xFF},
       0x10001,
       ""},
      {"S3 with a count and no termination",
       "S30900000001A1A2A3A46B\nS5030001FB\n",
       {0xFF, 0xA1, 0xA2, 0xA3, 0xA4},
       5,
       ""},
      {"CR, LF and CR LF end lines; blanks around records and lines of blanks are skipped",
       " :0200020002fdfd\t\r \t\r\n\t:0100040033C8 \r\n\n:00000001FF",
       {0xFF, 0xFF, 0x02, 0xFD, 0x33},
       5,
       ""},
      {"a column counts the blanks before the record",
       "\t :0100000002FD\n  :01000100G0FE\n",
       {},
       0,
       "Intel HEX line 2, column 12: 'G' is not a hex digit"},
      {"a line that is no record",
       ":0100000002FD\nhello\n:00000001FF\n",
       {},
       0,
       "Intel HEX line 2: a record starts with ':', not 'h'"},
      {"a later record wins",
       ":030000001234991E\n:01000200AA53\n:00000001FF\n",
       {0x12, 0x34, 0xAA},
       3,
       ""},
      {"the longest record",
       ":FF000000" + std::string(510, '0') + "01\n:00000001FF\n",
       {0x00, 0x00},
       255,
       ""},
      {"longer than its count",
       ":0100000002FD\n:0000000000FF\n",
       {},
       0,
       "Intel HEX line 2: record is longer than its count"},
      {"the longest record between blanks, then Ctrl+Z on the end record's line",
       "  :FF000000" + std::string(510, '0') + "01" + std::string(600, ' ') + "\n:00000001FF" +
           std::string(600, ' ') + "\x1a junk\n",
       {0x00, 0x00},
       255,
       ""},
      {"a record line longer than any is refused where it passes the limit, never cut",
       ":0100000002FD\n\t:0100000002FD" + std::string(520, ' ') + "DAMAGED\n:00000001FF\n",
       {},
       0,
       "Intel HEX line 2, column 523: longer than any record (521 characters)"},
      {"an S-record's limit is its own",
       "S104000002F9\n S1" + std::string(513, '0') + "\nS9030000FC\n",
       {},
       0,
       "S-record line 2, column 516: longer than any record (514 characters)"},
      {"cut inside the count", ":0", {}, 0, "Intel HEX line 1: record is shorter than its count"},
      {"an unknown S-record type",
       "S104000002F9\nS4030000FC\n",
       {},
       0,
       "S-record line 2: unknown record type S4"},
  };
  for (const auto& row : rows) {
    for (const size_t piece : {size_t{1}, size_t{7}, row.text.size()}) {
      const Decoded d = decode(row.text, piece, row.window.size());
      EXPECT_EQ(d.problem, row.problem) << row.what;
      EXPECT_EQ(d.size, row.size) << row.what;
      if (row.size != 0) {
        EXPECT_EQ(d.window, row.window) << row.what << ", pieces of " << piece;
      }
    }
  }
}

// A file cut short anywhere before the end of its end record must never pass as an image.
TEST(HexTextDecoder, TextCutShortIsRefusedWhereverItIsCut) {
  for (const std::string& text : {
           std::string(":0300000002000CEF\r\n:02000C00E4F519\r\n:00000001FF\r\n"),
           std::string("S00600004844521B\nS1060000020008EF\nS1050008E4F519\nS9030000FC\n"),
       }) {
    const Decoded whole = decode(text);
    ASSERT_EQ(whole.problem, "");
    const size_t end = text.rfind(text[0] == ':' ? "FF" : "FC") + 2;
    for (size_t cut = 1; cut <= text.size(); ++cut) {
      const Decoded part = decode(text.substr(0, cut), 1 << 20, 16, text);
      if (cut < end) {
        EXPECT_NE(part.problem, "") << "cut at " << cut;
      } else {
        EXPECT_EQ(part, whole) << "cut at " << cut;
      }
    }
  }
}

}  // namespace
}  // namespace opfreq
