// The usage path: the bilingual help text (English, then Russian in code page 866), the
// prompt, and one key press; and --help, the same text with a line for each option.
#ifndef OPFREQ_ANALYZER_USAGE_H_
#define OPFREQ_ANALYZER_USAGE_H_

#include <functional>
#include <string_view>

#include "keyin/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq {

// The text, the prompt, and one key. `alsoShowPrompt`, when set, is handed the prompt line as
// well, for a person who cannot see standard output.
void showUsage(OutputStream& out, KeyWaiter& keys,
               const std::function<void(std::string_view)>& alsoShowPrompt = {});

// The text and the options, at once: the Russian lines in UTF-8, or in code page 866.
void writeHelp(OutputStream& out, bool utf8);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_USAGE_H_
