// The image an input describes: its own bytes when it is a binary image, or the image that its
// text describes when its first line is an Intel HEX or S-record record (hex_text.h).
//
// The input is read once, forward, so that a pipe is read like a file; text is decoded as it
// arrives. Only the image's first window.size() bytes are kept, followed by zeros where the
// image is shorter, as a read past the end of a binary file gives; the rest is measured.
#ifndef OPFREQ_FILEIN_INPUT_IMAGE_H_
#define OPFREQ_FILEIN_INPUT_IMAGE_H_

#include <cstdint>
#include <span>
#include <string>

#include "filein/binary_file.h"
#include "filein/hex_text.h"
#include "filein/offset_set.h"

namespace opfreq {

// The largest image opfreq reads: 256 KiB, a banked image of eight 32 KiB banks.
constexpr int64_t kMaxFileSize = 262144;

struct InputImage {
  int64_t size = 0;     // in bytes; 0 for an empty input
  std::string problem;  // why the input cannot be used; empty when it can (or is empty)
  HexFormat format = HexFormat::None;  // None: a binary image
};

// Reads the open input `number` of `files`. An image of more than `limit` bytes is refused.
// When `written` is given, the offsets that record text writes are added to it.
InputImage readImage(BinaryFile& files, int32_t number, std::span<uint8_t> window, int64_t limit,
                     OffsetSet* written = nullptr);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_INPUT_IMAGE_H_
