#include "filein/input_image.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace opfreq {
namespace {

constexpr size_t kPiece = 8192;  // as the stream's own buffer: one read of the platform each
constexpr size_t kByteOrderMark = 3;

// One input being read into its image.
class ImageReader {
 public:
  ImageReader(BinaryFile& files, int32_t number, std::span<uint8_t> window, int64_t limit,
              OffsetSet* written)
      : files_(files), number_(number), window_(window), limit_(limit), written_(written) {}

  InputImage read() {
    // Enough to tell record text from a binary, a byte order mark in front.
    const size_t asked = std::min(kRecognitionSpan + kByteOrderMark, window_.size());
    const size_t read = files_.readAvailable(number_, window_.first(asked));
    const HexFormat format = recogniseHexText(window_.first(read));
    InputImage image = format == HexFormat::None ? readBinary(read, read == asked)
                                                 : readText(format, read, read == asked);
    // Past the image's end the window reads as zeros, as a read past the end of a file gives.
    const auto end =
        static_cast<size_t>(std::min(image.size, static_cast<int64_t>(window_.size())));
    std::fill(window_.begin() + static_cast<std::ptrdiff_t>(end), window_.end(), uint8_t{0});
    return image;
  }

 private:
  InputImage refused(std::string problem) const {
    if (const int error = files_.readError(number_); error != 0) problem = std::strerror(error);
    return {0, std::move(problem)};
  }

  // The rest of a binary input whose first `read` bytes are in the window. A read stops short
  // only at the end of the input, which is not read again.
  InputImage readBinary(size_t read, bool more) {
    if (more) read += files_.readAvailable(number_, window_.subspan(read));
    auto size = static_cast<int64_t>(read);
    if (more && read == window_.size()) {
      size = files_.fileLength(number_);
      if (size < static_cast<int64_t>(read)) {
        // A pipe, or a file whose length cannot be measured or is less than was read (a /proc
        // file gives 0): counted as it is read, up to one byte past the limit.
        size = static_cast<int64_t>(read);
        std::array<uint8_t, kPiece> piece;
        for (size_t wanted = 1; wanted > 0 && size <= limit_;) {
          wanted = static_cast<size_t>(std::min<int64_t>(kPiece, limit_ + 1 - size));
          const size_t got = files_.readAvailable(number_, std::span(piece).first(wanted));
          size += static_cast<int64_t>(got);
          if (got < wanted) break;
        }
      }
    }
    if (size > limit_ || files_.readError(number_) != 0) {
      return refused("file is larger than " + std::to_string(limit_) + " bytes");
    }
    if (written_ != nullptr) written_->add(0, static_cast<size_t>(size));
    return {size, ""};
  }

  // Text whose first `read` bytes are in the window.
  InputImage readText(HexFormat format, size_t read, bool more) {
    std::array<uint8_t, kRecognitionSpan + kByteOrderMark> piece;
    std::copy_n(window_.begin(), read, piece.begin());
    HexTextDecoder decoder(format, window_, limit_, written_);
    bool wanted = decoder.feed(withoutByteOrderMark(std::span(piece).first(read)));
    // What follows the end record is read all the same, so that a pipe's writer can finish, but
    // no more of it than an image may have: an endless one is not waited for.
    int64_t ignored = 0;
    while (more && decoder.problem().empty() && ignored <= limit_) {
      read = files_.readAvailable(number_, std::span(piece).first(kPiece));
      more = read == kPiece;
      if (wanted) {
        wanted = decoder.feed(std::span(piece).first(read));
      } else {
        ignored += static_cast<int64_t>(read);
      }
    }
    if (files_.readError(number_) != 0 || !decoder.finish()) return refused(decoder.problem());
    return {decoder.imageSize(), "", format};
  }

  BinaryFile& files_;
  int32_t number_;
  std::span<uint8_t> window_;
  int64_t limit_;
  OffsetSet* written_;
};

}  // namespace

InputImage readImage(BinaryFile& files, int32_t number, std::span<uint8_t> window, int64_t limit,
                     OffsetSet* written) {
  return ImageReader(files, number, window, limit, written).read();
}

}  // namespace opfreq
