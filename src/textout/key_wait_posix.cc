#include <unistd.h>

#include <cerrno>

#include "textout/key_wait.h"

namespace opfreq {
namespace {

class StdinKeyWaiter : public KeyWaiter {
 public:
  int waitForKey() override {
    unsigned char byte = 0;
    for (;;) {
      const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
      if (got == 1) return byte;
      if (got < 0 && errno == EINTR) continue;
      return -1;
    }
  }
};

}  // namespace

std::unique_ptr<KeyWaiter> makeStdinKeyWaiter() { return std::make_unique<StdinKeyWaiter>(); }

}  // namespace opfreq
