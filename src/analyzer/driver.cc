#include "analyzer/driver.h"

#include <algorithm>
#include <cerrno>

#include "analyzer/command_line.h"
#include "analyzer/request_run.h"
#include "analyzer/run_output.h"
#include "analyzer/usage.h"
#include "filein/binary_file.h"

namespace opfreq {
namespace {

// The arguments joined into one file name, as opfreq has always taken them: a request of that
// one file and the legacy report.
RunOutcome analyseJoined(const std::string& name, const std::vector<std::string>& args,
                         const RunContext& context) {
  // A blank line in a list of names must not read the caller's input, as the usage path would.
  if (std::all_of(args.begin(), args.end(), [](const auto& n) { return n.empty(); })) {
    return {kInputFailed, {Problem::ofText("\"" + name + "\"", "empty file name")}};
  }
  Request request;
  request.files = {name};
  RunOutcome outcome = runRequest(request, context);
  for (Problem& problem : outcome.problems) {
    if (problem.error == ENOENT && problem.subject == name && args.size() > 1 &&
        pathExists(args[0])) {
      problem.note = "the arguments are joined into one file name; run opfreq once per image";
    }
  }
  return outcome;
}

}  // namespace

RunOutcome runOpfreq(const std::vector<std::string>& args, const RunContext& context) {
  OutputStream& out = context.out;
  const CommandLine line = parseCommandLine(args, context.slashHelp);
  switch (line.kind) {
    case CommandLine::Kind::Usage: {
      // With the text going to a file, the person at the keyboard must still see why nothing
      // happens until a key is pressed.
      const bool unseen = !context.outIsTerminal && context.keys.readsTerminal();
      showUsage(out, context.keys, unseen ? context.showLine : nullptr);
      break;
    }
    case CommandLine::Kind::Joined:
      return analyseJoined(line.name, args, context);
    case CommandLine::Kind::Help:
      writeHelp(out, context.helpInUtf8);
      break;
    case CommandLine::Kind::Version:
      out.writeText("opfreq " OPFREQ_VERSION, true);
      break;
    case CommandLine::Kind::Wrong:
      return {kUsageWrong, {line.problem}};
    case CommandLine::Kind::Request:
      return runRequest(line.request, context);
  }
  RunOutcome outcome;
  RunOutput(out).finish(true, outcome);
  return outcome;
}

}  // namespace opfreq
