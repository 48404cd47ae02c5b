// Intel HEX and Motorola S-record text, as 8051 toolchains (sdcc writes .ihx), vendors' firmware
// releases, loaders and programmers write firmware, decoded into the image it describes.
//
// Contract:
// - recogniseHexText tells record text from a binary image by its first 8 KiB, whatever its
//   first line holds: a damaged first record is refused with its line, never read as a binary.
// - The image starts at 0000h and ends at the highest address that a data record writes. Every
//   byte that no record writes, below or between records, is FFh, as erased EPROM or flash
//   holds it. When records write an address twice, the later one wins, as in memory after a
//   load.
// - Text arrives in pieces of any size, split anywhere, and is decoded as it comes: nothing
//   grows with its length. Only the image's first window.size() bytes are kept; the rest of the
//   image is only measured. Once the text is refused, the window holds nothing of use.
// - Intel HEX: data (00), end of file (01), extended segment (02) and linear (04) addresses;
//   start addresses (03, 05) are ignored. S-records: data S1, S2, S3 (16-, 24- and 32-bit
//   addresses), termination S7, S8, S9; the header S0 is ignored. Digits may be in either
//   case, lines end in LF, CR LF or CR, blanks around a record and blank lines are skipped,
//   any other line is refused, and whatever follows the end record is ignored: the text ends
//   there, and at a Ctrl+Z after it, also on the end record's own line. The caller drops a byte
//   order mark.
// - The text must be whole: Intel HEX ends with its end-of-file record; S-records with a
//   termination record or, as srec_cat writes them without a start address, with a record
//   count (S5, S6). A count must match the data records before it.
// - Any fault refuses the whole text, with the line where it was found: a wrong checksum, a
//   character that is not a hex digit, a record shorter or longer than its count, a line
//   longer than any record (refused where it passes that length, never read in part), an unknown
//   record type, an image over the limit, a wrong record count, text that ends without its
//   end (so that a file cut short never passes as a whole image), text without data, and text
//   that runs past 64 MiB before its end (an endless stream of records is not waited for).
#ifndef OPFREQ_FILEIN_HEX_TEXT_H_
#define OPFREQ_FILEIN_HEX_TEXT_H_

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "filein/offset_set.h"

namespace opfreq {

enum class HexFormat : uint8_t { None, IntelHex, SRecord };

// How much of an input's start recogniseHexText looks at, after a byte order mark.
constexpr size_t kRecognitionSpan = 8192;

// The format of record text whose first bytes are `head`, or None for a binary image: text is
// what holds, after an optional UTF-8 byte order mark, only printable ASCII, tabs, line ends and
// Ctrl+Z in its first kRecognitionSpan bytes, one of whose lines starts (after blanks) with ':'
// and a hex digit, or 'S', a digit and a hex digit; the first such line tells the format.
HexFormat recogniseHexText(std::span<const uint8_t> head);

// `text` without the UTF-8 byte order mark that an editor may have put in front of it.
std::span<const uint8_t> withoutByteOrderMark(std::span<const uint8_t> text);

class HexTextDecoder {
 public:
  // The longest records there are, blanks around them not counted: ':' and 260 bytes in hex
  // (count, address, type, 255 data bytes, checksum); 'S', its type and 256 bytes.
  static constexpr size_t kLongestIntelHex = 1 + 2 * (5 + 255);
  static constexpr size_t kLongestSRecord = 2 + 2 * (1 + 255);

  // The image's first window.size() bytes go to `window`; an image of more than `limit` bytes
  // is refused. When `written` is given, every offset a record writes is added to it.
  HexTextDecoder(HexFormat format, std::span<uint8_t> window, int64_t limit,
                 OffsetSet* written = nullptr);

  // Decodes the next piece of the text. False once the text has been refused, or has ended
  // with its end record, so that nothing more needs to be fed.
  bool feed(std::span<const uint8_t> text);
  // The text has ended. True when it made an image; otherwise problem() says why not.
  bool finish();

  int64_t imageSize() const { return imageSize_; }
  // Why the text was refused, with the line; empty while nothing is wrong.
  const std::string& problem() const { return problem_; }

 private:
  // The line nearly every Intel HEX text is made of, a whole data record in this piece that
  // lands in the window, decoded at once: the bytes taken, line end included, or 0 to leave the
  // line to decodeLine.
  size_t decodeDataRecord(std::span<const uint8_t> text);
  void keepLinePart(std::span<const uint8_t> part);
  void decodeLine(std::span<const uint8_t> line);
  // Forgets the line just read, on either path, and counts it.
  void endLine();
  void decodeRecord(std::span<const uint8_t> line);
  size_t longestRecord() const;
  bool decodeIntelHex(std::span<const uint8_t> record);
  bool decodeSRecord(uint8_t type, std::span<const uint8_t> record);
  bool store(uint64_t address, std::span<const uint8_t> bytes);
  const char* formatName() const;
  enum class Fault {
    NoMark,
    NotDigit,
    Shorter,
    Longer,
    Checksum,
    UnknownType,
    ExtendedAddress,
    NoRoomForAddress,
    RecordCount,
    TooLarge,
    TextTooLong,
    LineTooLong
  };
  // Words the fault, with the line being read; `first` and `second` are its particulars.
  bool refuse(Fault fault, uint64_t first = 0, uint64_t second = 0);

  std::span<uint8_t> window_;
  int64_t limit_;
  OffsetSet* written_;
  int64_t imageSize_ = 0;
  uint64_t base_ = 0;         // from the last extended address record
  uint64_t dataRecords_ = 0;  // S-records since the last count record
  int64_t lineNumber_ = 1;    // of the line being read
  int64_t textLength_ = 0;    // fed so far
  size_t lineLength_ = 0;
  size_t skippedBlanks_ = 0;  // before the record on the line being read
  std::string problem_;
  // A record that began in an earlier piece, without the blanks before it, and room for a
  // Ctrl+Z after the blanks that may follow it.
  std::array<uint8_t, kLongestIntelHex + 1> line_{};
  std::array<uint8_t, 260> bytes_{};  // the record's bytes after the line's first characters
  HexFormat format_;
  bool segmented_ = false;            // offsets wrap within a 64 KiB segment (record type 02)
  bool ended_ = false;                // the end record was read
  bool countedToEnd_ = false;         // the last S-record was a count that matched
  bool afterCarriageReturn_ = false;  // the last line ended in CR, which an LF may follow
};

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_HEX_TEXT_H_
