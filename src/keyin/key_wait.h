// The single-key wait of the usage path. waitForKey blocks until one unit of input arrives and
// returns its first byte (the caller ignores it). Standard input that is not a terminal is read
// as a stream: one byte, and the end of the input ends the wait at once.
#ifndef OPFREQ_KEYIN_KEY_WAIT_H_
#define OPFREQ_KEYIN_KEY_WAIT_H_

#include <memory>

namespace opfreq {

class KeyWaiter {
 public:
  virtual ~KeyWaiter() = default;
  // A byte 0 to 255, or -1 when the input ended without one.
  virtual int waitForKey() = 0;
  // Whether the wait reads a person's key presses (a terminal or console), not a stream.
  virtual bool readsTerminal() = 0;
};

// The platform's wait on the process's standard input.
std::unique_ptr<KeyWaiter> makeStdinKeyWaiter();

}  // namespace opfreq

#endif  // OPFREQ_KEYIN_KEY_WAIT_H_
