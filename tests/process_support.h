// Runs the built opfreq binary as a child process with a clean environment and chosen standard
// streams, and collects what it wrote.
#ifndef OPFREQ_TESTS_PROCESS_SUPPORT_H_
#define OPFREQ_TESTS_PROCESS_SUPPORT_H_

#include <string>
#include <vector>

namespace opfreq::testing {

enum class StdinKind { DevNull, Bytes, File };
enum class StdoutKind { Pipe, DevFull, Closed, BrokenPipe };

struct ProcessOptions {
  std::vector<std::string> args;  // after the program name
  std::string workingDirectory = ".";
  StdinKind stdinKind = StdinKind::DevNull;
  std::string stdinBytes;  // for Bytes; the file's path for File
  StdoutKind stdoutKind = StdoutKind::Pipe;
  int runAsUid = -1;  // when 0 or more: drop to this user (and group) before starting
};

struct ProcessResult {
  std::string out;
  std::string err;
  int exitStatus = -1;  // -1 when it did not exit normally; 125 when dropping the user failed
  int signal = 0;       // the signal that ended it, if any
};

ProcessResult runOpfreqBinary(const ProcessOptions& options);
std::string readFile(const std::string& path);

}  // namespace opfreq::testing

#endif  // OPFREQ_TESTS_PROCESS_SUPPORT_H_
