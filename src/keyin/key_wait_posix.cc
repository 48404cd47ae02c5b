// The key wait on a POSIX terminal: raw mode without echo for exactly the length of the wait,
// and the terminal always given back as it was found, whatever ends the wait.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "keyin/key_queue.h"
#include "keyin/key_wait.h"

namespace opfreq {
namespace {

volatile sig_atomic_t pendingSignal = 0;

extern "C" void noteSignal(int signal) { pendingSignal = signal; }

// Signals that end the wait and how: Ctrl+C and Ctrl+\ end the process by their default
// action once the terminal is restored; the terminal going away and SIGTERM stand for closing
// the console and end the wait like Alt+F4; Ctrl+Z stops with the terminal restored.
constexpr int kHandledSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGTSTP};

void setHandler(int signal, void (*handler)(int), struct sigaction* previous = nullptr) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, previous);
}

class TerminalSession {
 public:
  TerminalSession() {
    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : kHandledSignals) sigaddset(&handled, signal);
    // Blocked except inside ppoll, so that a signal can never slip in between a check of
    // pendingSignal and the wait for input.
    sigprocmask(SIG_BLOCK, &handled, &originalMask_);
    waitMask_ = originalMask_;
    for (int signal : kHandledSignals) sigdelset(&waitMask_, signal);
    for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
      setHandler(kHandledSignals[i], noteSignal, &previous_[i]);
    }
    saved_ = tcgetattr(STDIN_FILENO, &original_) == 0;
    enterRawMode();
  }

  ~TerminalSession() {
    restoreTerminal();
    for (size_t i = 0; i < std::size(kHandledSignals); ++i) {
      sigaction(kHandledSignals[i], &previous_[i], nullptr);
    }
    sigprocmask(SIG_SETMASK, &originalMask_, nullptr);
  }

  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // The next byte from the terminal, waiting at most timeoutMs (-1: without limit). -1 when
  // none came, the input ended, or a signal asks the wait to end.
  int nextByte(int timeoutMs) {
    for (;;) {
      if (handlePendingSignal()) return -1;
      pollfd input{STDIN_FILENO, POLLIN, 0};
      timespec limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
      const int ready = ppoll(&input, 1, timeoutMs < 0 ? nullptr : &limit, &waitMask_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return -1;
      unsigned char byte = 0;
      const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      ended_ = true;  // end of input or a terminal that has gone away
      return -1;
    }
  }

  // Whether the wait must end: the close key was queued or the input ended.
  bool finished() const { return ended_ || closeRequested_; }
  bool closeRequested() const { return closeRequested_; }

 private:
  void enterRawMode() {
    if (!saved_) return;
    termios raw = original_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // TCSANOW keeps what was typed while the usage text was written: it ends the wait at once.
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  }

  void restoreTerminal() {
    if (saved_) tcsetattr(STDIN_FILENO, TCSANOW, &original_);
  }

  // Acts on a signal noted by the handler; true when the wait is to end.
  bool handlePendingSignal() {
    const int signal = pendingSignal;
    if (signal == 0) return finished();
    pendingSignal = 0;
    if (signal == SIGHUP || signal == SIGTERM) {
      closeRequested_ = true;
      return true;
    }
    restoreTerminal();
    setHandler(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    raise(signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);  // SIGINT and SIGQUIT end the process here
    // Back from a stop (SIGTSTP): take the terminal again and go on waiting.
    sigprocmask(SIG_BLOCK, &only, nullptr);
    setHandler(signal, noteSignal);
    enterRawMode();
    return false;
  }

  termios original_{};
  bool saved_ = false;
  bool ended_ = false;
  bool closeRequested_ = false;
  sigset_t originalMask_{};
  sigset_t waitMask_{};
  struct sigaction previous_[std::size(kHandledSignals)]{};
};

class StdinKeyWaiter : public KeyWaiter {
 public:
  bool readsTerminal() override { return ::isatty(STDIN_FILENO) != 0; }

  int waitForKey() override {
    if (readsTerminal()) return waitOnTerminal();
    // A file or a pipe: one byte, and the end of the input ends the wait.
    unsigned char byte = 0;
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && errno == EINTR) continue;
      return kNoKey;
    }
  }

 private:
  int waitOnTerminal() {
    TerminalSession session;
    return waitForKeyCode(
        queue_, buffer_,
        [&] {
          if (session.closeRequested()) return;
          const int code =
              readTerminalKey([&](int timeoutMs) { return session.nextByte(timeoutMs); });
          if (code != kNoKey) queue_.add(code);
          if (session.closeRequested()) queue_.add(kCloseKey);
        },
        [&] { return !session.finished(); });
  }

  KeyQueue queue_;
  KeyBuffer buffer_;
};

}  // namespace

std::unique_ptr<KeyWaiter> makeStdinKeyWaiter() { return std::make_unique<StdinKeyWaiter>(); }

}  // namespace opfreq
