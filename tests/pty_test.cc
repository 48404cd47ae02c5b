// The usage path on a real (pseudo-)terminal: exact bytes, the wait, keys, signals, and the
// terminal handed back exactly as it was found.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include "process_support.h"

namespace opfreq {
namespace {

using namespace std::chrono_literals;

bool sameAttributes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// opfreq without arguments on a fresh pseudo-terminal whose output is not post-processed, so
// that the bytes read from the master are exactly the bytes written.
class TerminalRun {
 public:
  // With jobControl, opfreq runs as a job of a minimal shell in the same session, as under a
  // real shell: only then do the terminal's stop signals stop it.
  explicit TerminalRun(bool jobControl = false) {
    termios initial{};
    cfmakeraw(&initial);
    initial.c_lflag |= ICANON | ECHO | ISIG | IEXTEN | ECHOE | ECHOK;
    initial.c_iflag |= ICRNL;
    initial.c_cc[VMIN] = 1;
    initial.c_cc[VINTR] = 3;
    initial.c_cc[VSUSP] = 0x1a;
    if (::openpty(&master_, &slave_, nullptr, &initial, nullptr) != 0)
      throw std::runtime_error("openpty");
    tcgetattr(slave_, &before_);
    if (::pipe(jobEvents_) != 0 || ::pipe(jobCommands_) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setsid();
      ::ioctl(slave_, TIOCSCTTY, 0);
      ::dup2(slave_, 0);
      ::dup2(slave_, 1);
      ::dup2(slave_, 2);
      if (jobControl) runAsJob();
      for (int fd = 3; fd < 64; ++fd) ::close(fd);
      char* argv[] = {const_cast<char*>(OPFREQ_BINARY), nullptr};
      char* envp[] = {const_cast<char*>("PATH=/usr/bin:/bin"), const_cast<char*>("TERM=xterm"),
                      nullptr};
      ::execve(OPFREQ_BINARY, argv, envp);
      ::_exit(127);
    }
  }

  // The minimal shell: opfreq in a process group of its own in the foreground; when it stops,
  // the shell takes the terminal back, says 'S', and continues the job on a 'C'.
  void runAsJob() {
    ::signal(SIGTTOU, SIG_IGN);
    const pid_t job = ::fork();
    if (job == 0) {
      ::setpgid(0, 0);
      ::signal(SIGTTOU, SIG_DFL);
      return;  // goes on to start opfreq
    }
    ::setpgid(job, job);
    ::tcsetpgrp(0, job);
    for (;;) {
      int status = 0;
      ::waitpid(job, &status, WUNTRACED);
      if (!WIFSTOPPED(status)) ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 100);
      ::tcsetpgrp(0, ::getpgrp());
      char command = 0;
      ::write(jobEvents_[1], "S", 1);
      if (::read(jobCommands_[0], &command, 1) != 1) ::_exit(101);
      ::tcsetpgrp(0, job);
      ::kill(-job, SIGCONT);
    }
  }

  bool jobStopped() {
    pollfd fd{jobEvents_[0], POLLIN, 0};
    char event = 0;
    return ::poll(&fd, 1, 5000) == 1 && ::read(jobEvents_[0], &event, 1) == 1 && event == 'S';
  }
  void continueJob() { ASSERT_EQ(::write(jobCommands_[1], "C", 1), 1); }

  ~TerminalRun() {
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
    ::close(slave_);
    for (int fd : {jobEvents_[0], jobEvents_[1], jobCommands_[0], jobCommands_[1]}) ::close(fd);
  }

  // Waits until opfreq has taken the terminal into raw mode, reading its output meanwhile.
  bool waitUntilWaiting() {
    for (int i = 0; i < 500; ++i) {
      drain(10);
      termios now{};
      tcgetattr(slave_, &now);
      if ((now.c_lflag & ICANON) == 0) return true;
    }
    return false;
  }

  void type(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void signal(int number) { ::kill(pid_, number); }

  // Collects output until the process ends (or `limit` passes); true if it ended.
  bool waitForExit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      drain(10);
      if (::wait4(pid_, &status_, WNOHANG, &usage_) == pid_) {
        exited_ = true;
        drain(10);
        return true;
      }
    }
    return false;
  }

  // Bytes still unread on the terminal's input once opfreq is gone.
  std::string leftOver() {
    termios raw{};
    tcgetattr(slave_, &raw);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(slave_, TCSANOW, &raw);
    char buffer[64];
    const ssize_t got = ::read(slave_, buffer, sizeof buffer);
    tcsetattr(slave_, TCSANOW, &after_);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : "";
  }

