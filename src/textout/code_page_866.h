// Code page 866, the DOS and Windows console code page of Russian, in which the usage text's
// Russian lines are written: its bytes to the Unicode characters they stand for, and back.
#ifndef OPFREQ_TEXTOUT_CODE_PAGE_866_H_
#define OPFREQ_TEXTOUT_CODE_PAGE_866_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace opfreq {

// The character that a byte of code page 866 stands for (bytes below 80h are ASCII).
char16_t fromCodePage866(uint8_t byte);

// UTF-8 text in code page 866; a character that the code page lacks becomes '?'.
std::string toCodePage866(std::string_view utf8);

// Code page 866 text in UTF-8.
std::string codePage866ToUtf8(std::string_view text);

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_CODE_PAGE_866_H_
