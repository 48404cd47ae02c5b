// Any text, decoded as Intel HEX or S-records: the first byte picks the format (where the text
// does not show one) and the size of the pieces it arrives in. Pieces of any size must give
// what the whole text gives (the whole text takes the decoder's fast path for data records far
// more often), and an accepted image must be within the limit.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "filein/hex_text.h"

namespace {

constexpr int64_t kLimit = 262144;

struct Result {
  std::array<uint8_t, 4096> window{};
  int64_t size = -1;
  std::string problem;
};

Result decode(opfreq::HexFormat format, std::span<const uint8_t> text, size_t piece) {
  Result r;
  opfreq::HexTextDecoder decoder(format, r.window, kLimit);
  for (size_t at = 0; at < text.size(); at += piece) {
    if (!decoder.feed(text.subspan(at, std::min(piece, text.size() - at)))) break;
  }
  if (decoder.finish()) r.size = decoder.imageSize();
  r.problem = decoder.problem();
  return r;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> text(data + 1, size - 1);
  opfreq::HexFormat format = opfreq::recogniseHexText(text);
  if (format == opfreq::HexFormat::None) {
    format = data[0] & 1 ? opfreq::HexFormat::SRecord : opfreq::HexFormat::IntelHex;
  }
  const Result whole = decode(format, text, text.size() + 1);
  const Result pieces = decode(format, text, data[0] / 2 + 1u);
  // A refused text leaves the window undefined.
  check(whole.size == pieces.size && whole.problem == pieces.problem &&
        (whole.size == -1 || whole.window == pieces.window));
  check(whole.size == -1 ? !whole.problem.empty() : whole.size >= 1 && whole.size <= kLimit);
  return 0;
}
