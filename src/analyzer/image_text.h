// Text that is sometimes given to opfreq in place of a binary image: Intel HEX and Motorola
// S-records, as 8051 toolchains (sdcc writes .ihx) and programmers write them. Such a file is
// still analysed byte for byte; recognising it only lets the user be told.
//
// Only the first line is looked at: one well-formed record with a correct checksum is taken as
// the sign of such a file, so that a binary image that merely starts with ':' or 'S' is not.
#ifndef OPFREQ_ANALYZER_IMAGE_TEXT_H_
#define OPFREQ_ANALYZER_IMAGE_TEXT_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace opfreq {

// The name of the text format that `head` (the first bytes of a file, and no more than the
// file) starts with, or an empty name when it does not start with a record of one.
std::string_view recogniseImageText(std::span<const uint8_t> head);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_IMAGE_TEXT_H_
