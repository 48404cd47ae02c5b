// In-memory fakes shared by the tests.
#ifndef OPFREQ_TESTS_TEST_SUPPORT_H_
#define OPFREQ_TESTS_TEST_SUPPORT_H_

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "textout/key_wait.h"
#include "textout/output_stream.h"

namespace opfreq::testing {

// Keeps every write, in pieces, and can be told to refuse writes.
class RecordingSink : public ByteSink {
 public:
  int write(std::string_view bytes) override {
    if (failWith != 0) return failWith;
    pieces.emplace_back(bytes);
    text.append(bytes);
    return 0;
  }
  std::vector<std::string> pieces;
  std::string text;
  int failWith = 0;
};

class CountingKeyWaiter : public KeyWaiter {
 public:
  int waitForKey() override {
    ++calls;
    return 'x';
  }
  int calls = 0;
};

}  // namespace opfreq::testing

#endif  // OPFREQ_TESTS_TEST_SUPPORT_H_
