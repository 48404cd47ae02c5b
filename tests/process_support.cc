#include "process_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace opfreq::testing {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

ProcessResult runOpfreqBinary(const ProcessOptions& options) {
  int outPipe[2], errPipe[2], inPipe[2];
  if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0 || ::pipe(inPipe) != 0) {
    throw std::runtime_error("pipe");
  }
  // A write end whose reader is gone before the child starts gives EPIPE at the first write.
  if (options.stdoutKind == StdoutKind::BrokenPipe) ::close(outPipe[0]);
  std::signal(SIGPIPE, SIG_IGN);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (options.stdinKind == StdinKind::Bytes) {
      ::dup2(inPipe[0], STDIN_FILENO);
    } else if (options.stdinKind == StdinKind::File) {
      ::dup2(::open(options.stdinBytes.c_str(), O_RDONLY), STDIN_FILENO);
    } else {
      const int null = ::open("/dev/null", O_RDONLY);
      ::dup2(null, STDIN_FILENO);
    }
    switch (options.stdoutKind) {
      case StdoutKind::Pipe:
      case StdoutKind::BrokenPipe:
        ::dup2(outPipe[1], STDOUT_FILENO);
        break;
      case StdoutKind::DevFull:
        ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
        break;
      case StdoutKind::Closed:
        ::close(STDOUT_FILENO);
        break;
    }
    ::dup2(errPipe[1], STDERR_FILENO);
    for (int fd = 3; fd < 64; ++fd) ::close(fd);
    if (options.runAsUid >= 0) {
      const auto id = static_cast<uid_t>(options.runAsUid);
      if (::setgroups(0, nullptr) != 0 || ::setgid(id) != 0 || ::setuid(id) != 0) ::_exit(125);
    }
    if (::chdir(options.workingDirectory.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv{const_cast<char*>(OPFREQ_BINARY)};
    for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>("PATH=/usr/bin:/bin"), const_cast<char*>("LC_ALL=C"),
                    nullptr};
    ::execve(OPFREQ_BINARY, argv.data(), envp);
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  ::close(inPipe[0]);
  // Feed standard input while draining both outputs, so that no pipe fills up.
  ProcessResult result;
  std::string pendingIn = options.stdinKind == StdinKind::Bytes ? options.stdinBytes : "";
  int inFd = inPipe[1];
  if (pendingIn.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  int outFd = options.stdoutKind == StdoutKind::BrokenPipe ? -1 : outPipe[0];
  int errFd = errPipe[0];
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (::poll(fds, 3, 10000) <= 0) break;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? outFd : errFd;
      if (fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
          ::close(fd);
          fd = -1;
        } else {
          (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
        }
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR)) != 0) {
      const ssize_t put = ::write(inFd, pendingIn.data(), pendingIn.size());
      if (put > 0) pendingIn.erase(0, static_cast<size_t>(put));
      if (put <= 0 || pendingIn.empty()) {
        ::close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace opfreq::testing
