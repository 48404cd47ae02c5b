// The usage path: the bilingual help text (English, then Russian in code page 866), the
// prompt, and one key press; and the same text for --help.
#ifndef OPFREQ_ANALYZER_USAGE_H_
#define OPFREQ_ANALYZER_USAGE_H_

#include <functional>
#include <string>
#include <string_view>

#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

// The text, the prompt, and one key. `alsoShowPrompt`, when set, is handed the prompt line as
// well, for a person who cannot see standard output.
void showUsage(OutputStream& out, KeyWaiter& keys,
               const std::function<void(std::string_view)>& alsoShowPrompt = {});

// The text alone, as --help writes it: the Russian lines in code page 866, or in UTF-8.
void writeUsageText(OutputStream& out, bool utf8);

// UTF-8 text to code page 866. Only ASCII and the Cyrillic letters A to ya (without yo) are
// mapped; anything else becomes '?'.
std::string toCodePage866(std::string_view utf8);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_USAGE_H_
