// Numbers in hex as people write them on a command line or in a symbols file.
#ifndef OPFREQ_FILEIN_HEX_NUMBER_H_
#define OPFREQ_FILEIN_HEX_NUMBER_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace opfreq {

// A hex number with or without 0x in front or h after it; none for anything else, an empty one
// ("0x", "h") included.
std::optional<uint64_t> parseHexNumber(std::string_view text);

}  // namespace opfreq

#endif  // OPFREQ_FILEIN_HEX_NUMBER_H_
