// The command line. Without any option, every argument is joined by one blank into the one
// input file name, as opfreq has always read it. With options (parsed the way getopt_long
// parses them, before or after the names, "--" ending them), each argument is a file of its
// own, and the request says how to sweep and show each.
//
// Every option is one row of one table (command_line.cc): its name, whether it takes a value,
// its lines of --help and what it does to the request.
#ifndef OPFREQ_ANALYZER_COMMAND_LINE_H_
#define OPFREQ_ANALYZER_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/problem.h"
#include "analyzer/sweeps.h"
#include "analyzer/view.h"

namespace opfreq {

struct Request {
  ViewChoice view;
  SweepOptions sweep;
  std::optional<std::string> symbols;  // the file that names addresses
  bool maps = false;                   // each input's names from the map beside it
  std::optional<std::string> output;   // the file to write instead of standard output
  std::optional<int64_t> maxGrowth;    // --compare: the most bytes the code may grow
  std::vector<std::string> files;      // "-" is standard input
};

struct CommandLine {
  enum class Kind { Usage, Joined, Help, Version, Request, Wrong };
  Kind kind = Kind::Usage;
  std::string name;  // Joined: the one file name
  Request request;   // Request
  Problem problem;   // Wrong: what is wrong
};

// `args` are the arguments after the program name. With `slashHelp` (Windows), "/?" is --help.
CommandLine parseCommandLine(const std::vector<std::string>& args, bool slashHelp);

// The options' lines of --help, in the table's order.
std::vector<std::string> optionHelp();

// Every name the parser takes as an option ("--json", "-o"), in the table's order.
std::vector<std::string> optionNames();

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_COMMAND_LINE_H_
