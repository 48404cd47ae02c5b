// The program's entry, shared by the platforms' main functions: the process's standard
// streams and keyboard around one run, and the exit status.
#ifndef OPFREQ_ANALYZER_ENTRY_H_
#define OPFREQ_ANALYZER_ENTRY_H_

#include <string>
#include <vector>

namespace opfreq {

// `args` are the arguments after the program name, in UTF-8 where the platform gives them so.
int runMain(const std::vector<std::string>& args);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_ENTRY_H_