  bool attributesRestored() {
    tcgetattr(slave_, &after_);
    return sameAttributes(before_, after_);
  }

  const std::string& output() const { return output_; }
  int status() const { return status_; }
  double cpuSeconds() const {
    return static_cast<double>(usage_.ru_utime.tv_sec + usage_.ru_stime.tv_sec) +
           static_cast<double>(usage_.ru_utime.tv_usec + usage_.ru_stime.tv_usec) / 1e6;
  }

 private:
  void drain(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    while (::poll(&fd, 1, timeoutMs) > 0) {
      char buffer[4096];
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got <= 0) return;
      output_.append(buffer, static_cast<size_t>(got));
      timeoutMs = 0;
    }
  }

  int jobEvents_[2] = {-1, -1};
  int jobCommands_[2] = {-1, -1};
  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
  rusage usage_{};
  termios before_{};
  termios after_{};
  std::string output_;
};

TEST(TerminalWait, WritesTheUsageAndWaitsForOneKey) {
  TerminalRun run;
  ASSERT_TRUE(run.waitUntilWaiting());
  EXPECT_FALSE(run.waitForExit(300ms));  // no key, no end
  EXPECT_EQ(run.output(), testing::readFile(std::string(OPFREQ_SAMPLES_DIR) + "/usage.expected"));
  run.type("k");
  ASSERT_TRUE(run.waitForExit(5s));
  EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0);
  EXPECT_TRUE(run.attributesRestored());
}

TEST(TerminalWait, MultiByteKeysAreConsumedWhole) {
  struct Row {
    std::string typed;
    std::string leftForTheShell;
  };
  const Row rows[] = {{"\x1bOP", ""}, {"\x1b[A", ""}, {"\xd0\x96", ""}, {"\x1b", ""}, {"ab", "b"}};
  for (const Row& row : rows) {
    TerminalRun run;
    ASSERT_TRUE(run.waitUntilWaiting());
    run.type(row.typed);
    ASSERT_TRUE(run.waitForExit(5s));
    EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0);
    EXPECT_TRUE(run.attributesRestored());
    EXPECT_EQ(run.leftOver(), row.leftForTheShell) << "typed " << row.typed.size() << " bytes";
  }
}

TEST(TerminalWait, AKeyTypedDuringTheTextEndsTheWaitAtOnce) {
  TerminalRun run;
  run.type("x");
  ASSERT_TRUE(run.waitForExit(5s));
  EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0);
  EXPECT_TRUE(run.attributesRestored());
}

TEST(TerminalWait, CtrlCKillsByInterruptAfterRestoring) {
  TerminalRun run;
  ASSERT_TRUE(run.waitUntilWaiting());
  run.type("\x03");
  ASSERT_TRUE(run.waitForExit(5s));
  EXPECT_TRUE(WIFSIGNALED(run.status()) && WTERMSIG(run.status()) == SIGINT);
  EXPECT_TRUE(run.attributesRestored());
}

TEST(TerminalWait, HangupAndTerminateEndTheWaitNormally) {
  for (const int number : {SIGHUP, SIGTERM}) {
    TerminalRun run;
    ASSERT_TRUE(run.waitUntilWaiting());
    run.signal(number);
    ASSERT_TRUE(run.waitForExit(5s));
    EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0) << number;
    EXPECT_TRUE(run.attributesRestored()) << number;
  }
}

TEST(TerminalWait, CtrlZStopsWithTheTerminalRestoredAndWaitsAgainOnContinue) {
  TerminalRun run(true);
  ASSERT_TRUE(run.waitUntilWaiting());
  run.type("\x1a");
  ASSERT_TRUE(run.jobStopped());
  EXPECT_TRUE(run.attributesRestored());  // the shell gets its terminal back as it was
  run.continueJob();
  ASSERT_TRUE(run.waitUntilWaiting());  // raw again, still waiting
  run.type("k");
  ASSERT_TRUE(run.waitForExit(5s));
  EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0);
  EXPECT_TRUE(run.attributesRestored());
}

TEST(TerminalWait, IdleWaitTakesNoProcessorTime) {
  TerminalRun run;
  ASSERT_TRUE(run.waitUntilWaiting());
  EXPECT_FALSE(run.waitForExit(500ms));
  run.signal(SIGTERM);
  ASSERT_TRUE(run.waitForExit(5s));
  EXPECT_LT(run.cpuSeconds(), 0.1);  // a busy loop would use about half a second
}

}  // namespace
}  // namespace opfreq
