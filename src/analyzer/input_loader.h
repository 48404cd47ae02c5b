// Reads an input named on the command line into its image: the file, or standard input for "-".
// An input that cannot be used (an empty one included) has a problem that says why.
#ifndef OPFREQ_ANALYZER_INPUT_LOADER_H_
#define OPFREQ_ANALYZER_INPUT_LOADER_H_

#include <optional>
#include <span>
#include <string>

#include "analyzer/problem.h"
#include "filein/input_image.h"

namespace opfreq {

struct LoadedInput {
  int64_t size = 0;
  HexFormat format = HexFormat::None;
  std::optional<Problem> problem;
};

// The image's first window.size() bytes go to `window`, zeros past its end (readImage); the
// offsets a record text writes are added to `written` when it is given.
LoadedInput loadInput(const std::string& name, std::span<uint8_t> window, OffsetSet* written);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_INPUT_LOADER_H_
