// The command line. Without any option, every argument is joined by one blank into the one
// input file name, as opfreq has always read it. With options (parsed the way getopt_long
// parses them, before or after the names, "--" ending them), each argument is a file of its
// own, and the request says how to sweep and show each.
#ifndef OPFREQ_ANALYZER_COMMAND_LINE_H_
#define OPFREQ_ANALYZER_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <vector>

#include "analyzer/sweeps.h"

namespace opfreq {

enum class View { Text, Json, CsvOpcodes, CsvCalls };

struct Request {
  View view = View::Text;
  SweepOptions sweep;
  std::optional<std::string> symbols;  // the file that names addresses
  std::optional<std::string> output;   // the file to write instead of standard output
  std::vector<std::string> files;      // "-" is standard input
};

struct CommandLine {
  enum class Kind { Usage, Joined, Help, Version, Request, Wrong };
  Kind kind = Kind::Usage;
  std::string name;     // Joined: the one file name
  Request request;      // Request
  std::string problem;  // Wrong: what is wrong, for a line that also names --help
};

// `args` are the arguments after the program name. With `slashHelp` (Windows), "/?" is --help.
CommandLine parseCommandLine(const std::vector<std::string>& args, bool slashHelp);

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_COMMAND_LINE_H_
