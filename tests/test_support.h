// In-memory fakes shared by the tests.
#ifndef OPFREQ_TESTS_TEST_SUPPORT_H_
#define OPFREQ_TESTS_TEST_SUPPORT_H_

#include <string>
#include <string_view>

#include "textout/output_stream.h"

namespace opfreq::testing {

// Keeps every byte written.
class RecordingSink : public ByteSink {
 public:
  int write(std::string_view bytes) override {
    text.append(bytes);
    return 0;
  }
  std::string text;
};

}  // namespace opfreq::testing

#endif  // OPFREQ_TESTS_TEST_SUPPORT_H_
