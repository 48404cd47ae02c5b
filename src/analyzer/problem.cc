#include "analyzer/problem.h"

#include <algorithm>
#include <cstring>

namespace opfreq {

std::string Problem::reason() const { return error != 0 ? std::strerror(error) : text; }

std::string describe(const Problem& problem) {
  std::string line;
  switch (problem.kind) {
    case Problem::Kind::Input:
      line = problem.subject.empty() ? problem.reason() : problem.subject + ": " + problem.reason();
      break;
    case Problem::Kind::Writing:
      line = "error writing " + problem.subject + ": " + problem.reason();
      break;
    case Problem::Kind::CommandLine:
      line = problem.reason() + " (opfreq --help lists the options)";
      break;
  }
  if (!problem.note.empty()) line += " (" + problem.note + ")";
  return line;
}

void RunOutcome::add(Problem problem) {
  failSilently(problem.status);
  if (std::find(problems.begin(), problems.end(), problem) == problems.end())
    problems.push_back(std::move(problem));
}

void RunOutcome::failSilently(int status) { exitStatus = std::max(exitStatus, status); }

}  // namespace opfreq
