#include "filein/input_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "filein/hex_text.h"

namespace opfreq {
namespace {

constexpr size_t kPiece = 8192;  // as the stream's own buffer: one read of the platform each

InputImage refused(const BinaryFile& files, int32_t number, std::string problem) {
  if (const int error = files.readError(number); error != 0) problem = std::strerror(error);
  return {0, std::move(problem)};
}

// The rest of a binary input whose first `read` bytes are in the window. A read stops short
// only at the end of the input, which is not read again.
InputImage readBinary(BinaryFile& files, int32_t number, std::span<uint8_t> window, size_t read,
                      bool more, int64_t limit) {
  if (more) read += files.readAvailable(number, window.subspan(read));
  auto size = static_cast<int64_t>(read);
  if (more && read == window.size()) {
    size = files.fileLength(number);
    if (size < 0) {
      // A pipe: counted as it is read, up to one byte past the limit.
      size = static_cast<int64_t>(read);
      std::array<uint8_t, kPiece> piece;
      for (size_t wanted = 1; wanted > 0 && size <= limit;) {
        wanted = static_cast<size_t>(std::min<int64_t>(kPiece, limit + 1 - size));
        const size_t got = files.readAvailable(number, std::span(piece).first(wanted));
        size += static_cast<int64_t>(got);
        if (got < wanted) break;
      }
    }
  }
  if (size > limit || files.readError(number) != 0) {
    return refused(files, number, "file is larger than " + std::to_string(limit) + " bytes");
  }
  return {size, ""};
}

InputImage readText(BinaryFile& files, int32_t number, HexFormat format, std::span<uint8_t> window,
                    std::span<uint8_t> piece, size_t read, bool more, int64_t limit) {
  HexTextDecoder decoder(format, window, limit);
  bool wanted = decoder.feed(piece.first(read));
  // What follows the end record is read all the same, so that a pipe's writer can finish, but
  // no more of it than an image may have: an endless one is not waited for.
  int64_t ignored = 0;
  while (more && decoder.problem().empty() && ignored <= limit) {
    read = files.readAvailable(number, piece);
    more = read == piece.size();
    if (wanted) {
      wanted = decoder.feed(piece.first(read));
    } else {
      ignored += static_cast<int64_t>(read);
    }
  }
  if (files.readError(number) != 0 || !decoder.finish()) {
    return refused(files, number, decoder.problem());
  }
  return {decoder.imageSize(), ""};
}

}  // namespace

InputImage readImage(BinaryFile& files, int32_t number, std::span<uint8_t> window, int64_t limit) {
  const size_t asked = std::min(kPiece, window.size());
  const size_t read = files.readAvailable(number, window.first(asked));
  const HexFormat format = recogniseHexText(window.first(read));
  InputImage image;
  if (format == HexFormat::None) {
    image = readBinary(files, number, window, read, read == asked, limit);
  } else {
    std::array<uint8_t, kPiece> piece;
    std::copy_n(window.begin(), read, piece.begin());
    image = readText(files, number, format, window, piece, read, read == asked, limit);
  }
  // Past the image's end the window reads as zeros, as a read past the end of a file gives.
  const auto end = static_cast<size_t>(std::min(image.size, static_cast<int64_t>(window.size())));
  std::fill(window.begin() + static_cast<std::ptrdiff_t>(end), window.end(), uint8_t{0});
  return image;
}

}  // namespace opfreq
