// Problem: why something could not be done, and the exit status that earns; RunOutcome: how a
// run ended. A problem is worded in one place (describe) for the one line on standard error.
#ifndef OPFREQ_ANALYZER_PROBLEM_H_
#define OPFREQ_ANALYZER_PROBLEM_H_

#include <string>
#include <vector>

namespace opfreq {

// Exit statuses besides 0.
constexpr int kInputFailed = 1;  // an input could not be used, or the output not written
constexpr int kUsageWrong = 2;   // the command line asks for something that cannot be done
constexpr int kOverBudget = 3;   // --compare: the code grew by more than --max-growth allows

struct Problem {
  enum class Kind {
    Input,        // "SUBJECT: why": an input, the symbols file, the output file; or "why"
    Writing,      // "error writing SUBJECT: why"
    CommandLine,  // "why (opfreq --help lists the options)"
  };
  Kind kind = Kind::Input;
  std::string subject;  // what failed, as the user named it
  int error = 0;        // the errno value that says why, or 0 when `text` does
  std::string text;
  int status = kInputFailed;
  std::string note;  // said after why, in parentheses: what the user may not see

  // Why, without what: the system's words for `error`, or `text`.
  std::string reason() const;
  friend bool operator==(const Problem&, const Problem&) = default;

  static Problem ofError(std::string subject, int error, int status = kInputFailed) {
    return {Kind::Input, std::move(subject), error, "", status, ""};
  }
  static Problem ofText(std::string subject, std::string text, int status = kInputFailed) {
    return {Kind::Input, std::move(subject), 0, std::move(text), status, ""};
  }
  static Problem ofWriting(std::string output, int error) {
    return {Kind::Writing, std::move(output), error, "", kInputFailed, ""};
  }
  static Problem ofCommandLine(std::string text) {
    return {Kind::CommandLine, "", 0, std::move(text), kUsageWrong, ""};
  }
};

// The problem's line, without the program's name.
std::string describe(const Problem& problem);

struct RunOutcome {
  int exitStatus = 0;
  std::vector<Problem> problems;  // each a line on standard error, in order

  // A problem already said (one map missing for both builds) is not said again.
  void add(Problem problem);
  // The status of a failure that needs no words (a reader that went away).
  void failSilently(int status);
};

}  // namespace opfreq

#endif  // OPFREQ_ANALYZER_PROBLEM_H_
