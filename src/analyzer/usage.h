// The usage path: the bilingual help text (English, then Russian in code page 866), the
// prompt, and one key press.
#ifndef OPFREQ_ANALYZER_USAGE_H_
#define OPFREQ_ANALYZER_USAGE_H_

#include <string>
#include <string_view>

#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

void showUsage(OutputStream& out, KeyWaiter& keys);

// UTF-8 text to code page 866. Only ASCII and the Cyrillic letters A to ya (without yo) are
// mapped; anything else becomes '?'.
std::string toCodePage866(std::string_view utf8);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_USAGE_H_
